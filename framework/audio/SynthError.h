// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>

namespace quillotone {

// Something the user can fix: the message says what is missing and what to
// do, in the user's language.
class SynthError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace quillotone
