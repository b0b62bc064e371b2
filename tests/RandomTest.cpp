// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "framework/Random.h"

namespace quillotone {
namespace {

std::vector<int> Draws(Random& random, int lo = 1, int hi = 1'000'000) {
  std::vector<int> values;
  for (int i = 0; i < 200; ++i) values.push_back(random.InRange(lo, hi));
  return values;
}

TEST(RandomTest, DrawsReachBothEndsOfTheRangeAndNothingBeyond) {
  Random random(1);
  const std::vector<int> draws = Draws(random, 4, 6);
  EXPECT_EQ(std::set<int>(draws.begin(), draws.end()), (std::set<int>{4, 5, 6}));
}

TEST(RandomTest, ASeedReplaysItsDrawsAndFreshGeneratorsNeverRepeatEachOther) {
  Random first(42);
  Random second(42);
  Random other(43);
  const std::vector<int> draws = Draws(first);
  EXPECT_EQ(draws, Draws(second));
  EXPECT_NE(draws, Draws(other));
  std::set<std::vector<int>> fresh;
  for (int i = 0; i < 20; ++i) {
    Random random;  // made back to back, microseconds apart
    fresh.insert(Draws(random));
  }
  EXPECT_EQ(fresh.size(), 20u);
}

}  // namespace
}  // namespace quillotone
