// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <random>

namespace quillotone {

// The source of a melody's draws.
class RandomSource {
 public:
  virtual ~RandomSource() = default;
  // An integer from lo to hi inclusive, every value equally likely.
  virtual int InRange(int lo, int hi) = 0;
};

// Seeded from the operating system's entropy unless given a seed, so two
// generators made microseconds apart never repeat each other, while a fixed
// seed replays a whole melody.
class Random final : public RandomSource {
 public:
  explicit Random(std::optional<std::uint64_t> seed = std::nullopt);
  // A seed drawn from the operating system's entropy, for a melody that
  // should be new but can be replayed.
  [[nodiscard]] static std::uint64_t FreshSeed();
  int InRange(int lo, int hi) override;

 private:
  std::mt19937_64 engine_;
};

}  // namespace quillotone
