// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mpris/MprisPlayer.h"

#include "app/mpris/MediaPlayer2.h"

namespace quillotone {

MprisPlayer::MprisPlayer(MediaPlayer2* player) : QDBusAbstractAdaptor(player), player_(*player) {}

QString MprisPlayer::PlaybackStatus() const { return player_.PlaybackStatus(); }

QVariantMap MprisPlayer::Metadata() const { return player_.Metadata(); }

void MprisPlayer::Play() { emit player_.playRequested(); }

void MprisPlayer::Pause() { emit player_.stopRequested(); }

void MprisPlayer::PlayPause() {
  if (player_.playing()) {
    emit player_.stopRequested();
  } else {
    emit player_.playRequested();
  }
}

void MprisPlayer::Stop() { emit player_.stopRequested(); }

}  // namespace quillotone
