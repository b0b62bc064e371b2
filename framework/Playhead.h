// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace quillotone {

// Where the sound is now. Threads are paced by it, and the note players stamp
// their events against it.
class Playhead {
 public:
  virtual ~Playhead() = default;

  // Microseconds since a fixed start; never decreases.
  [[nodiscard]] virtual double Microseconds() const = 0;

  // When an event stamped `micros` on this playhead is heard, on the
  // system's monotonic clock (CLOCK_MONOTONIC), in microseconds.
  [[nodiscard]] virtual double HeardAtMonotonicMicros(double micros) const = 0;

  // Where the clock of a thread starting now begins, called as it first
  // runs: now, unless the sound is made ahead of the present, when the clock
  // may begin that much earlier so that the first note is heard at once
  // (the rhythm is the same; only the wait before it is shorter). May get
  // the sound ready for the thread's notes.
  [[nodiscard]] virtual double BeginThread() { return Microseconds(); }

  // Forgets the events that `source` scheduled ahead and that have not sounded
  // yet, so nothing a killed thread prepared is heard after it ends.
  virtual void DropScheduled(std::uint32_t source) = 0;
};

}  // namespace quillotone
