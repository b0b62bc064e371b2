#include <gtest/gtest.h>

#include <map>
#include <set>

#include "melody/Melody.h"
#include "melody/Modes.h"
#include "support/FakeWindow.h"
#include "support/ScriptedRandom.h"
#include "support/VirtualClock.h"

namespace quillotone {
namespace {

using testing::FakeWindow;
using testing::RangeSpy;
using testing::RunUntil;
using testing::VirtualClock;

std::vector<int> Pitches(int row) {
  const Mode* mode = ModeAt(row);
  return {mode->pitches.begin(), mode->pitches.end()};
}

TEST(ModesTest, TheEightModesInPopupOrder) {
  const std::vector<std::string_view> texts = {"dorian mode",     "phrygian mode",   "lydian mode",
                                               "mixolydian mode", "aeolian mode",    "ionian mode",
                                               "blues scale",     "pentatonic scale"};
  const std::vector<std::string_view> threads = {"dorian1",  "phrygian1", "lydian1", "mixolydian1",
                                                 "aeolian1", "ionian1",   "blues1",  "pentatonic1"};
  ASSERT_EQ(kModes.size(), texts.size());
  for (int row = 0; row < 8; ++row) {
    EXPECT_EQ(kModes[row].index, row);
    EXPECT_EQ(kModes[row].popupText, texts[row]);
    EXPECT_EQ(kModes[row].threadName, threads[row]);
    EXPECT_EQ(ModeAt(row), &kModes[row]);
  }
  EXPECT_EQ(ModeAt(-1), nullptr);
  EXPECT_EQ(ModeAt(8), nullptr);
}

TEST(ModesTest, TablesAreTheModesOnC) {
  EXPECT_EQ(Pitches(0), (std::vector<int>{60, 62, 63, 65, 67, 69, 70, 72}));
  EXPECT_EQ(Pitches(1), (std::vector<int>{60, 61, 63, 65, 67, 68, 70, 72}));
  EXPECT_EQ(Pitches(2), (std::vector<int>{60, 62, 64, 66, 67, 69, 71, 72}));
  EXPECT_EQ(Pitches(3), (std::vector<int>{60, 62, 64, 65, 67, 69, 70, 72}));
  EXPECT_EQ(Pitches(4), (std::vector<int>{60, 62, 63, 65, 67, 68, 70, 72}));
  EXPECT_EQ(Pitches(5), (std::vector<int>{60, 62, 64, 65, 67, 69, 71, 72}));
  EXPECT_EQ(Pitches(6), (std::vector<int>{60, 63, 65, 66, 67, 70, 72}));
  EXPECT_EQ(Pitches(7), (std::vector<int>{60, 62, 65, 67, 69, 72}));
}

TEST(ModesTest, EveryEntryIsDrawnWithEqualChance) {
  Random random(99);
  constexpr int kDraws = 80'000;
  for (const Mode& mode : kModes) {
    std::map<int, int> counts;
    for (int i = 0; i < kDraws; ++i) ++counts[DrawPitch(random, mode.pitches, 0)];
    ASSERT_EQ(counts.size(), mode.pitches.size()) << mode.popupText;
    const double expected = 1.0 / static_cast<double>(mode.pitches.size());
    for (const auto& [note, count] : counts) {
      EXPECT_NEAR(static_cast<double>(count) / kDraws, expected, 0.01)
          << mode.popupText << " " << note;
    }
  }
}

TEST(ModesTest, ADrawOutsideTheTableKeepsTheNote) {
  testing::ScriptedRandom random({0, 9, 3});
  const std::span<const int> dorian = kModes[0].pitches;
  EXPECT_EQ(DrawPitch(random, dorian, 0), 0);
  EXPECT_EQ(DrawPitch(random, dorian, 67), 67);
  EXPECT_EQ(DrawPitch(random, dorian, 67), 63);
}

// Plays an hour of a mode and collects what its melody drew and played.
struct HourOfMode {
  explicit HourOfMode(const Mode& mode) {
    VirtualClock clock;
    Scheduler scheduler(clock);
    FakeWindow window(scheduler);
    ThreadContext thread(scheduler, std::string(mode.threadName));
    Random random(static_cast<std::uint64_t>(mode.index) + 1);
    scheduler.Start(thread,
                    PlayMelody(window, std::make_unique<RangeSpy>(random, ranges), mode.pitches));
    RunUntil(scheduler, clock, 3600e6);
    for (const auto& e : window.notes) {
      if (e.player == "NotePlayer1" && e.velocity >= 40 && e.note >= 60) mainNotes.insert(e.note);
      if (e.velocity > 0) allNotes.insert(e.note);
    }
  }
  std::vector<std::pair<int, int>> ranges;
  std::set<int> mainNotes;
  std::set<int> allNotes;
};

TEST(ModesTest, EachThreadDrawsOnlyFromItsOwnTable) {
  for (const Mode& mode : kModes) {
    const HourOfMode hour(mode);
    const int n = static_cast<int>(mode.pitches.size());
    for (const auto& [lo, hi] : hour.ranges) {
      const bool known = (lo == 1 && hi == n) || (lo == 4 && hi == 10) || (lo == 1 && hi == 2);
      ASSERT_TRUE(known) << mode.popupText << " drew from " << lo << ".." << hi;
    }
    EXPECT_EQ(hour.mainNotes, std::set<int>(mode.pitches.begin(), mode.pitches.end()))
        << mode.popupText;
    EXPECT_FALSE(hour.allNotes.contains(0)) << "the starting note 0 is never played";
  }
  EXPECT_FALSE(HourOfMode(kModes[7]).mainNotes.contains(64)) << "pentatonic has F, not E";
  EXPECT_FALSE(HourOfMode(kModes[2]).mainNotes.contains(65)) << "lydian has F#, not F";
  EXPECT_FALSE(HourOfMode(kModes[1]).mainNotes.contains(62)) << "phrygian has Db, not D";
}

}  // namespace
}  // namespace quillotone
