// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/Printable.h"

#include <QChar>
#include <algorithm>
#include <cstdio>
#include <iterator>
#include <optional>

namespace quillotone {
namespace {

// What a terminal may act on, or draw as nothing: escaped wherever it stands.
constexpr QChar::Category kEscapedCategories[] = {
    QChar::Other_Control,       QChar::Other_Format,     QChar::Separator_Line,
    QChar::Separator_Paragraph, QChar::Other_PrivateUse, QChar::Other_NotAssigned,
    QChar::Other_Surrogate,
};

// A whole character decoded from the bytes at the front of `text`.
struct Decoded {
  char32_t code;
  std::size_t length;
};

// Strict UTF-8: the shortest form only, no surrogates, nothing past
// U+10FFFF. An overlong C0 9B would otherwise reach an 8-bit terminal as
// 0x9B, its CSI.
std::optional<Decoded> DecodeUtf8(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned lead = byte(0);
  std::size_t length = 0;
  char32_t code = 0;
  char32_t smallest = 0;
  if (lead < 0x80) return Decoded{lead, 1};
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1F, smallest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0F, smallest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07, smallest = 0x10000;
  } else {
    return std::nullopt;
  }
  if (text.size() < length) return std::nullopt;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return std::nullopt;
    code = (code << 6) | (byte(i) & 0x3F);
  }
  if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    return std::nullopt;
  }
  return Decoded{code, length};
}

bool Escaped(char32_t code) {
  return std::ranges::find(kEscapedCategories, QChar::category(code)) !=
         std::ranges::end(kEscapedCategories);
}

std::string Hex(const char* format, unsigned value) {
  char out[12];
  std::snprintf(out, sizeof out, format, value);
  return out;
}

}  // namespace

std::string Printable(std::string_view text) {
  std::string out;
  while (!text.empty()) {
    const std::optional<Decoded> character = DecodeUtf8(text);
    if (!character) {
      out += Hex("\\x%02X", static_cast<unsigned char>(text.front()));
      text.remove_prefix(1);
      continue;
    }
    if (!Escaped(character->code)) {
      out += text.substr(0, character->length);
    } else {
      // ASCII's controls as the bytes they are, like a byte that is no UTF-8.
      const char* format = character->code < 0x80     ? "\\x%02X"
                           : character->code > 0xFFFF ? "\\U%08X"
                                                      : "\\u%04X";
      out += Hex(format, character->code);
    }
    text.remove_prefix(character->length);
  }
  return out;
}

}  // namespace quillotone
