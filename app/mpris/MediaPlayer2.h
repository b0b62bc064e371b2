// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

namespace quillotone {

// Quillotone as the desktop's media keys and controls see it: an MPRIS 2
// player on the session bus (org.mpris.MediaPlayer2.quillotone, the two
// interfaces at /org/mpris/MediaPlayer2, each an adaptor of this object).
// It only passes requests on, as signals, and tells the bus what the window
// says; the window does the rest, as it does for its buttons.
class MediaPlayer2 final : public QObject {
  Q_OBJECT

 public:
  static constexpr char kService[] = "org.mpris.MediaPlayer2.quillotone";
  static constexpr char kPath[] = "/org/mpris/MediaPlayer2";

  // `desktopEntry`: the desktop entry's name, without ".desktop".
  MediaPlayer2(QString identity, QString desktopEntry, QObject* parent = nullptr);
  ~MediaPlayer2() override;
  MediaPlayer2(const MediaPlayer2&) = delete;
  MediaPlayer2& operator=(const MediaPlayer2&) = delete;

  // Takes the bus name, or, where another Quillotone has it, the same name
  // with ".instance<pid>". Where there is no session bus, does nothing and
  // says nothing. Returns the name taken, empty if none.
  QString Register();

  // What the window shows: whether a melody plays, and the popup's row.
  void SetPlaying(bool playing);
  void SetTrack(int row, const QString& title);

  [[nodiscard]] const QString& identity() const { return identity_; }
  [[nodiscard]] const QString& desktopEntry() const { return desktopEntry_; }
  [[nodiscard]] bool playing() const { return playing_; }
  [[nodiscard]] QString PlaybackStatus() const;
  [[nodiscard]] QVariantMap Metadata() const;

 signals:
  void playRequested();
  void stopRequested();
  void raiseRequested();
  void quitRequested();

 private:
  // PropertiesChanged for the player's interface.
  void Changed(const QVariantMap& properties) const;

  QString identity_;
  QString desktopEntry_;
  QString service_;
  bool playing_ = false;
  int row_ = -1;
  QString title_;
};

}  // namespace quillotone
