// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <span>
#include <string_view>

// Marks a text that the window shows in the user's language. It stands for
// the text alone: lupdate reads it as QT_TRANSLATE_NOOP (translations/), so
// the melody needs no Qt and its table stays the one place a row is written.
#define QUILLOTONE_TRANSLATABLE(context, text) text

namespace quillotone {

// One mode or scale the program offers: its row in the popup, the name of
// the thread that plays it, and the notes its melody draws from.
struct Mode {
  int index;  // row in the popup, from 0
  std::string_view popupText;
  std::string_view threadName;
  std::span<const int> pitches;  // rising from 60 (middle C) to 72, the C above
};

// The eight modes in popup order.
extern const std::array<Mode, 8> kModes;

// The mode of a popup row; nullptr for a row that has none.
const Mode* ModeAt(int index);

// A mode's name in one word: its popup text without "mode" or "scale".
std::string_view ShortName(const Mode& mode);
// The mode whose short name is `name`, in any letter case; nullptr if none.
const Mode* ModeNamed(std::string_view name);

}  // namespace quillotone
