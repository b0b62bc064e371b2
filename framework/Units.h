// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace quillotone {

// Durations are microseconds throughout, as the clocks give them.
inline constexpr double kMicrosPerSecond = 1'000'000.0;

}  // namespace quillotone
