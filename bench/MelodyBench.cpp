// SPDX-License-Identifier: GPL-3.0-or-later
// How long hours of melody take on the virtual clock, and how many notes.
#include <chrono>
#include <cstdio>

#include "melody/Melody.h"
#include "melody/Modes.h"
#include "support/FakeWindow.h"
#include "support/VirtualClock.h"

using namespace quillotone;

int main() {
  constexpr double kHours = 24;
  testing::VirtualClock clock;
  Scheduler scheduler(clock);
  testing::FakeWindow window(scheduler);
  ThreadContext thread(scheduler, "dorian1");
  scheduler.Start(thread, PlayMelody(window, std::make_unique<Random>(1), kModes[0].pitches));

  const auto start = std::chrono::steady_clock::now();
  std::size_t notes = 0;
  for (double hour = 1; hour <= kHours; ++hour) {
    testing::RunUntil(scheduler, clock, hour * 3600e6);
    notes += window.notes.size();
    window.notes.clear();
    window.questions.clear();
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%.0f hours of melody: %.3f s wall, %zu note calls (%.1f M/s)\n", kHours, seconds,
              notes, notes / seconds / 1e6);
}
