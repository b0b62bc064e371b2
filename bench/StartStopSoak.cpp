// SPDX-License-Identifier: GPL-3.0-or-later
// Start and stop through the real window, with the real synth rendered
// offline, many more times than the test suite does: after every stop
// FluidSynth must fall silent within a note's release, and resident memory
// must hold steady. Prints a line every thousand pairs.
//   start_stop_soak [pairs]   (default 20000)
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "melody/Modes.h"
#include "support/EventLoop.h"
#include "ResidentMemory.h"
#include "support/SynthWindow.h"

using namespace quillotone;

int main(int argc, char** argv) {
  const long pairs = argc > 1 ? std::atol(argv[1]) : 20'000;
  testing::EnsureApplication<QApplication>();
  testing::SynthWindow rig;
  const double release = testing::SynthWindow::ReleaseMillis();
  std::mt19937 draw(2024);
  std::uniform_int_distribution<int> row(0, static_cast<int>(kModes.size()) - 1);
  std::uniform_real_distribution<double> playFor(0.0, 1500.0);

  const auto start = std::chrono::steady_clock::now();
  long stuck = 0;
  long residentAfterFirst = 0;
  for (long pair = 1; pair <= pairs; ++pair) {
    rig.seed = draw();
    const int mode = row(draw);
    if (!rig.StartAndStop(mode, playFor(draw), release)) {
      ++stuck;
      while (rig.Voices() > 0) rig.Turn();  // let it die out, and count on
    }
    if (pair == 100) residentAfterFirst = testing::ResidentBytes();
    if (pair % 1000 == 0 || pair == pairs) {
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      std::printf(
          "%ld pairs, %ld left a voice sounding, resident %+ld bytes since pair 100, %.0f s\n",
          pair, stuck, testing::ResidentBytes() - residentAfterFirst, seconds);
      std::fflush(stdout);
    }
  }
  return stuck == 0 ? 0 : 1;
}
