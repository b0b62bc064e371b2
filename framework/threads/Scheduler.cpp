// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/threads/Scheduler.h"

#include <algorithm>
#include <iostream>
#include <utility>

namespace quillotone {

ThreadContext::ThreadContext(Scheduler& scheduler, std::string name)
    : scheduler_(scheduler), id_(scheduler.NextId()), name_(std::move(name)) {}

ThreadContext::~ThreadContext() { scheduler_.Stop(*this); }

void YieldAwaiter::await_suspend(Task::Handle handle) const {
  ThreadContext& context = *handle.promise().context;
  context.scheduler().Yield(context);
}

void WaitAwaiter::await_suspend(Task::Handle handle) const {
  ThreadContext& context = *handle.promise().context;
  context.scheduler().SleepUntil(context, context.now() + micros);
}

Scheduler::Scheduler(Playhead& playhead)
    : playhead_(playhead),
      report_([](const std::string& message) { std::cerr << "quillotone: " << message << '\n'; }) {}

void Scheduler::Start(ThreadContext& context, Task body) {
  Stop(context);
  context.task_ = std::move(body);
  context.task_.handle().promise().context = &context;
  context.started_ = false;
  Yield(context);
}

void Scheduler::Stop(ThreadContext& context) {
  if (!context.running()) return;
  Forget(context);
  context.task_.Reset();
  playhead_.DropScheduled(context.id());
}

void Scheduler::Forget(ThreadContext& context) {
  ++context.ticket_;
  std::erase_if(ready_, [&](const Pending& p) { return p.context == &context; });
  std::erase_if(sleepers_, [&](const auto& entry) { return entry.second.context == &context; });
}

void Scheduler::Yield(ThreadContext& context) {
  ready_.push_back({&context, ++context.ticket_});
  Wake();
}

void Scheduler::SleepUntil(ThreadContext& context, double deadline) {
  sleepers_.emplace(deadline, Pending{&context, ++context.ticket_});
  Wake();
}

bool Scheduler::RunReady() {
  // Threads that yield while this turn runs wait for the next one.
  std::vector<Pending> turn = std::exchange(ready_, {});
  for (const Pending& pending : turn) {
    if (pending.ticket != pending.context->ticket_) continue;
    ThreadContext& context = *pending.context;
    // A thread keeps its own logical clock: a wait ends at its deadline
    // however late the thread is woken, so lateness never adds up.
    Resume(context, context.started_ ? context.now_ : playhead_.BeginThread());
  }
  return !turn.empty();
}

void Scheduler::RunDue() {
  const double now = playhead_.Microseconds();
  while (!sleepers_.empty() && sleepers_.begin()->first <= now) {
    auto node = sleepers_.extract(sleepers_.begin());
    const double deadline = node.key();
    ThreadContext& context = *node.mapped().context;
    if (node.mapped().ticket != context.ticket_) continue;
    Resume(context, now - deadline > kMaxLatenessMicros ? now : deadline);
  }
}

std::optional<double> Scheduler::NextDeadline() const {
  if (sleepers_.empty()) return std::nullopt;
  return sleepers_.begin()->first;
}

double Scheduler::Now() const {
  return current_ != nullptr ? current_->now_ : playhead_.Microseconds();
}

void Scheduler::Resume(ThreadContext& context, double logicalTime) {
  context.now_ = logicalTime;
  context.started_ = true;
  ThreadContext* const outer = std::exchange(current_, &context);
  const Task::Handle handle = context.task_.handle();
  handle.resume();
  current_ = outer;
  if (!handle.done()) return;

  // The body returned or threw: the thread ends, and only this thread.
  if (const std::exception_ptr error = handle.promise().error) {
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      report_("thread " + context.name_ + " ended by an error: " + e.what());
    } catch (...) {
      report_("thread " + context.name_ + " ended by an unknown error");
    }
  }
  context.task_.Reset();
}

}  // namespace quillotone
