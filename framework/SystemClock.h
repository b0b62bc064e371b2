// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <time.h>

#include "framework/Clock.h"
#include "framework/Units.h"

namespace quillotone {

// CLOCK_MONOTONIC itself: the clock other programs (a MIDI output's
// receiver, say) share with this one.
class SystemClock final : public Clock {
 public:
  [[nodiscard]] double MonotonicMicros() const override {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * kMicrosPerSecond +
           static_cast<double>(now.tv_nsec) / 1000.0;
  }
};

// The system clock for what may outlive whoever made it (a stream left to a
// thread stuck in a library call as the program ends): never destroyed.
inline const Clock& LastingSystemClock() {
  static const Clock* const clock = new SystemClock();
  return *clock;
}

}  // namespace quillotone
