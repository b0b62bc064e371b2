#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "framework/Random.h"

namespace quillotone {
namespace {

TEST(RandomTest, DrawsCoverTheInclusiveRangeUniformly) {
  Random random(1);
  std::map<int, int> counts;
  constexpr int kDraws = 70'000;
  for (int i = 0; i < kDraws; ++i) ++counts[random.InRange(4, 10)];
  ASSERT_EQ(counts.size(), 7u);
  EXPECT_EQ(counts.begin()->first, 4);
  EXPECT_EQ(counts.rbegin()->first, 10);
  for (const auto& [value, count] : counts)
    EXPECT_NEAR(count, kDraws / 7.0, kDraws * 0.01) << value;
  EXPECT_EQ(random.InRange(5, 5), 5);
}

std::vector<int> Draws(Random& random) {
  std::vector<int> values;
  for (int i = 0; i < 64; ++i) values.push_back(random.InRange(1, 1'000'000));
  return values;
}

TEST(RandomTest, GeneratorsMadeBackToBackNeverRepeatEachOther) {
  std::vector<std::vector<int>> runs;
  for (int i = 0; i < 20; ++i) {
    Random random;
    runs.push_back(Draws(random));
  }
  for (std::size_t a = 0; a < runs.size(); ++a) {
    for (std::size_t b = a + 1; b < runs.size(); ++b) EXPECT_NE(runs[a], runs[b]);
  }
}

TEST(RandomTest, ASeedReplaysTheSameDraws) {
  Random first(42);
  Random second(42);
  Random other(43);
  const std::vector<int> draws = Draws(first);
  EXPECT_EQ(draws, Draws(second));
  EXPECT_NE(draws, Draws(other));
}

}  // namespace
}  // namespace quillotone
