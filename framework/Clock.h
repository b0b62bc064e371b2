// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace quillotone {

// The system's monotonic time, behind an interface so that what depends on
// it (the playhead, the audio output's watch) runs on a clock a test moves.
class Clock {
 public:
  virtual ~Clock() = default;
  // Microseconds on CLOCK_MONOTONIC (or a test's stand-in); never decreases.
  [[nodiscard]] virtual double MonotonicMicros() const = 0;
};

}  // namespace quillotone
