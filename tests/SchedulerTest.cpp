// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <stdexcept>

#include "framework/threads/Scheduler.h"
#include "support/VirtualClock.h"

namespace quillotone {
namespace {

class SchedulerTest : public ::testing::Test {
 protected:
  testing::VirtualClock clock;
  Scheduler scheduler{clock};
  ThreadContext thread{scheduler, "worker"};
  std::vector<std::string> trace;
};

Task CountTurns(std::vector<std::string>& trace, int turns) {
  for (int i = 0; i < turns; ++i) {
    trace.push_back("turn " + std::to_string(i));
    co_await RuntimeBackgroundTask();
  }
  trace.push_back("done");
}

TEST_F(SchedulerTest, AThreadRunsOneStretchATurnFromALaterTurnOn) {
  scheduler.Start(thread, CountTurns(trace, 2));
  EXPECT_TRUE(trace.empty()) << "nothing runs inside Start";
  scheduler.RunReady();
  EXPECT_EQ(trace, std::vector<std::string>{"turn 0"});
  scheduler.RunReady();
  scheduler.RunReady();
  EXPECT_EQ(trace, (std::vector<std::string>{"turn 0", "turn 1", "done"}));
  EXPECT_FALSE(thread.running()) << "a returned handler ends its thread";
  // Stopped and started within one turn: the old run's resume is stale.
  trace.clear();
  scheduler.Start(thread, CountTurns(trace, 3));
  scheduler.RunReady();
  scheduler.Stop(thread);
  scheduler.Start(thread, CountTurns(trace, 3));
  scheduler.RunReady();
  EXPECT_EQ(trace, (std::vector<std::string>{"turn 0", "turn 0"})) << "afresh, once";
}

Task Sleeper(std::vector<double>& woke, const Scheduler& scheduler, double micros) {
  for (;;) {
    co_await Wait(micros);
    woke.push_back(scheduler.Now());
  }
}

TEST_F(SchedulerTest, AWaitNeverEndsEarlyAndLatenessNeverAddsUp) {
  std::vector<double> woke;
  clock.Set(1000);
  scheduler.Start(thread, Sleeper(woke, scheduler, 250'000));
  scheduler.RunReady();
  clock.Set(250'999);
  scheduler.RunDue();
  EXPECT_TRUE(woke.empty());
  // Woken late, the thread still stands on its deadline: no drift.
  clock.Set(260'000);
  scheduler.RunDue();
  EXPECT_EQ(woke, std::vector<double>{251'000});
  EXPECT_EQ(scheduler.NextDeadline(), 501'000);
  // Far behind (the machine slept): on to the present, no burst of notes.
  clock.Set(9e6);
  scheduler.RunDue();
  EXPECT_EQ(woke, (std::vector<double>{251'000, 9e6}));
}

struct Guard {
  bool& released;
  ~Guard() { released = true; }
};

Task HoldAndWait(bool& released) {
  Guard guard{released};
  co_await Wait(1000);
  ADD_FAILURE() << "resumed after a kill";
}

TEST_F(SchedulerTest, StopEndsTheThreadWhereItStandsAndDropsWhatItScheduled) {
  bool released = false;
  scheduler.Stop(thread);  // not running: nothing happens
  EXPECT_TRUE(clock.dropped.empty());
  scheduler.Start(thread, HoldAndWait(released));
  scheduler.RunReady();
  scheduler.Stop(thread);
  EXPECT_TRUE(released);
  EXPECT_FALSE(thread.running());
  EXPECT_EQ(clock.dropped, std::vector<std::uint32_t>{thread.id()});
  EXPECT_FALSE(scheduler.NextDeadline());
}

Task Throws() {
  co_await RuntimeBackgroundTask();
  throw std::runtime_error("broken string");
}

TEST_F(SchedulerTest, AnEscapingExceptionEndsOnlyItsThreadAndIsReported) {
  ThreadContext other(scheduler, "other");
  std::vector<std::string> reports;
  scheduler.SetErrorReporter([&](const std::string& m) { reports.push_back(m); });
  scheduler.Start(thread, Throws());
  scheduler.Start(other, CountTurns(trace, 5));
  for (int i = 0; i < 3; ++i) scheduler.RunReady();
  EXPECT_FALSE(thread.running());
  EXPECT_TRUE(other.running());
  EXPECT_EQ(reports, std::vector<std::string>{"thread worker ended by an error: broken string"});
}

}  // namespace
}  // namespace quillotone
