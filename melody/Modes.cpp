// SPDX-License-Identifier: GPL-3.0-or-later
#include "melody/Modes.h"

#include <algorithm>
#include <cctype>

namespace quillotone {
namespace {

// All on the tonic C, with the upper C as an entry of its own.
constexpr int kDorian[] = {60, 62, 63, 65, 67, 69, 70, 72};
constexpr int kPhrygian[] = {60, 61, 63, 65, 67, 68, 70, 72};
constexpr int kLydian[] = {60, 62, 64, 66, 67, 69, 71, 72};
constexpr int kMixolydian[] = {60, 62, 64, 65, 67, 69, 70, 72};
constexpr int kAeolian[] = {60, 62, 63, 65, 67, 68, 70, 72};
constexpr int kIonian[] = {60, 62, 64, 65, 67, 69, 71, 72};
constexpr int kBlues[] = {60, 63, 65, 66, 67, 70, 72};
// C D F G A C: F rather than E, so not the major pentatonic.
constexpr int kPentatonic[] = {60, 62, 65, 67, 69, 72};

}  // namespace

const std::array<Mode, 8> kModes = {{
    {0, QUILLOTONE_TRANSLATABLE("Modes", "dorian mode"), "dorian1", kDorian},
    {1, QUILLOTONE_TRANSLATABLE("Modes", "phrygian mode"), "phrygian1", kPhrygian},
    {2, QUILLOTONE_TRANSLATABLE("Modes", "lydian mode"), "lydian1", kLydian},
    {3, QUILLOTONE_TRANSLATABLE("Modes", "mixolydian mode"), "mixolydian1", kMixolydian},
    {4, QUILLOTONE_TRANSLATABLE("Modes", "aeolian mode"), "aeolian1", kAeolian},
    {5, QUILLOTONE_TRANSLATABLE("Modes", "ionian mode"), "ionian1", kIonian},
    {6, QUILLOTONE_TRANSLATABLE("Modes", "blues scale"), "blues1", kBlues},
    {7, QUILLOTONE_TRANSLATABLE("Modes", "pentatonic scale"), "pentatonic1", kPentatonic},
}};

const Mode* ModeAt(int index) {
  for (const Mode& mode : kModes) {
    if (mode.index == index) return &mode;
  }
  return nullptr;
}

std::string_view ShortName(const Mode& mode) {
  return mode.popupText.substr(0, mode.popupText.find(' '));
}

const Mode* ModeNamed(std::string_view name) {
  const auto sameLetters = [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
  };
  for (const Mode& mode : kModes) {
    if (std::ranges::equal(ShortName(mode), name, sameLetters)) return &mode;
  }
  return nullptr;
}

}  // namespace quillotone
