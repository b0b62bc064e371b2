// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mpris/MprisRoot.h"

#include "app/mpris/MediaPlayer2.h"

namespace quillotone {

MprisRoot::MprisRoot(MediaPlayer2* player) : QDBusAbstractAdaptor(player), player_(*player) {}

QString MprisRoot::Identity() const { return player_.identity(); }

QString MprisRoot::DesktopEntry() const { return player_.desktopEntry(); }

void MprisRoot::Raise() { emit player_.raiseRequested(); }

void MprisRoot::Quit() { emit player_.quitRequested(); }

}  // namespace quillotone
