// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/threads/EventLoopScheduler.h"

#include <algorithm>
#include <cmath>

namespace quillotone {

EventLoopScheduler::EventLoopScheduler(Playhead& playhead, QObject* parent)
    : QObject(parent), scheduler_(playhead) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, [this] {
    scheduler_.RunDue();
    Wake();
  });
  scheduler_.SetWakeHook([this] { Wake(); });
}

void EventLoopScheduler::Wake() {
  if (scheduler_.HasReady() && !turnPosted_) {
    turnPosted_ = true;
    QMetaObject::invokeMethod(this, &EventLoopScheduler::Turn, Qt::QueuedConnection);
  }
  if (const std::optional<double> deadline = scheduler_.NextDeadline()) {
    // The playhead may advance in audio-block steps; a timer that fires a
    // little early just finds nothing due and is armed again.
    const double aheadMs = (*deadline - scheduler_.playhead().Microseconds()) / 1000.0;
    const int delayMs = static_cast<int>(std::clamp(std::ceil(aheadMs), 0.0, 60'000.0));
    if (!timer_.isActive() || timer_.remainingTime() > delayMs) timer_.start(delayMs);
  } else {
    timer_.stop();
  }
}

void EventLoopScheduler::Turn() {
  turnPosted_ = false;
  scheduler_.RunReady();
  scheduler_.RunDue();
  Wake();
}

}  // namespace quillotone
