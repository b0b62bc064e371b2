// SPDX-License-Identifier: GPL-3.0-or-later
// The MIDI clock's ticks and the messages among them, as a port takes them
// cycle by cycle, on times the test gives.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "framework/midi/Midi.h"
#include "framework/midi/MidiSchedule.h"

namespace quillotone {
namespace {

constexpr double kTick = MidiSchedule::kTickMicros;
constexpr unsigned char kNote = midi::kNoteOn;

TimedMessage At(double micros, unsigned char status) {
  return {
      .micros = micros, .bytes = {status, 60, 90}, .size = std::uint8_t(status == kNote ? 3 : 1)};
}

// Start at 0 and a note at 50 ms are taken at each of `takes` (the port's
// "now", which is also its limit): what comes out, as (status, tick number
// or time in ms).
struct Stall {
  std::string name;
  std::vector<double> takes;
  std::vector<std::pair<unsigned, double>> sent;
};
void PrintTo(const Stall& stall, std::ostream* out) { *out << stall.name; }
class MidiClockAfterStallTest : public ::testing::TestWithParam<Stall> {};

TEST_P(MidiClockAfterStallTest, OverdueTicksAreSkippedToTheGridNotSentInABurst) {
  MidiSchedule schedule;
  schedule.Add(At(0.0, midi::kStart));
  schedule.Add(At(50'000.0, kNote));
  std::vector<std::pair<unsigned, double>> sent;
  for (const double now : GetParam().takes) {
    while (const auto message = schedule.TakeDue(now, now)) {
      const unsigned status = message->bytes[0];
      sent.emplace_back(status, status == midi::kTimingClock ? message->micros / kTick
                                                             : message->micros / 1000.0);
    }
  }
  EXPECT_EQ(sent, GetParam().sent);
}

constexpr unsigned kClock = midi::kTimingClock, kStart = midi::kStart;
INSTANTIATE_TEST_SUITE_P(
    Taken, MidiClockAfterStallTest,
    ::testing::Values(
        // Every millisecond: every tick, on the grid, the note among them.
        Stall{"Steadily",
              {1e3, 21e3, 42e3, 51e3, 63e3, 84e3},
              {{kStart, 0},
               {kClock, 0},
               {kClock, 1},
               {kClock, 2},
               {kNote, 50},
               {kClock, 3},
               {kClock, 4}}},
        // Less than an interval late: the tick still goes, late.
        Stall{"ALittleLate", {1e3, 30e3}, {{kStart, 0}, {kClock, 0}, {kClock, 1}}},
        // 110 ms stood still: the late note goes, the clock resumes with the
        // grid's tick due last (104.2 ms), not ticks 1 to 4 at once.
        Stall{"AfterAStall",
              {1e3, 110e3, 126e3},
              {{kStart, 0}, {kClock, 0}, {kNote, 50}, {kClock, 5}, {kClock, 6}}},
        // The Start itself taken late: its ticks start from the grid too.
        Stall{"StartedLate", {70e3}, {{kStart, 0}, {kNote, 50}, {kClock, 3}}}),
    [](const auto& info) { return info.param.name; });

TEST(MidiScheduleTest, WhatIsPutBackComesFirstAgainATickAsTheSameTick) {
  MidiSchedule schedule;
  schedule.Add(At(0.0, midi::kStart));
  schedule.Add(At(0.0, kNote));
  schedule.Add(At(500.0, midi::kStop));
  const auto start = schedule.TakeDue(1.0, 1.0);
  const auto note = schedule.TakeDue(1.0, 1.0);
  ASSERT_TRUE(start && note);
  ASSERT_TRUE(schedule.PutBack(*note));
  EXPECT_EQ(schedule.TakeDue(1.0, 1.0)->bytes[0], kNote);
  const auto tick = schedule.TakeDue(1.0, 1.0);
  ASSERT_EQ(tick->bytes[0], midi::kTimingClock);
  ASSERT_TRUE(schedule.PutBack(*tick));
  EXPECT_EQ(schedule.TakeDue(1.0, 1.0)->micros, 0.0);
  EXPECT_EQ(schedule.TakeDue(1000.0, 1000.0)->bytes[0], midi::kStop);
  EXPECT_TRUE(schedule.idle());
}

}  // namespace
}  // namespace quillotone
