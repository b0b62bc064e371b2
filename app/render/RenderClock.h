// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "framework/Playhead.h"

namespace quillotone {

// Time that moves only when the render moves it.
class RenderClock final : public Playhead {
 public:
  [[nodiscard]] double Microseconds() const override { return now; }
  // Nothing is heard live: a render's time is its own.
  [[nodiscard]] double HeardAtMonotonicMicros(double micros) const override { return micros; }
  void DropScheduled(std::uint32_t /*source*/) override {}
  double now = 0.0;
};

}  // namespace quillotone
