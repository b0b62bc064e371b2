// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/threads/Worker.h"

#include <QCoreApplication>
#include <QEvent>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace quillotone {
namespace {

// A reply is waiting in the worker's mailbox. A plain event, which Qt
// deletes on the receiving thread: what the reply holds is handed over
// under the worker's mutex, and goes on the maker's thread.
const QEvent::Type kReplyEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

}  // namespace

// What the thread and its owner share: the thread keeps it for as long as it
// runs, however long after the owner it is.
struct Worker::Shared {
  std::mutex mutex;
  std::condition_variable wake;
  std::condition_variable finished;
  std::deque<std::function<void()>> jobs;     // under mutex
  std::deque<std::function<void()>> replies;  // under mutex
  bool nudged = false;                        // under mutex
  bool ending = false;                        // under mutex
  bool done = false;                          // under mutex
  // Where replies go; null once the owner is gone. Under mutex, which a
  // reply holds while it posts, so the receiver cannot go meanwhile.
  QObject* receiver = nullptr;
  Tick tick;
  std::chrono::milliseconds interval{0};
};

Worker::Worker(Tick tick, std::chrono::milliseconds interval)
    : shared_(std::make_shared<Shared>()) {
  shared_->receiver = &receiver_;
  shared_->tick = std::move(tick);
  shared_->interval = interval;
  std::thread([shared = shared_] { Run(shared); }).detach();
}

Worker::~Worker() {
  std::unique_lock lock(shared_->mutex);
  shared_->receiver = nullptr;
  shared_->ending = true;
  shared_->wake.notify_all();
  shared_->finished.wait_for(lock, finishLimit_, [this] { return shared_->done; });
}

void Worker::Post(std::function<void()> job) {
  const std::lock_guard lock(shared_->mutex);
  shared_->jobs.push_back(std::move(job));
  shared_->wake.notify_all();
}

void Worker::Nudge() {
  const std::lock_guard lock(shared_->mutex);
  shared_->nudged = true;
  shared_->wake.notify_all();
}

void Worker::Replier::operator()(std::function<void()> then) const {
  const std::lock_guard lock(shared_->mutex);
  if (shared_->receiver == nullptr) return;
  shared_->replies.push_back(std::move(then));
  QCoreApplication::postEvent(shared_->receiver, new QEvent(kReplyEvent));
}

bool Worker::Mailbox::event(QEvent* event) {
  std::deque<std::function<void()>> replies;
  bool reply = false;
  {
    // Taken before the event is read: a reply's event is made on the
    // worker's thread under this mutex, and Qt's own hand-over of it is made
    // with primitives the thread checker cannot see.
    const std::lock_guard lock(shared_.mutex);
    reply = event->type() == kReplyEvent;
    if (reply) replies.swap(shared_.replies);
  }
  if (!reply) return QObject::event(event);
  for (auto& then : replies) then();
  return true;
}

void Worker::Run(const std::shared_ptr<Shared>& shared) {
  std::unique_lock lock(shared->mutex);
  for (;;) {
    const auto ready = [&] { return !shared->jobs.empty() || shared->nudged || shared->ending; };
    bool ticked = false;
    if (shared->tick && shared->interval.count() > 0) {
      ticked = !shared->wake.wait_for(lock, shared->interval, ready);
    } else {
      shared->wake.wait(lock, ready);
    }
    if (shared->jobs.empty() && shared->ending) break;
    ticked = ticked || std::exchange(shared->nudged, false);
    std::deque<std::function<void()>> jobs;
    jobs.swap(shared->jobs);
    lock.unlock();
    // Jobs and ticks run unlocked: they are what may wait.
    for (auto& job : jobs) job();
    if (ticked && shared->tick) shared->tick(Replier(shared));
    jobs.clear();  // what they held goes here, not under the lock
    lock.lock();
  }
  shared->done = true;
  shared->finished.notify_all();
}

}  // namespace quillotone
