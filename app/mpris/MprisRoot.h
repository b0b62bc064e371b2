// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusAbstractAdaptor>
#include <QStringList>

namespace quillotone {

class MediaPlayer2;

// MPRIS's org.mpris.MediaPlayer2: who the player is, Raise and Quit.
class MprisRoot final : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
  Q_PROPERTY(bool CanQuit READ CanQuit)
  Q_PROPERTY(bool CanRaise READ CanRaise)
  Q_PROPERTY(bool HasTrackList READ HasTrackList)
  Q_PROPERTY(QString Identity READ Identity)
  Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
  Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
  Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)

 public:
  explicit MprisRoot(MediaPlayer2* player);

  [[nodiscard]] bool CanQuit() const { return true; }
  [[nodiscard]] bool CanRaise() const { return true; }
  [[nodiscard]] bool HasTrackList() const { return false; }
  [[nodiscard]] QString Identity() const;
  [[nodiscard]] QString DesktopEntry() const;
  // It opens nothing: the melody is made, not read.
  [[nodiscard]] QStringList SupportedUriSchemes() const { return {}; }
  [[nodiscard]] QStringList SupportedMimeTypes() const { return {}; }

 public slots:
  void Raise();
  void Quit();

 private:
  MediaPlayer2& player_;
};

}  // namespace quillotone
