// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTimer>

#include "framework/threads/Scheduler.h"

namespace quillotone {

// Drives a Scheduler from the Qt event loop: threads that yielded get the
// next turn of the loop, sleepers wake by a timer at their deadline. Between
// deadlines nothing runs, so a waiting melody costs no CPU.
class EventLoopScheduler : public QObject {
  Q_OBJECT

 public:
  explicit EventLoopScheduler(Playhead& playhead, QObject* parent = nullptr);

  [[nodiscard]] Scheduler& scheduler() { return scheduler_; }

 private:
  void Wake();
  void Turn();

  Scheduler scheduler_;
  QTimer timer_;
  bool turnPosted_ = false;
};

}  // namespace quillotone
