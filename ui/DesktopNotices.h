// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <functional>

namespace quillotone {

// Hands notices to the desktop's notification service
// (org.freedesktop.Notifications on the session bus), which shows them out
// of the window's way. Each takes the place of the one before. Nothing waits
// for the service: its answer comes through the event loop.
class DesktopNotices final : public QObject {
  Q_OBJECT

 public:
  explicit DesktopNotices(QObject* parent = nullptr) : QObject(parent) {}

  // Sends `text`; where no service takes it (no session bus, no notification
  // service on it), calls `unavailable` instead.
  void Send(const QString& text, const std::function<void()>& unavailable);

 private:
  // The service's number for the notice showing, which the next replaces.
  uint shownId_ = 0;
};

}  // namespace quillotone
