// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <set>

#include "melody/Melody.h"
#include "melody/Modes.h"
#include "support/FakeWindow.h"
#include "support/ScriptedRandom.h"
#include "support/VirtualClock.h"

namespace quillotone {
namespace {

using testing::FakeWindow;
using testing::NoteEvent;
using testing::RunUntil;
using testing::ScriptedRandom;
using testing::VirtualClock;

class MelodyTest : public ::testing::Test {
 protected:
  MelodyTest() {
    scheduler.SetErrorReporter([this](const std::string& m) { reported = m; });
  }
  void Start(std::unique_ptr<RandomSource> random) {
    scheduler.Start(thread, PlayMelody(window, std::move(random), kModes[0].pitches));
  }
  // Scripted draws; when they run out the thread ends, so a test sees
  // exactly the steps it wrote down.
  void StartScripted(std::deque<int> draws) {
    Start(std::make_unique<ScriptedRandom>(std::move(draws), &ranges));
  }
  // The times at which a step began: those of the note-ons.
  std::set<double> Onsets() const {
    std::set<double> onsets;
    for (const NoteEvent& e : window.notes)
      if (e.velocity > 0) onsets.insert(e.micros);
    return onsets;
  }

  VirtualClock clock;
  Scheduler scheduler{clock};
  FakeWindow window{scheduler};
  ThreadContext thread{scheduler, "dorian1"};
  std::vector<std::pair<int, int>> ranges;  // asked of the scripted draws
  std::string reported;
};

TEST_F(MelodyTest, PlaysTheWorkedExampleEventByEvent) {
  // The four tiers at 100, 80, 70 and 40, then 90 and 60 on the other sides
  // of the tier boundaries; the play test turns true and one short step ends
  // the phrase; stop is then found disabled.
  StartScripted({5, 10, 1, 8, 1, 8, 7, 3, 4, 5, 9, 5, 6, 2, 9});
  window.scripted["play"] = {false, false, false, false, false, true, true};
  window.enabled["stop"] = false;
  EXPECT_TRUE(window.notes.empty()) << "nothing runs inside Start";
  RunUntil(scheduler, clock, 10 * kCycleMicros);

  const std::vector<NoteEvent> expected = {
      {0, "NotePlayer1", 67, 100},     {0, "NotePlayer1", 31, 80},
      {250000, "NotePlayer1", 67, 0},  {250000, "NotePlayer1", 31, 0},
      {250000, "NotePlayer1", 60, 80}, {250000, "NotePlayer2", 36, 65},
      {500000, "NotePlayer1", 60, 0},  {500000, "NotePlayer1", 72, 70},
      {500000, "NotePlayer1", 60, 60}, {750000, "NotePlayer1", 72, 0},
      {750000, "NotePlayer1", 60, 0},  {750000, "NotePlayer1", 63, 40},
      {1e6, "NotePlayer1", 63, 0},     {1e6, "NotePlayer1", 67, 90},
      {1e6, "NotePlayer1", 31, 70},    {1.25e6, "NotePlayer1", 67, 0},
      {1.25e6, "NotePlayer1", 31, 0},  {1.25e6, "NotePlayer1", 67, 60},
      {1.5e6, "NotePlayer1", 67, 0},   {1.5e6, "NotePlayer1", 62, 90},
      {1.625e6, "NotePlayer1", 62, 0},
  };
  EXPECT_EQ(window.notes, expected);
  EXPECT_FALSE(thread.running()) << "the handler returns when stop is disabled";
  EXPECT_EQ(reported, "");
  // Draws in the order pitch, velocity, coin; the coin only after tier 2.
  std::vector<std::pair<int, int>> expectedRanges(14, {1, 8});
  for (std::size_t i = 1; i < expectedRanges.size(); i += 2) expectedRanges[i] = {4, 10};
  expectedRanges.insert(expectedRanges.begin() + 4, {1, 2});
  EXPECT_EQ(ranges, expectedRanges);
  // The first play test comes after the first step's note-offs.
  ASSERT_FALSE(window.questions.empty());
  EXPECT_EQ(window.questions.front().control, "play");
  EXPECT_EQ(window.questions.front().notesBefore, 4u);
  EXPECT_EQ(window.questions.back().control, "stop");
}

TEST_F(MelodyTest, HeldNotesPileUpUntilACoinSweepsThemOneTurnANote) {
  // Two tier-2 steps on C with coin 1, then a third with coin 2.
  StartScripted({1, 8, 1, 1, 8, 1, 1, 8, 2, 1, 4});
  RunUntil(scheduler, clock, 3 * kLongStepMicros - 1);
  clock.Set(3 * kLongStepMicros);
  scheduler.RunDue();  // the third step ends and its sweep begins
  int held = 0;
  for (const NoteEvent& e : window.notes) held += e.player == "NotePlayer2";
  EXPECT_EQ(held, 4) << "three held C's sounding together, then the sweep's first note";
  const std::size_t before = window.notes.size() - 1;
  EXPECT_EQ(window.notes[before - 1], (NoteEvent{3 * kLongStepMicros, "NotePlayer1", 60, 0}));
  for (int note = 1; note <= kHighestSweptNote; ++note) {
    ASSERT_EQ(window.notes.size(), before + note) << "one note a turn";
    EXPECT_EQ(window.notes.back(), (NoteEvent{3 * kLongStepMicros, "NotePlayer2", note, 0}));
    scheduler.RunReady();
  }
  // The play test only after the whole sweep.
  EXPECT_EQ(window.questions.back().notesBefore, before + kHighestSweptNote);
}

TEST_F(MelodyTest, ACycleIsThirtyLongStepsAndFourShortOnesUntilStopIsDisabled) {
  window.enabled["stop"] = false;
  Start(std::make_unique<Random>(11));
  RunUntil(scheduler, clock, 3 * kCycleMicros);
  std::set<double> grid;
  for (int step = 0; step < kLongSteps; ++step) grid.insert(step * kLongStepMicros);
  for (int step = 0; step < kShortSteps; ++step)
    grid.insert(kLongSteps * kLongStepMicros + step * kShortStepMicros);
  EXPECT_EQ(Onsets(), grid);
  EXPECT_EQ(window.notes.back().micros, kCycleMicros);
  EXPECT_FALSE(thread.running());
}

TEST_F(MelodyTest, PlayEnabledCutsEachPhraseAfterOneStep) {
  window.enabled["play"] = true;
  Start(std::make_unique<Random>(3));
  constexpr double kShortCycle = kLongStepMicros + kShortStepMicros;
  RunUntil(scheduler, clock, 3 * kShortCycle - 1);
  EXPECT_EQ(Onsets(),
            (std::set<double>{0, kLongStepMicros, kShortCycle, kShortCycle + kLongStepMicros,
                              2 * kShortCycle, 2 * kShortCycle + kLongStepMicros}));
  for (std::size_t i = 0; i < window.questions.size(); ++i)
    EXPECT_EQ(window.questions[i].control, i % 3 == 2 ? "stop" : "play") << i;
  EXPECT_TRUE(thread.running());
}

TEST_F(MelodyTest, AMissingMemberEndsTheThreadWithANilObjectError) {
  window.enabled.erase("play");
  StartScripted({1, 4});
  RunUntil(scheduler, clock, kLongStepMicros);
  EXPECT_FALSE(thread.running());
  EXPECT_NE(reported.find("dorian1"), std::string::npos) << reported;
  EXPECT_NE(reported.find("\"play\""), std::string::npos) << reported;
}

}  // namespace
}  // namespace quillotone
