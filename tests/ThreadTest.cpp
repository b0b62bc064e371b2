#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <memory>

#include "framework/EventLoopScheduler.h"
#include "framework/SynthHost.h"
#include "framework/Thread.h"
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

  SynthHost host;
  EventLoopScheduler loop{host};
  QObject owner;
};

Task Steps(std::vector<int>& steps, double waitMicros) {
  for (int i = 0;; ++i) {
    steps.push_back(i);
    co_await Wait(waitMicros);
  }
}

TEST_F(ThreadTest, RunReturnsAtOnceAndTheHandlerStartsOnALaterTurn) {
  std::vector<int> steps;
  auto* thread = new Thread(
      loop.scheduler(), "dorian1", [&] { return Steps(steps, 1000); }, &owner);
  thread->Run();
  EXPECT_TRUE(steps.empty());
  EXPECT_TRUE(thread->IsRunning());
  SpinUntil([&] { return !steps.empty(); });
  EXPECT_EQ(steps.front(), 0);
  EXPECT_EQ(owner.findChild<Thread*>("dorian1"), thread);
  EXPECT_EQ(owner.findChild<Thread*>("lydian1"), nullptr);
}

Task Stamps(std::vector<qint64>& stamps, const QElapsedTimer& clock, double waitMicros) {
  for (;;) {
    stamps.push_back(clock.nsecsElapsed());
    co_await Wait(waitMicros);
  }
}

TEST_F(ThreadTest, ATimedWaitSleepsItsWholeLengthOnTheEventLoop) {
  std::vector<qint64> stamps;
  QElapsedTimer clock;
  clock.start();
  Thread thread(loop.scheduler(), "waiter", [&] { return Stamps(stamps, clock, 50'000); });
  thread.Run();
  SpinUntil([&] { return stamps.size() >= 3; });
  ASSERT_GE(stamps.size(), 3u);
  // Waits keep to the grid of the thread's start, never ahead of it: a late
  // wake shortens the next wait rather than delaying every later step. (The
  // system clock paces the thread here; a tenth of a millisecond for rounding.)
  EXPECT_GE(stamps[1] - stamps[0], 50'000'000 - 100'000);
  EXPECT_GE(stamps[2] - stamps[0], 100'000'000 - 100'000);
}

TEST_F(ThreadTest, KillEndsTheThreadAndRunStartsItAfresh) {
  std::vector<int> steps;
  Thread thread(loop.scheduler(), "aeolian1", [&] { return Steps(steps, 20'000); });
  thread.Kill();  // not running: nothing to do
  EXPECT_FALSE(thread.IsRunning());

  thread.Run();
  SpinUntil([&] { return steps.size() >= 2; });
  thread.Kill();
  EXPECT_FALSE(thread.IsRunning());
  const std::size_t played = steps.size();
  SpinUntil([] { return false; }, 100);
  EXPECT_EQ(steps.size(), played) << "a killed thread never resumes";

  steps.clear();
  thread.Run();
  SpinUntil([&] { return !steps.empty(); });
  EXPECT_EQ(steps, std::vector<int>{0});
}

TEST_F(ThreadTest, AnEarlierDeadlineReArmsTheLoopsTimer) {
  // The timer is armed for a thread ten seconds away; a thread that starts
  // later with a short wait must not sleep until then.
  std::vector<int> slow;
  std::vector<int> quick;
  Thread sleeper(loop.scheduler(), "sleeper", [&] { return Steps(slow, 10e6); });
  Thread waker(loop.scheduler(), "waker", [&] { return Steps(quick, 1000); });
  sleeper.Run();
  SpinUntil([&] { return !slow.empty(); });
  waker.Run();
  SpinUntil([&] { return quick.size() >= 3; });
  EXPECT_GE(quick.size(), 3u);
  EXPECT_EQ(slow.size(), 1u);
}

}  // namespace
}  // namespace quillotone
