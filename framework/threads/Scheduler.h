// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "framework/Playhead.h"
#include "framework/threads/Task.h"

namespace quillotone {

class Scheduler;

// What the scheduler keeps for one cooperative thread: its coroutine and its
// logical clock. Owned by whoever owns the thread; the scheduler only points.
class ThreadContext {
 public:
  ThreadContext(Scheduler& scheduler, std::string name);
  ~ThreadContext();
  ThreadContext(const ThreadContext&) = delete;
  ThreadContext& operator=(const ThreadContext&) = delete;

  [[nodiscard]] std::uint32_t id() const { return id_; }
  [[nodiscard]] const std::string& name() const { return name_; }
  [[nodiscard]] bool running() const { return task_.valid(); }
  // The thread's logical time in microseconds: where its next events belong.
  [[nodiscard]] double now() const { return now_; }
  [[nodiscard]] Scheduler& scheduler() const { return scheduler_; }

 private:
  friend class Scheduler;

  Scheduler& scheduler_;
  std::uint32_t id_;
  std::string name_;
  Task task_;
  double now_ = 0.0;
  bool started_ = false;
  // Bumped whenever a pending resume becomes stale (a kill, a new start).
  std::uint64_t ticket_ = 0;
};

// Runs cooperative threads on one OS thread. Nothing here knows about an event
// loop: a driver (the Qt event loop, or a test by hand) calls RunReady and
// RunDue, and the wake hook tells it when there is something new to do.
class Scheduler {
 public:
  using Reporter = std::function<void(const std::string&)>;

  // A thread more than this late is moved to the present instead of catching
  // up note by note (after the machine slept, say).
  static constexpr double kMaxLatenessMicros = 1'000'000.0;

  explicit Scheduler(Playhead& playhead);
  Scheduler(const Scheduler&) = delete;
  Scheduler& operator=(const Scheduler&) = delete;

  void SetWakeHook(std::function<void()> hook) { wake_ = std::move(hook); }
  void SetErrorReporter(Reporter reporter) { report_ = std::move(reporter); }

  // Starts `body` on a later turn; whatever the context ran before is ended.
  void Start(ThreadContext& context, Task body);
  // Ends the thread where it stands: its frame is destroyed, pending resumes
  // and the events it scheduled ahead are dropped. No effect when idle.
  void Stop(ThreadContext& context);

  // Resumes every thread that was ready before this call. True if any ran.
  bool RunReady();
  // Resumes every sleeper whose deadline the playhead has reached.
  void RunDue();
  [[nodiscard]] bool HasReady() const { return !ready_.empty(); }
  [[nodiscard]] std::optional<double> NextDeadline() const;

  // The thread being resumed right now, if any.
  [[nodiscard]] const ThreadContext* Current() const { return current_; }
  // The current thread's logical time, else the playhead's.
  [[nodiscard]] double Now() const;
  [[nodiscard]] Playhead& playhead() const { return playhead_; }

  // Used by the awaitables.
  void Yield(ThreadContext& context);
  void SleepUntil(ThreadContext& context, double deadline);

 private:
  friend class ThreadContext;
  struct Pending {
    ThreadContext* context;
    std::uint64_t ticket;
  };

  std::uint32_t NextId() { return ++lastId_; }
  void Forget(ThreadContext& context);
  void Resume(ThreadContext& context, double logicalTime);
  void Wake() const {
    if (wake_) wake_();
  }

  Playhead& playhead_;
  std::vector<Pending> ready_;
  std::multimap<double, Pending> sleepers_;
  ThreadContext* current_ = nullptr;
  std::uint32_t lastId_ = 0;
  std::function<void()> wake_;
  Reporter report_;
};

}  // namespace quillotone
