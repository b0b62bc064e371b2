// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "framework/Playhead.h"
#include "framework/threads/Scheduler.h"

namespace quillotone::testing {

// A playhead that moves only when the test says so.
class VirtualClock final : public Playhead {
 public:
  [[nodiscard]] double Microseconds() const override { return now_; }
  [[nodiscard]] double HeardAtMonotonicMicros(double micros) const override { return micros; }
  void DropScheduled(std::uint32_t source) override { dropped.push_back(source); }
  void Set(double micros) { now_ = micros; }

  std::vector<std::uint32_t> dropped;

 private:
  double now_ = 0.0;
};

// Drives a scheduler on a virtual clock: runs every ready turn, then jumps the
// clock to the next deadline, as an idle event loop would, until `until`.
inline void RunUntil(Scheduler& scheduler, VirtualClock& clock, double until) {
  for (;;) {
    while (scheduler.RunReady()) {
    }
    const auto deadline = scheduler.NextDeadline();
    if (!deadline || *deadline > until) break;
    clock.Set(*deadline);
    scheduler.RunDue();
  }
  if (clock.Microseconds() < until) clock.Set(until);
}

}  // namespace quillotone::testing
