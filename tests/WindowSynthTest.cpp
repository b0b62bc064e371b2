// The real window playing through real FluidSynth, rendered offline: stop is
// pressed at the awkward moments of a melody, and then hundreds of times at
// random ones, and what counts is what FluidSynth itself says is still
// sounding once the release has passed.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <functional>
#include <random>
#include <vector>

#include "melody/Melody.h"
#include "melody/Modes.h"
#include "support/EventLoop.h"
#include "support/FlatMemory.h"
#include "support/SynthWindow.h"

namespace quillotone {
namespace {

using testing::SynthWindow;

class SynthWindowTest : public ::testing::Test, public SynthWindow {
 protected:
  static void SetUpTestSuite() { testing::EnsureApplication<QApplication>(); }
};

TEST_F(SynthWindowTest, StopLeavesNoVoiceWhateverTheMelodyWasDoing) {
  const double release = ReleaseMillis();
  ASSERT_GT(release, 0.0);
  ASSERT_LT(release, 5000.0);

  struct Moment {
    const char* what;
    std::function<bool()> reached;
    int fewestVoices;  // at the press: proof the moment was met
  };
  std::size_t onsBefore = 0;
  const std::vector<Moment> moments = {
      {"during a wait, a note sounding", [&] { return watch.noteOns > 0 && Voices() > 0; }, 1},
      {"with held notes on NotePlayer2, sounding",
       [&] {
         return !watch.held.empty() &&
                host.Microseconds() > watch.heldSince + SynthHost::kLeadMicros + 10'000.0;
       },
       2},
      {"in the middle of the coin's sweep",
       [&] { return watch.sweptUpTo >= kHighestSweptNote / 2; }, 0},
      {"with note-ons scheduled ahead, not yet heard", [&] { return watch.noteOns > onsBefore; },
       0},
  };
  int row = 0;
  for (const Moment& moment : moments) {
    SCOPED_TRACE(moment.what);
    Play(row++ % static_cast<int>(kModes.size()));
    Render(300.0);
    onsBefore = watch.noteOns;
    ASSERT_TRUE(RunUntil(moment.reached, 120'000.0)) << "the melody never got there";
    const AfterStop after = StopAndListen(release);
    EXPECT_GE(after.voicesAtStop, moment.fewestVoices);
    EXPECT_FALSE(after.voiceStarted) << "a note started after stop";
    EXPECT_EQ(after.voicesAfterRelease, 0)
        << "voices still active " << release << " ms after the sweep";
    watch = {};
  }
  EXPECT_EQ(sink.shown, static_cast<int>(moments.size()));
}

TEST_F(SynthWindowTest, TwoHundredStartsAndStopsAtRandomMomentsLeaveNothingSounding) {
  constexpr int kPairs = 200;
  constexpr int kFirstPairs = 100;
  constexpr double kLongestPlayMillis = 1500.0;
  const double release = ReleaseMillis();
  std::mt19937 draw(2024);
  std::uniform_int_distribution<int> row(0, static_cast<int>(kModes.size()) - 1);
  std::uniform_real_distribution<double> playFor(0.0, kLongestPlayMillis);

  long residentAfterFirst = 0;
  for (int pair = 1; pair <= kPairs; ++pair) {
    seed = draw();
    const int mode = row(draw);
    ASSERT_TRUE(StartAndStop(mode, playFor(draw), release))
        << "pair " << pair << ": a voice outlasted the release";
    if (pair == kFirstPairs) residentAfterFirst = testing::ResidentBytes();
  }
  EXPECT_EQ(sink.shown, kPairs);
  testing::ExpectFlatMemorySince(residentAfterFirst);
}

}  // namespace
}  // namespace quillotone
