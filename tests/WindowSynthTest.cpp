// SPDX-License-Identifier: GPL-3.0-or-later
// The real window playing through real FluidSynth, rendered offline: start
// and stop hundreds of times at random moments (during a wait, with held
// notes, in the coin's sweep, with note-ons scheduled ahead), and what counts
// is what FluidSynth itself says is still sounding once the release has
// passed.
#include <gtest/gtest.h>

#include <QApplication>
#include <random>

#include "melody/Modes.h"
#include "support/EventLoop.h"
#include "support/SynthWindow.h"

namespace quillotone {
namespace {

TEST(WindowSynthTest, StartsAndStopsAtRandomMomentsLeaveNothingSounding) {
  testing::EnsureApplication<QApplication>();
  testing::SynthWindow rig;
  const double release = rig.ReleaseMillis();
  ASSERT_LT(release, 5000.0);
  std::mt19937 draw(2024);
  std::uniform_int_distribution<int> row(0, static_cast<int>(kModes.size()) - 1);
  std::uniform_real_distribution<double> playFor(0.0, 1500.0);
  constexpr int kPairs = 200;
  for (int pair = 1; pair <= kPairs; ++pair) {
    rig.seed = draw();
    const int mode = row(draw);
    ASSERT_TRUE(rig.StartAndStop(mode, playFor(draw), release))
        << "pair " << pair << ": a voice outlasted the release";
  }
  EXPECT_EQ(rig.shown, kPairs);
}

}  // namespace
}  // namespace quillotone
