// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "melody/Melody.h"
#include "melody/Modes.h"
#include "support/ScriptedRandom.h"

namespace quillotone {
namespace {

// The church modes are the major scale begun on each of its degrees; here
// each is played from C, with the upper C as an entry of its own.
std::vector<int> ChurchModeOnC(int degree) {
  constexpr int kMajorSteps[] = {2, 2, 1, 2, 2, 2, 1};
  std::vector<int> pitches = {60};
  for (int i = 0; i < 7; ++i) pitches.push_back(pitches.back() + kMajorSteps[(degree + i) % 7]);
  return pitches;
}

TEST(ModesTest, EachRowHoldsItsScaleOnCAndIsNamedByIt) {
  struct Row {
    std::string_view name;
    std::vector<int> pitches;
  };
  const Row rows[] = {
      {"dorian", ChurchModeOnC(1)},
      {"phrygian", ChurchModeOnC(2)},
      {"lydian", ChurchModeOnC(3)},
      {"mixolydian", ChurchModeOnC(4)},
      {"aeolian", ChurchModeOnC(5)},
      {"ionian", ChurchModeOnC(0)},
      {"blues", {60, 63, 65, 66, 67, 70, 72}},
      {"pentatonic", {60, 62, 65, 67, 69, 72}},
  };
  ASSERT_EQ(std::size(rows), kModes.size());
  for (int row = 0; row < static_cast<int>(kModes.size()); ++row) {
    const Mode* mode = ModeAt(row);
    ASSERT_NE(mode, nullptr) << row;
    EXPECT_EQ(ShortName(*mode), rows[row].name);
    EXPECT_TRUE(std::ranges::equal(mode->pitches, rows[row].pitches)) << rows[row].name;
    EXPECT_EQ(mode->threadName, std::string(rows[row].name) + "1");
    std::string shouted(rows[row].name);
    std::ranges::transform(shouted, shouted.begin(), ::toupper);
    EXPECT_EQ(ModeNamed(shouted), mode) << "names are read in any letter case";
  }
  EXPECT_EQ(ModeAt(-1), nullptr);
  EXPECT_EQ(ModeAt(8), nullptr);
  EXPECT_EQ(ModeNamed("dor"), nullptr);
}

TEST(ModesTest, APitchDrawAsksForAnEntryCountedFromOne) {
  for (const Mode& mode : kModes) {
    const int n = static_cast<int>(mode.pitches.size());
    std::vector<std::pair<int, int>> ranges;
    testing::ScriptedRandom random({1, n, 0, n + 1}, &ranges);
    EXPECT_EQ(DrawPitch(random, mode.pitches, 0), 60);
    EXPECT_EQ(DrawPitch(random, mode.pitches, 0), 72);
    EXPECT_EQ(DrawPitch(random, mode.pitches, 67), 67) << "a draw outside keeps the note";
    EXPECT_EQ(DrawPitch(random, mode.pitches, 67), 67);
    EXPECT_EQ(ranges, (std::vector<std::pair<int, int>>(4, {1, n}))) << mode.popupText;
  }
}

}  // namespace
}  // namespace quillotone
