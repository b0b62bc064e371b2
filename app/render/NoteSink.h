// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace quillotone {

// Where a render's notes go: a synthesizer rendering audio, or a MIDI file.
class NoteSink {
 public:
  virtual ~NoteSink() = default;
  virtual void Note(double micros, int channel, int note, int velocity) = 0;
  // Every note ends at `micros`; the release follows.
  virtual void End(double micros) = 0;
  // Completes the file.
  virtual void Finish() = 0;
};

// The instrument both voices play: Acoustic Grand Piano, counted from 0.
inline constexpr int kRenderProgram = 0;

}  // namespace quillotone
