// SPDX-License-Identifier: GPL-3.0-or-later
// What of a name reaches the terminal in an error line: each category of
// character a terminal acts on or hides, at its edges, escaped; every byte
// that is no UTF-8 escaped alone; text in any script as it is.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "framework/Printable.h"

namespace quillotone {
namespace {

struct Case {
  const char* name;
  std::string text;
  std::string shown;
};

// The case's name in test listings, rather than its bytes.
void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class PrintableTest : public ::testing::TestWithParam<Case> {};

TEST_P(PrintableTest, ShowsWhatATerminalWouldActOnOrHide) {
  EXPECT_EQ(Printable("<" + GetParam().text + ">"), "<" + GetParam().shown + ">");
}

INSTANTIATE_TEST_SUITE_P(
    Categories, PrintableTest,
    ::testing::Values(
        // Cc: C0, DEL, and C1 written in UTF-8.
        Case{"Control_C0", "\x01\x1b\x0a", "\\x01\\x1B\\x0A"}, Case{"Control_Del", "\x7f", "\\x7F"},
        Case{"Control_C1", "\xc2\x80\xc2\x85\xc2\x9b\xc2\x9f", "\\u0080\\u0085\\u009B\\u009F"},
        // Cf: soft hyphen, bidirectional marks, invisible operators, tags.
        Case{"Format_SoftHyphen", "\xc2\xad", "\\u00AD"},
        Case{"Format_ZeroWidthAndBidi", "\xe2\x80\x8b\xe2\x80\x8f\xe2\x80\xae\xe2\x81\xa6",
             "\\u200B\\u200F\\u202E\\u2066"},
        Case{"Format_ByteOrderMark", "\xef\xbb\xbf", "\\uFEFF"},
        Case{"Format_Tags", "\xf3\xa0\x80\x81\xf3\xa0\x80\xa0\xf3\xa0\x81\xbf",
             "\\U000E0001\\U000E0020\\U000E007F"},
        // Zl, Zp.
        Case{"LineSeparator", "\xe2\x80\xa8", "\\u2028"},
        // Co: the private-use area and both private planes.
        Case{"PrivateUse", "\xee\x80\x80\xef\xa3\xbf\xf3\xb0\x80\x80\xf4\x8f\xbf\xbd",
             "\\uE000\\uF8FF\\U000F0000\\U0010FFFD"},
        // Cn: unassigned in every Unicode version, and noncharacters.
        Case{"Unassigned", "\xcd\xb8\xef\xbf\xbf\xf3\xa0\x80\x80\xf4\x8f\xbf\xbf",
             "\\u0378\\uFFFF\\U000E0000\\U0010FFFF"},
        // Not UTF-8: each byte alone, so no 0x9B (CSI) ever reaches a terminal.
        Case{"Invalid_Stray", "\x9b\x80", "\\x9B\\x80"},
        Case{"Invalid_Overlong", "\xc0\x9b\xe0\x80\x80\xf0\x80\x80\x80",
             "\\xC0\\x9B\\xE0\\x80\\x80\\xF0\\x80\\x80\\x80"},
        Case{"Invalid_Surrogate", "\xed\xa0\x80", "\\xED\\xA0\\x80"},
        Case{"Invalid_BeyondUnicode", "\xf4\x90\x80\x80\xf8\xff", "\\xF4\\x90\\x80\\x80\\xF8\\xFF"},
        Case{"Invalid_Cut",
             "\xe2\x80"
             "a\xf0\x9f\x98",
             "\\xE2\\x80a\\xF0\\x9F\\x98"},
        // Shown as it is.
        Case{"Visible_Scripts", "caf\xc3\xa9 \xe6\x97\xa5\xd8\xa8\xd7\x90 \xf0\x9f\x98\x80",
             "caf\xc3\xa9 \xe6\x97\xa5\xd8\xa8\xd7\x90 \xf0\x9f\x98\x80"},
        Case{"Visible_CombiningAndSpaces", "e\xcc\x81\xc2\xa0\xe3\x80\x80",
             "e\xcc\x81\xc2\xa0\xe3\x80\x80"}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillotone
