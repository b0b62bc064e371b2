// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/audio/SoundFontChoice.h"

#include <QCoreApplication>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "framework/audio/SynthError.h"

namespace quillotone {
namespace {

// Debian's alternatives link first (it follows what the user chose), then the
// packages that install a General MIDI SoundFont, best sounding first.
constexpr std::array<std::string_view, 7> kSoundFontPaths = {
    "/usr/share/sounds/sf2/default-GM.sf2",         // alternatives
    "/usr/share/sounds/sf3/default-GM.sf3",         // alternatives
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",         // fluid-soundfont-gm
    "/usr/share/sounds/sf3/MuseScore_General.sf3",  // MuseScore's General MIDI
    "/usr/share/sounds/sf2/MuseScore_General.sf2",  // the same, uncompressed
    "/usr/share/sounds/sf3/FluidR3Mono_GM.sf3",     // fluidr3mono-gm-soundfont
    "/usr/share/sounds/sf2/TimGM6mb.sf2",           // timgm6mb-soundfont
};

// Told in the user's language.
constexpr const char* kNoSoundFont = QT_TRANSLATE_NOOP(
    "Synth",
    "No General MIDI SoundFont found. Install one with: sudo apt-get install fluid-soundfont-gm "
    "(or name a .sf2 file with --soundfont or QUILLOTONE_SOUNDFONT).");
static_assert(std::string_view(kNoSoundFont).find(kSoundFontVariable) != std::string_view::npos,
              "names the variable read");

}  // namespace

SoundFontChoice ChooseSoundFont(const std::string& named) {
  if (!named.empty()) return {.path = named, .namedBy = "--soundfont"};
  const char* variable = std::getenv(kSoundFontVariable);
  if (variable != nullptr && *variable != '\0') {
    return {.path = variable, .namedBy = kSoundFontVariable};
  }
  if (std::optional<std::string> found = DefaultSoundFont()) return {.path = *found, .namedBy = {}};
  throw SynthError(QCoreApplication::translate("Synth", kNoSoundFont).toStdString());
}

std::optional<std::string> DefaultSoundFont() {
  for (std::string_view path : kSoundFontPaths) {
    std::error_code error;
    // Follows links, so a dangling alternatives link is passed over.
    if (std::filesystem::is_regular_file(path, error)) return std::string(path);
  }
  return std::nullopt;
}

}  // namespace quillotone
