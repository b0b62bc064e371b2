// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace quillotone {

// The MIDI channel (counted from 0) of each of the melody's two note players,
// on the synth, on a MIDI output and in a MIDI file alike.
inline constexpr int kNotePlayer1Channel = 0;
inline constexpr int kNotePlayer2Channel = 1;

}  // namespace quillotone
