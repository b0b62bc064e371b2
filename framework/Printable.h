// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace quillotone {

// `text` (a file name, an argument) fit to quote in a one-line message: a
// terminal must show it, never act on it, and nothing in it may hide from
// the reader. Read as UTF-8, every character a terminal may act on or not
// show is escaped by its Unicode general category: controls (Cc), format
// characters (Cf: bidirectional marks, zero-width ones, tags), line and
// paragraph separators (Zl, Zp), private-use and unassigned code points.
// They show as \uNNNN (\UNNNNNNNN beyond the first plane, \xNN in ASCII). A
// byte that is no part of valid UTF-8 (a stray continuation, an overlong
// form, a surrogate, a cut sequence) shows as \xNN. All else passes
// unchanged, so names in any script read as they are.
[[nodiscard]] std::string Printable(std::string_view text);

}  // namespace quillotone
