// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "framework/audio/SynthHost.h"
#include "framework/threads/EventLoopScheduler.h"
#include "framework/threads/Thread.h"
#include "support/EventLoop.h"

namespace quillotone {
namespace {

// The real event loop and, with no synth attached, the system clock.
class ThreadTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::EnsureApplication<QCoreApplication>(); }
  static void SpinUntil(const std::function<bool()>& done, int limitMs = 5000) {
    testing::RunEventLoopUntil(done, limitMs);
  }
  Thread& Make(const char* name, double waitMicros, std::vector<qint64>& stamps) {
    return *new Thread(
        loop.scheduler(), name,
        [&stamps, waitMicros, this]() -> Task {
          for (;;) {
            stamps.push_back(clock.nsecsElapsed());
            co_await Wait(waitMicros);
          }
        },
        &owner);
  }
  SynthHost host;
  EventLoopScheduler loop{host};
  QObject owner;
  QElapsedTimer clock;
  ThreadTest() { clock.start(); }
};

TEST_F(ThreadTest, RunStartsOnALaterTurnWaitsKeepTheirGridAndKillEndsIt) {
  std::vector<qint64> stamps;
  Thread& thread = Make("aeolian1", 50'000, stamps);
  EXPECT_EQ(owner.findChild<Thread*>("aeolian1"), &thread);
  thread.Kill();  // not running: nothing to do
  thread.Run();
  EXPECT_TRUE(stamps.empty()) << "Run returns at once";
  SpinUntil([&] { return stamps.size() >= 3; });
  ASSERT_GE(stamps.size(), 3u);
  // Never ahead of the grid of the thread's start (a tenth of a millisecond
  // for rounding): a late wake shortens the next wait instead.
  EXPECT_GE(stamps[1] - stamps[0], 50'000'000 - 100'000);
  EXPECT_GE(stamps[2] - stamps[0], 100'000'000 - 100'000);
  thread.Kill();
  EXPECT_FALSE(thread.IsRunning());
  const std::size_t played = stamps.size();
  SpinUntil([] { return false; }, 150);
  EXPECT_EQ(stamps.size(), played) << "a killed thread never resumes";
}

}  // namespace
}  // namespace quillotone
