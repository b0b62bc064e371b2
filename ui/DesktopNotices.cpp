// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/DesktopNotices.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QVariantMap>

#include "ui/SessionBus.h"
#include "ui/Texts.h"

namespace quillotone {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
// The service's default: it decides how long a notice stays.
constexpr qint32 kServiceTimeout = -1;

}  // namespace

void DesktopNotices::Send(const QString& text, const std::function<void()>& unavailable) {
  if (!SessionBusKnown()) {
    unavailable();
    return;
  }
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    unavailable();
    return;
  }
  // The installed desktop entry and icon are named by the application id.
  const QString appId = QGuiApplication::desktopFileName();
  QDBusMessage call =
      QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
  call << kProgramName << shownId_ << appId << kProgramName << text << QStringList()
       << QVariantMap{{QStringLiteral("desktop-entry"), appId}} << kServiceTimeout;
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, unavailable] {
    const QDBusPendingReply<uint> reply = *watcher;
    watcher->deleteLater();
    if (reply.isError()) {
      unavailable();
    } else {
      shownId_ = reply.value();
    }
  });
}

}  // namespace quillotone
