// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QString>
#include <QVariantMap>

namespace quillotone {

class MediaPlayer2;

// MPRIS's org.mpris.MediaPlayer2.Player: the transport. Play, Pause,
// PlayPause and Stop become the window's start and stop (pause is a stop: a
// melody that is made as it plays has nothing to resume); there is no next,
// previous or seeking. Each request only asks, so the answer goes back at
// once and the window acts from its own event loop.
class MprisPlayer final : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
  Q_PROPERTY(double Rate READ Rate)
  Q_PROPERTY(QVariantMap Metadata READ Metadata)
  Q_PROPERTY(double Volume READ Volume)
  Q_PROPERTY(qlonglong Position READ Position)
  Q_PROPERTY(double MinimumRate READ Rate)
  Q_PROPERTY(double MaximumRate READ Rate)
  Q_PROPERTY(bool CanGoNext READ No)
  Q_PROPERTY(bool CanGoPrevious READ No)
  Q_PROPERTY(bool CanPlay READ Yes)
  Q_PROPERTY(bool CanPause READ Yes)
  Q_PROPERTY(bool CanSeek READ No)
  Q_PROPERTY(bool CanControl READ Yes)

 public:
  static constexpr char kInterface[] = "org.mpris.MediaPlayer2.Player";

  explicit MprisPlayer(MediaPlayer2* player);

  [[nodiscard]] QString PlaybackStatus() const;
  [[nodiscard]] double Rate() const { return 1.0; }
  [[nodiscard]] QVariantMap Metadata() const;
  [[nodiscard]] double Volume() const { return 1.0; }
  // A melody without end has no place in a track to tell.
  [[nodiscard]] qlonglong Position() const { return 0; }
  [[nodiscard]] bool Yes() const { return true; }
  [[nodiscard]] bool No() const { return false; }

 public slots:
  void Play();
  void Pause();
  void PlayPause();
  void Stop();
  // Asked of every player; they do nothing here, as CanGoNext, CanGoPrevious
  // and CanSeek say.
  void Next() {}
  void Previous() {}
  void Seek(qlonglong /*offset*/) {}
  void SetPosition(const QDBusObjectPath& /*track*/, qlonglong /*position*/) {}
  void OpenUri(const QString& /*uri*/) {}

 signals:
  void Seeked(qlonglong position);

 private:
  MediaPlayer2& player_;
};

}  // namespace quillotone
