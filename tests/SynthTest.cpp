// SPDX-License-Identifier: GPL-3.0-or-later
// Real FluidSynth rendered offline: what a listener would hear, frame by
// frame, with no audio device and no wall clock involved.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <tuple>
#include <vector>

#include "framework/audio/Synth.h"

namespace quillotone {
namespace {

constexpr std::uint64_t kBlock = Synth::kBlockFrames;
constexpr int kC4 = 60;
constexpr int kOff = 0;
constexpr int kOn = 100;

// Channel 0 on an organ (General MIDI 20): it sounds while its key is down,
// and stops soon after.
std::unique_ptr<Synth> Organ(std::uint64_t startFrame = 0) {
  SynthOptions options;
  options.soundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
  options.startFrame = startFrame;
  auto synth = std::make_unique<Synth>(options);
  synth->ProgramChange(0, 19);
  return synth;
}

std::vector<float> Render(Synth& synth, std::size_t frames) {
  std::vector<float> left(frames), right(frames);
  synth.Render(left, right);
  return left;
}

TEST(SynthTest, ANoteStartsAtTheBlockBoundaryNearestItsFrameAlsoPast32Bits) {
  // 20 frames past a boundary it starts 20 early, 40 past 24 late, and the
  // organ is heard a few frames on. Blocks count from where the clock
  // starts: 983 frames short of 32 bits, the notes fall past the wrap.
  for (const std::uint64_t start : {std::uint64_t{0}, (std::uint64_t{1} << 32) - 983}) {
    for (const std::uint64_t past : {20, 40}) {
      std::unique_ptr<Synth> synth = Organ(start);
      synth->NoteAt(start + 30 * kBlock + past, 0, kC4, kOn, 1);
      const std::vector<float> audio = Render(*synth, 40 * kBlock);
      const auto heard = std::ranges::find_if(audio, [](float s) { return std::abs(s) > 1e-6f; });
      const double boundary = (past < kBlock / 2 ? 30 : 31) * kBlock;
      EXPECT_NEAR(static_cast<double>(heard - audio.begin()), boundary + 6, 6)
          << start << " + " << past;
      EXPECT_EQ(synth->Frames(), start + audio.size());
    }
  }
}

// A row: events in the order sent, each an on (kOn) or off (kOff) of one key
// at a frame, or one of these; then a second of sound. Is anything left
// sounding?
constexpr int kDrop = -1;      // drops the source's events
constexpr int kFillOns = -2;   // fills the list with note-ons far ahead
constexpr int kFillOffs = -3;  // and with note-offs
struct Event {
  std::uint64_t frame;
  int velocity;
  std::uint32_t source = 1;
};

TEST(SynthTest, EventsApplyInTheOrderThatLeavesNothingStuck) {
  const std::tuple<const char*, std::vector<Event>, bool> kCases[] = {
      {"struck again on its off's frame", {{0, kOn}, {9000, kOff}, {9000, kOn}}, true},
      {"an on and an off in one block", {{9010, kOn}, {9040, kOff}}, false},
      {"an off sent to a list full of ons", {{0, kOn}, {0, kFillOns}, {9000, kOff}}, false},
      {"an off sent to a list full of offs", {{0, kOn}, {0, kFillOffs}, {9000, kOff}}, false},
      {"a note of a dropped source", {{9000, kOn}, {0, kDrop}}, false},
      {"a note of another source", {{9000, kOn, 2}, {0, kDrop}}, true},
      {"a note sent after the drop", {{0, kDrop}, {9000, kOn}}, true},
  };
  for (const auto& [what, events, sounds] : kCases) {
    std::unique_ptr<Synth> synth = Organ();
    for (const Event& e : events) {
      if (e.velocity >= 0) synth->NoteAt(e.frame, 0, kC4, e.velocity, e.source);
      if (e.velocity == kDrop) synth->DropScheduled(e.source);
      // More than the list holds, in rounds the queue can take.
      for (int round = 0; e.velocity < kDrop && round < 3; ++round) {
        for (int i = 0; i < 4000; ++i)
          synth->NoteAt(1u << 30, 1, kC4, e.velocity == kFillOns ? kOn : kOff, 2);
        Render(*synth, kBlock);
      }
    }
    Render(*synth, 44100);
    EXPECT_EQ(synth->ActiveVoices() > 0, sounds) << what;
  }
}

}  // namespace
}  // namespace quillotone
