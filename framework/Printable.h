// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace quillotone {

// `text` (a file name, an argument) fit to quote in a one-line message: a
// terminal must show it, never act on it. C0 and DEL, and C1 as single bytes
// (an 8-bit terminal's controls) are shown as \xNN; C1 written in UTF-8, and
// the invisible characters that reorder or hide text (U+200B-U+200F,
// U+202A-U+202E, U+2066-U+2069), as \uNNNN. Other bytes pass unchanged, so
// names in any language and encoding read as they are.
[[nodiscard]] inline std::string Printable(std::string_view text) {
  const auto byte = [&](std::size_t i) {
    return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u;
  };
  const auto escaped = [](const char* format, unsigned value) {
    char out[8];
    std::snprintf(out, sizeof out, format, value);
    return std::string(out);
  };
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned b = byte(i);
    const bool continued = (byte(i + 1) & 0xC0) == 0x80;
    // C1 in UTF-8: C2 80 to C2 9F.
    if (b == 0xC2 && continued && byte(i + 1) < 0xA0) {
      out += escaped("\\u%04X", byte(i + 1));
      ++i;
      continue;
    }
    // The format characters: E2 80 8B-8F, E2 80 AA-AE, E2 81 A6-A9.
    if (b == 0xE2 && continued && (byte(i + 2) & 0xC0) == 0x80) {
      const unsigned code = 0x2000 | ((byte(i + 1) & 0x3F) << 6) | (byte(i + 2) & 0x3F);
      if ((code >= 0x200B && code <= 0x200F) || (code >= 0x202A && code <= 0x202E) ||
          (code >= 0x2066 && code <= 0x2069)) {
        out += escaped("\\u%04X", code);
        i += 2;
        continue;
      }
    }
    // A lead byte takes its continuation bytes along; a stray 0x80-0x9F is
    // no part of a UTF-8 character, and an 8-bit terminal's control.
    if (b < 0x20 || b == 0x7F || (b >= 0x80 && b < 0xA0)) {
      out += escaped("\\x%02X", b);
      continue;
    }
    out += text[i];
    if (b >= 0xC0) {
      const std::size_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
      for (std::size_t k = 1; k < length && (byte(i + 1) & 0xC0) == 0x80; ++k) out += text[++i];
    }
  }
  return out;
}

}  // namespace quillotone
