// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

namespace quillotone {

// The environment variable that names a SoundFont instead of the system's.
inline constexpr char kSoundFontVariable[] = "QUILLOTONE_SOUNDFONT";

// Which SoundFont plays, for the window and for renders alike.
struct SoundFontChoice {
  std::string path;
  // Who named it: "--soundfont", kSoundFontVariable, or empty for the
  // system's default.
  std::string namedBy;
};

// The one named on the command line (`named`, if not empty), else the
// variable's (if set and not empty; a path is bytes, taken as the system
// gives it), else the system's default General MIDI SoundFont. Throws
// SynthError, saying what to install, when there is none.
[[nodiscard]] SoundFontChoice ChooseSoundFont(const std::string& named);

// Debian's default-GM link, then the known package paths; nullopt if none.
[[nodiscard]] std::optional<std::string> DefaultSoundFont();

}  // namespace quillotone
