// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/render/Score.h"

#include "framework/Channels.h"
#include "melody/Melody.h"

namespace quillotone {

Score::Score(const Scheduler& scheduler, NoteSink& sink)
    : player1_(scheduler, sink, kNotePlayer1Channel),
      player2_(scheduler, sink, kNotePlayer2Channel) {}

NotePlayer* Score::FindNotePlayer(std::string_view name) {
  if (name == kMainPlayer) return &player1_;
  if (name == kHeldPlayer) return &player2_;
  return nullptr;
}

std::optional<bool> Score::FindEnabled(std::string_view name) {
  if (name == kPlayButton) return false;
  if (name == kStopButton) return true;
  return std::nullopt;
}

}  // namespace quillotone
