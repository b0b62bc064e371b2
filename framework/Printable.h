// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace quillotone {

// `text` (a file name, an argument) fit to quote in a one-line message:
// control characters, a line break above all, are shown as \xNN. Other
// bytes pass unchanged, so names in any language read as they are.
[[nodiscard]] inline std::string Printable(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace quillotone
