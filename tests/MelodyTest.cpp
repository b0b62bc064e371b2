#include <gtest/gtest.h>

#include <algorithm>
#include <array>
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

constexpr double kCycleMicros = kLongSteps * kLongStepMicros + kShortSteps * kShortStepMicros;

class MelodyTest : public ::testing::Test {
 protected:
  void Start(std::unique_ptr<RandomSource> random, const Mode& mode = kModes[0]) {
    scheduler.Start(thread, PlayMelody(window, std::move(random), mode.pitches));
  }
  void StartScripted(std::deque<int> draws) {
    Start(std::make_unique<ScriptedRandom>(std::move(draws), &ranges));
  }
  std::vector<NoteEvent> NotesOn(std::string_view player) const {
    std::vector<NoteEvent> found;
    std::copy_if(window.notes.begin(), window.notes.end(), std::back_inserter(found),
                 [&](const NoteEvent& e) { return e.player == player; });
    return found;
  }

  VirtualClock clock;
  Scheduler scheduler{clock};
  FakeWindow window{scheduler};
  ThreadContext thread{scheduler, "dorian1"};
  std::vector<std::pair<int, int>> ranges;  // asked of the scripted draws
};

TEST_F(MelodyTest, PlaysTheWorkedExampleEventByEvent) {
  // Four long steps, one per voicing tier, then the play test turns true and
  // one short step ends the phrase; stop is then found disabled.
  StartScripted({5, 10, 1, 8, 1, 8, 7, 3, 4, 2, 9});
  window.scripted["play"] = {false, false, false, true, true};
  window.enabled["stop"] = false;
  RunUntil(scheduler, clock, 10 * kCycleMicros);

  const std::vector<NoteEvent> expected = {
      {0, "NotePlayer1", 67, 100},     {0, "NotePlayer1", 31, 80},
      {250000, "NotePlayer1", 67, 0},  {250000, "NotePlayer1", 31, 0},
      {250000, "NotePlayer1", 60, 80}, {250000, "NotePlayer2", 36, 65},
      {500000, "NotePlayer1", 60, 0},  {500000, "NotePlayer1", 72, 70},
      {500000, "NotePlayer1", 60, 60}, {750000, "NotePlayer1", 72, 0},
      {750000, "NotePlayer1", 60, 0},  {750000, "NotePlayer1", 63, 40},
      {1000000, "NotePlayer1", 63, 0}, {1000000, "NotePlayer1", 62, 90},
      {1125000, "NotePlayer1", 62, 0},
  };
  EXPECT_EQ(window.notes, expected);
  EXPECT_FALSE(thread.running()) << "the handler returns when stop is disabled";

  // Draws in the order pitch, velocity, coin; the coin only after tier 2.
  const std::vector<std::pair<int, int>> expectedRanges = {
      {1, 8}, {4, 10}, {1, 8}, {4, 10}, {1, 2}, {1, 8}, {4, 10}, {1, 8}, {4, 10}, {1, 8}, {4, 10}};
  EXPECT_EQ(ranges, expectedRanges);

  // The first play test comes after the first step's note-offs.
  ASSERT_FALSE(window.questions.empty());
  EXPECT_EQ(window.questions.front().control, "play");
  EXPECT_EQ(window.questions.front().notesBefore, 4u);
  EXPECT_EQ(window.questions.back().control, "stop");
}

TEST_F(MelodyTest, FirstNoteSoundsOnTheFirstTurnWithoutWaiting) {
  StartScripted({1, 4});
  EXPECT_TRUE(window.notes.empty()) << "nothing runs inside Start";
  clock.Set(42);
  scheduler.RunReady();
  ASSERT_EQ(window.notes.size(), 1u);
  EXPECT_EQ(window.notes[0], (NoteEvent{42, "NotePlayer1", 60, 40}));
}

TEST_F(MelodyTest, VoicingTiersFollowTheVelocityDrawWithTheirCompanions) {
  constexpr int kCycles = 1200;  // 36 000 long steps
  Start(std::make_unique<Random>(7));
  RunUntil(scheduler, clock, kCycles * kCycleMicros);

  std::array<int, 4> tiers{};
  int shortSteps = 0;
  const auto& notes = window.notes;
  for (std::size_t i = 0; i < notes.size(); ++i) {
    const NoteEvent& main = notes[i];
    if (main.player != "NotePlayer1" || main.velocity == 0) continue;
    if (main.micros >= kCycles * kCycleMicros) break;
    const double offset = std::fmod(main.micros, kCycleMicros);
    if (offset >= kLongSteps * kLongStepMicros) {
      // A short step: its note-off follows straight away, and nothing else.
      ++shortSteps;
      ASSERT_EQ(notes[i + 1],
                (NoteEvent{main.micros + kShortStepMicros, "NotePlayer1", main.note, 0}));
      continue;
    }
    const Voicing& voicing = VoicingFor(main.velocity);
    const int tier = static_cast<int>(&voicing - kVoicings);
    ++tiers[tier];
    const double end = main.micros + kLongStepMicros;
    const int low = main.note - voicing.semitonesBelow;
    std::vector<NoteEvent> step;
    switch (tier) {
      case 0:
      case 2:
        step = {{main.micros, "NotePlayer1", low, main.velocity - voicing.softerBy},
                {end, "NotePlayer1", main.note, 0},
                {end, "NotePlayer1", low, 0}};
        break;
      case 1:
        step = {{main.micros, "NotePlayer2", low, main.velocity - 15},
                {end, "NotePlayer1", main.note, 0}};
        break;
      default:
        step = {{end, "NotePlayer1", main.note, 0}};
    }
    ASSERT_TRUE(std::equal(step.begin(), step.end(), notes.begin() + i + 1))
        << "step at " << main.micros;
    i += step.size();
  }
  const double steps = tiers[0] + tiers[1] + tiers[2] + tiers[3];
  EXPECT_EQ(steps, kCycles * kLongSteps);
  EXPECT_EQ(shortSteps, kCycles * kShortSteps);
  EXPECT_NEAR(tiers[0] / steps, 2.0 / 7, 0.01);
  EXPECT_NEAR(tiers[1] / steps, 1.0 / 7, 0.01);
  EXPECT_NEAR(tiers[2] / steps, 1.0 / 7, 0.01);
  EXPECT_NEAR(tiers[3] / steps, 3.0 / 7, 0.01);
}

TEST_F(MelodyTest, HeldNotesPileUpUntilACoinSweepsThemInOrder) {
  // Two tier-2 steps on C with coin 1, then a third with coin 2.
  StartScripted({1, 8, 1, 1, 8, 1, 1, 8, 2, 1, 4});
  RunUntil(scheduler, clock, 3 * kLongStepMicros - 1);
  clock.Set(3 * kLongStepMicros);
  scheduler.RunDue();  // the third step ends and its sweep begins

  const std::vector<NoteEvent> held = NotesOn("NotePlayer2");
  ASSERT_EQ(held.size(), 4u);
  for (int k = 0; k < 3; ++k)
    EXPECT_EQ(held[k], (NoteEvent{k * kLongStepMicros, "NotePlayer2", 36, 65}));

  // The sweep runs one note per turn of the loop, right after the note-off.
  const std::size_t before = window.notes.size() - 1;
  EXPECT_EQ(window.notes[before - 1], (NoteEvent{3 * kLongStepMicros, "NotePlayer1", 60, 0}));
  for (int note = 1; note <= kHighestSweptNote; ++note) {
    ASSERT_EQ(window.notes.size(), before + note);
    EXPECT_EQ(window.notes.back(), (NoteEvent{3 * kLongStepMicros, "NotePlayer2", note, 0}));
    const std::size_t questionsBefore = window.questions.size();
    scheduler.RunReady();
    if (note < kHighestSweptNote) {
      EXPECT_EQ(window.questions.size(), questionsBefore) << "play test mid-sweep";
    }
  }
  // Then the play test, then, a turn later, the next step.
  EXPECT_EQ(window.questions.back().control, "play");
  EXPECT_EQ(window.questions.back().notesBefore, before + kHighestSweptNote);
  scheduler.RunReady();
  EXPECT_EQ(window.notes.back(), (NoteEvent{3 * kLongStepMicros, "NotePlayer1", 60, 40}));
}

TEST_F(MelodyTest, PlayEnabledCutsEachPhraseAfterOneStep) {
  window.enabled["play"] = true;
  Start(std::make_unique<Random>(3));
  constexpr int kCycles = 50;
  constexpr double kShortCycle = kLongStepMicros + kShortStepMicros;
  RunUntil(scheduler, clock, kCycles * kShortCycle - 1);

  // Every cycle: one long step, one short step, then the cycle test on stop.
  int longSteps = 0;
  int shortSteps = 0;
  for (const NoteEvent& e : NotesOn("NotePlayer1")) {
    const double offset = std::fmod(e.micros, kShortCycle);
    ASSERT_TRUE(offset == 0 || offset == kLongStepMicros) << e.micros;
    if (e.velocity >= 40 && e.note >= 60) (offset == 0 ? longSteps : shortSteps)++;
  }
  EXPECT_GE(longSteps, kCycles);  // a tier-3 companion can be a C too
  EXPECT_EQ(shortSteps, kCycles);
  for (std::size_t i = 0; i < window.questions.size(); ++i) {
    EXPECT_EQ(window.questions[i].control, i % 3 == 2 ? "stop" : "play") << i;
  }
  EXPECT_TRUE(thread.running());
}

TEST_F(MelodyTest, StopDisabledEndsTheHandlerAfterTheWholeCycle) {
  window.enabled["stop"] = false;
  Start(std::make_unique<Random>(11));
  RunUntil(scheduler, clock, 3 * kCycleMicros);
  EXPECT_FALSE(thread.running());
  const NoteEvent last = window.notes.back();
  EXPECT_EQ(last.micros, kCycleMicros) << "34 steps, then the handler returns";
  EXPECT_EQ(std::count_if(window.questions.begin(), window.questions.end(),
                          [](const auto& q) { return q.control == "play"; }),
            kLongSteps + kShortSteps);
}

TEST_F(MelodyTest, KilledDuringAWaitPlaysNothingMoreAndRestartsFromTheTop) {
  Start(std::make_unique<Random>(5));
  RunUntil(scheduler, clock, 3 * kLongStepMicros + 1000);  // waiting in step 4
  const std::size_t played = window.notes.size();
  scheduler.Stop(thread);
  EXPECT_FALSE(thread.running());
  EXPECT_EQ(clock.dropped, std::vector<std::uint32_t>{thread.id()})
      << "its scheduled notes are dropped";
  RunUntil(scheduler, clock, 10 * kLongStepMicros);
  EXPECT_EQ(window.notes.size(), played);

  // The same draws again give the same melody, from step 1, on the new clock.
  std::vector<NoteEvent> first(window.notes.begin(), window.notes.end());
  window.notes.clear();
  Start(std::make_unique<Random>(5));
  const double restart = clock.Microseconds();
  RunUntil(scheduler, clock, restart + 3 * kLongStepMicros + 1000);
  ASSERT_EQ(window.notes.size(), first.size());
  for (std::size_t i = 0; i < first.size(); ++i) {
    first[i].micros += restart;
    EXPECT_EQ(window.notes[i], first[i]);
  }
}

TEST_F(MelodyTest, AMissingMemberEndsTheThreadWithANilObjectError) {
  window.enabled.erase("play");
  StartScripted({1, 4});
  std::string reported;
  scheduler.SetErrorReporter([&](const std::string& m) { reported = m; });
  RunUntil(scheduler, clock, kLongStepMicros);
  EXPECT_FALSE(thread.running());
  EXPECT_NE(reported.find("\"play\""), std::string::npos) << reported;
  EXPECT_NE(reported.find("dorian1"), std::string::npos) << reported;
}

TEST_F(MelodyTest, TwentyFourHoursStayOnTheGridWithNoStuckNotes) {
  Start(std::make_unique<Random>(2024));
  constexpr int kCycles = 24 * 3600 * 1'000'000.0 / kCycleMicros;  // 10 800
  // Checked as it goes: the log is cleared at every onset to keep memory flat.
  std::set<int> sounding1;
  std::set<int> sounding2;
  long long steps = 0;
  double lastTime = 0;
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    RunUntil(scheduler, clock, (cycle + 1) * kCycleMicros - 1);
    for (const NoteEvent& e : window.notes) {
      ASSERT_GE(e.micros, lastTime);
      lastTime = e.micros;
      std::set<int>& sounding = e.player == "NotePlayer1" ? sounding1 : sounding2;
      if (e.velocity > 0 && e.player == "NotePlayer1" && e.velocity >= 40 && sounding1.empty()) {
        // A step onset: exactly on the grid of its cycle.
        const double offset = e.micros - cycle * kCycleMicros;
        const int step = static_cast<int>(steps++ % (kLongSteps + kShortSteps));
        const double expected = step < kLongSteps ? step * kLongStepMicros
                                                  : kLongSteps * kLongStepMicros +
                                                        (step - kLongSteps) * kShortStepMicros;
        ASSERT_EQ(offset, expected) << "cycle " << cycle << " step " << step;
      }
      if (e.velocity > 0) {
        sounding.insert(e.note);
      } else {
        sounding.erase(e.note);
      }
      ASSERT_LE(sounding1.size(), 2u);
    }
    window.notes.clear();
    window.questions.clear();
  }
  EXPECT_EQ(steps, static_cast<long long>(kCycles) * (kLongSteps + kShortSteps));
  // What still sounds is the current step's note and perhaps held notes.
  EXPECT_LE(sounding1.size(), 2u);
  for (int note : sounding2) EXPECT_TRUE(note >= 36 && note <= 48) << note;
}

}  // namespace
}  // namespace quillotone
