// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <chrono>
#include <functional>
#include <memory>

namespace quillotone {

// A thread of its own for whatever may wait on another process (a sound
// server's open, a JACK client) or take long (a SoundFont's check), so that
// the thread that makes it (the event loop's) never waits. Jobs run in the
// order they were posted; what a job finds out comes back through Reply, as
// a queued call on the maker's thread, and is dropped once the worker is
// gone. The jobs own what they work on (by shared ownership): a worker stuck
// in a library call is left to it when its owner goes, never waited for
// beyond the owner's limit.
class Worker {
  struct Shared;

 public:
  // Reply, for jobs to keep: it outlives the worker, whose thread may too.
  class Replier {
   public:
    void operator()(std::function<void()> then) const;

   private:
    friend class Worker;
    explicit Replier(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}
    std::shared_ptr<Shared> shared_;
  };

  // `tick`, if given, runs on the worker's thread every `interval` and after
  // every Nudge, with the worker's Replier.
  using Tick = std::function<void(const Replier&)>;
  explicit Worker(Tick tick = {},
                  std::chrono::milliseconds interval = std::chrono::milliseconds(0));
  // Runs what is still queued, waiting at most the limit set (none by
  // default) for it to finish; a thread still busy then is left to finish
  // alone.
  ~Worker();
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  void Post(std::function<void()> job);
  // Runs the tick soon, without a job of its own.
  void Nudge();
  // Runs `then` on the maker's thread, unless the worker is gone by then.
  // Jobs and ticks call it; they must not reach the worker itself, which
  // they may outlive.
  [[nodiscard]] Replier replier() const { return Replier(shared_); }
  // How long the destructor waits for the queue to be done.
  void SetFinishLimit(std::chrono::milliseconds limit) { finishLimit_ = limit; }

 private:
  static void Run(const std::shared_ptr<Shared>& shared);

  // Replies are delivered to it, on the maker's thread, as events.
  class Mailbox : public QObject {
   public:
    explicit Mailbox(Shared& shared) : shared_(shared) {}
    bool event(QEvent* event) override;

   private:
    Shared& shared_;
  };

  std::shared_ptr<Shared> shared_;
  Mailbox receiver_{*shared_};
  std::chrono::milliseconds finishLimit_{0};
};

}  // namespace quillotone
