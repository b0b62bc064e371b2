// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "framework/NotePlayer.h"

namespace quillotone {

// Raised where a look-up by name finds nothing.
class NilObjectException : public std::runtime_error {
 public:
  explicit NilObjectException(std::string_view name)
      : std::runtime_error("no object named \"" + std::string(name) + "\"") {}
};

// The members of a window, found by name at the moment of use. No reference
// is meant to be kept from one use to the next.
class ControlLookup {
 public:
  virtual ~ControlLookup() = default;
  // nullptr when the owner holds no note player of that name.
  virtual NotePlayer* FindNotePlayer(std::string_view name) = 0;
  // The Enabled state of the control of that name; nullopt when there is none.
  virtual std::optional<bool> FindEnabled(std::string_view name) = 0;
};

inline NotePlayer& NotePlayerNamed(ControlLookup& owner, std::string_view name) {
  NotePlayer* player = owner.FindNotePlayer(name);
  if (player == nullptr) throw NilObjectException(name);
  return *player;
}

inline bool IsEnabled(ControlLookup& owner, std::string_view name) {
  const std::optional<bool> enabled = owner.FindEnabled(name);
  if (!enabled) throw NilObjectException(name);
  return *enabled;
}

}  // namespace quillotone
