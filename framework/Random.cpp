// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/Random.h"

#include <utility>

namespace quillotone {
namespace {

std::mt19937_64 MakeEngine(std::optional<std::uint64_t> seed) {
  if (seed) {
    std::seed_seq sequence{static_cast<std::uint32_t>(*seed),
                           static_cast<std::uint32_t>(*seed >> 32)};
    return std::mt19937_64(sequence);
  }
  std::random_device entropy;
  std::seed_seq sequence{entropy(), entropy(), entropy(), entropy()};
  return std::mt19937_64(sequence);
}

}  // namespace

Random::Random(std::optional<std::uint64_t> seed) : engine_(MakeEngine(seed)) {}

std::uint64_t Random::FreshSeed() {
  std::random_device entropy;
  return (static_cast<std::uint64_t>(entropy()) << 32) | entropy();
}

int Random::InRange(int lo, int hi) {
  if (lo > hi) std::swap(lo, hi);
  return std::uniform_int_distribution<int>(lo, hi)(engine_);
}

}  // namespace quillotone
