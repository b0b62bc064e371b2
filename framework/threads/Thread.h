// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <functional>

#include "framework/threads/Scheduler.h"
#include "framework/threads/Task.h"

namespace quillotone {

// A cooperative thread, found on its owner by its object name. Its run
// handler is a coroutine resumed by the scheduler on the main thread, so it
// never runs at the same time as a window handler and nothing is locked.
class Thread : public QObject {
  Q_OBJECT

 public:
  using Handler = std::function<Task()>;

  Thread(Scheduler& scheduler, const QString& name, Handler handler, QObject* parent = nullptr);

  // Returns at once; the handler starts afresh on a later turn of the event
  // loop. A thread that is already running carries on untouched.
  void Run();
  // Ends the thread where it stands and drops the events it scheduled ahead.
  // Does nothing to a thread that is not running.
  void Kill();
  [[nodiscard]] bool IsRunning() const { return context_.running(); }

 private:
  Handler handler_;
  ThreadContext context_;
};

}  // namespace quillotone
