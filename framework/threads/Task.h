// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <coroutine>
#include <exception>
#include <utility>

namespace quillotone {

class ThreadContext;

// The body of a cooperative thread: a coroutine that starts suspended and is
// resumed by a Scheduler. It suspends only at the awaitables below, so whatever
// runs between two of its suspensions runs alone on the main thread.
class Task {
 public:
  struct promise_type {
    ThreadContext* context = nullptr;
    std::exception_ptr error;

    Task get_return_object() {
      return Task(std::coroutine_handle<promise_type>::from_promise(*this));
    }
    std::suspend_always initial_suspend() noexcept { return {}; }
    // Stays suspended at the end so the owner can see done() and read error.
    std::suspend_always final_suspend() noexcept { return {}; }
    void return_void() noexcept {}
    void unhandled_exception() noexcept { error = std::current_exception(); }
  };
  using Handle = std::coroutine_handle<promise_type>;

  Task() = default;
  explicit Task(Handle handle) : handle_(handle) {}
  Task(Task&& other) noexcept : handle_(std::exchange(other.handle_, {})) {}
  Task& operator=(Task&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, {});
    }
    return *this;
  }
  Task(const Task&) = delete;
  Task& operator=(const Task&) = delete;
  ~Task() { Reset(); }

  [[nodiscard]] Handle handle() const { return handle_; }
  [[nodiscard]] bool valid() const { return static_cast<bool>(handle_); }

  // Destroys the frame wherever it stands; its locals are released.
  void Reset() {
    if (handle_) std::exchange(handle_, {}).destroy();
  }

 private:
  Handle handle_;
};

// The yield of a melody thread: gives the event loop and the other threads a
// turn, and resumes on a later turn of the loop.
struct YieldAwaiter {
  bool await_ready() const noexcept { return false; }
  void await_suspend(Task::Handle handle) const;
  void await_resume() const noexcept {}
};

// A timed wait on the thread's logical clock. The thread sleeps (no polling)
// until the playhead reaches the deadline; its logical time then advances by
// exactly the duration, so the time spent between waits never stretches a step.
struct WaitAwaiter {
  double micros;
  bool await_ready() const noexcept { return false; }
  void await_suspend(Task::Handle handle) const;
  void await_resume() const noexcept {}
};

[[nodiscard]] inline YieldAwaiter RuntimeBackgroundTask() { return {}; }
[[nodiscard]] inline WaitAwaiter Wait(double micros) { return {micros}; }

}  // namespace quillotone
