// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/threads/Thread.h"

#include <utility>

namespace quillotone {

Thread::Thread(Scheduler& scheduler, const QString& name, Handler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)), context_(scheduler, name.toStdString()) {
  setObjectName(name);
}

void Thread::Run() {
  if (context_.running()) return;
  context_.scheduler().Start(context_, handler_());
}

void Thread::Kill() { context_.scheduler().Stop(context_); }

}  // namespace quillotone
