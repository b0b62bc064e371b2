// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace quillotone {

// One voice of the program's sound: sounds note numbers at velocities on its
// instrument. Several notes can sound at once.
class NotePlayer {
 public:
  virtual ~NotePlayer() = default;

  // Starts `note` at `velocity`; velocity 0 ends that note on this player only.
  // Values arrive as computed, unclamped: an implementation must survive any.
  virtual void PlayNote(int note, int velocity) = 0;

  // General MIDI program number, counted from 1 (1 is Acoustic Grand Piano).
  [[nodiscard]] virtual int Instrument() const = 0;
  virtual void SetInstrument(int instrument) = 0;
};

}  // namespace quillotone
