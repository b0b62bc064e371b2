// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace quillotone::bench {

enum class Tone {
  // A flat 5 ms pulse: between notes the output is exactly zero, so the
  // first non-zero sample after a silence is a note's onset, to the sample.
  kClick,
  // The same level held for as long as the key is down, then silent within
  // 1 ms: a voice lasts exactly until its note-off.
  kHeld,
};

// Writes a General MIDI SoundFont whose every program, on every key and at
// every velocity, sounds `tone` with the fastest attack and release, no
// reverb and no chorus. False if the file could not be written.
bool WriteClickSoundFont(const std::string& path, Tone tone = Tone::kClick);

}  // namespace quillotone::bench
