// SPDX-License-Identifier: GPL-3.0-or-later
// Real FluidSynth rendered offline: what a listener would hear, frame by
// frame, with no audio device and no wall clock involved.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "framework/audio/Synth.h"

namespace quillotone {
namespace {

constexpr std::uint64_t kBlock = Synth::kBlockFrames;
constexpr int kC4 = 60;
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

}  // namespace
}  // namespace quillotone
