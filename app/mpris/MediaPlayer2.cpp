// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mpris/MediaPlayer2.h"

#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QStringList>
#include <utility>

#include "app/mpris/MprisPlayer.h"
#include "app/mpris/MprisRoot.h"
#include "ui/SessionBus.h"

namespace quillotone {
namespace {

const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

}  // namespace

MediaPlayer2::MediaPlayer2(QString identity, QString desktopEntry, QObject* parent)
    : QObject(parent), identity_(std::move(identity)), desktopEntry_(std::move(desktopEntry)) {
  // Qt exports the adaptors, its children, with the object.
  new MprisRoot(this);
  new MprisPlayer(this);
}

MediaPlayer2::~MediaPlayer2() {
  if (service_.isEmpty()) return;
  QDBusConnection bus = QDBusConnection::sessionBus();
  bus.unregisterObject(QString::fromLatin1(kPath));
  bus.unregisterService(service_);
}

QString MediaPlayer2::Register() {
  if (!SessionBusKnown()) return {};
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() ||
      !bus.registerObject(QString::fromLatin1(kPath), this, QDBusConnection::ExportAdaptors)) {
    return {};
  }
  const QString service = QString::fromLatin1(kService);
  for (const QString& name :
       {service, service + QStringLiteral(".instance") + QString::number(getpid())}) {
    if (bus.registerService(name)) {
      service_ = name;
      return service_;
    }
  }
  bus.unregisterObject(QString::fromLatin1(kPath));
  return {};
}

void MediaPlayer2::SetPlaying(bool playing) {
  if (playing == playing_) return;
  playing_ = playing;
  Changed({{QStringLiteral("PlaybackStatus"), PlaybackStatus()}});
}

void MediaPlayer2::SetTrack(int row, const QString& title) {
  if (row == row_ && title == title_) return;
  row_ = row;
  title_ = title;
  Changed({{QStringLiteral("Metadata"), Metadata()}});
}

QString MediaPlayer2::PlaybackStatus() const {
  return playing_ ? QStringLiteral("Playing") : QStringLiteral("Stopped");
}

QVariantMap MediaPlayer2::Metadata() const {
  if (row_ < 0) {
    // MPRIS's own word for "no track".
    return {{QStringLiteral("mpris:trackid"),
             QVariant::fromValue(QDBusObjectPath("/org/mpris/MediaPlayer2/TrackList/NoTrack"))}};
  }
  // One track per row of the popup: a melody in that mode.
  return {{QStringLiteral("mpris:trackid"),
           QVariant::fromValue(QDBusObjectPath(
               QStringLiteral("/example/quillotone/Quillotone/mode/%1").arg(row_)))},
          {QStringLiteral("xesam:title"), title_},
          {QStringLiteral("xesam:artist"), QStringList{identity_}}};
}

void MediaPlayer2::Changed(const QVariantMap& properties) const {
  if (service_.isEmpty()) return;
  QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kPath), kPropertiesInterface,
                                                   QStringLiteral("PropertiesChanged"));
  signal << QString::fromLatin1(MprisPlayer::kInterface) << properties << QStringList();
  QDBusConnection::sessionBus().send(signal);
}

}  // namespace quillotone
