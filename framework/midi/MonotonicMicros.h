// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <time.h>

namespace quillotone {

// Now on CLOCK_MONOTONIC, the clock MIDI messages are stamped on (and
// std::chrono::steady_clock's on Linux), in microseconds.
[[nodiscard]] inline double MonotonicMicros() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

}  // namespace quillotone
