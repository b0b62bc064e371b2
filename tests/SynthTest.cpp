// Real FluidSynth rendered offline: what a listener would hear, frame by
// frame, with no audio device and no wall clock involved.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/Synth.h"

namespace quillotone {
namespace {

constexpr std::uint64_t kBlock = Synth::kBlockFrames;
// 983 frames short of 32 bits, so the notes below fall past the wrap; the
// blocks, counted from the start, are not those counted from zero.
constexpr std::uint64_t kNearWrap = (std::uint64_t{1} << 32) - 983;
constexpr int kC4 = 60;
constexpr int kE4 = 64;
constexpr int kOff = 0;
constexpr int kOn = 100;

// Channel 0 on an organ (General MIDI 20), which sounds as long as its key
// is down and stops soon after.
std::unique_ptr<Synth> Organ(std::uint64_t startFrame = 0) {
  SynthOptions options;
  options.soundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
  options.audioOutput = false;
  options.startFrame = startFrame;
  auto synth = std::make_unique<Synth>(options);
  synth->ProgramChange(0, 19);
  return synth;
}

std::vector<float> Render(Synth& synth, std::size_t frames) {
  std::vector<float> left(frames);
  std::vector<float> right(frames);
  synth.Render(left, right);
  return left;
}

TEST(SynthTest, ANoteStartsAtTheBlockBoundaryNearestItsFrame) {
  // 20 frames past a boundary it starts 20 early; 40 past, 24 late (the
  // organ's attack is heard a few frames on).
  const std::pair<std::uint64_t, std::uint64_t> kFrames[] = {{30 * kBlock + 20, 30 * kBlock},
                                                             {30 * kBlock + 40, 31 * kBlock}};
  for (const std::uint64_t start : {std::uint64_t{0}, kNearWrap}) {
    for (const auto& [frame, heard] : kFrames) {
      std::unique_ptr<Synth> synth = Organ(start);
      synth->NoteAt(start + frame, 0, kC4, kOn, 1);
      const std::vector<float> audio = Render(*synth, 40 * kBlock);
      const auto first =
          std::find_if(audio.begin(), audio.end(), [](float s) { return std::abs(s) > 1e-6f; });
      EXPECT_NEAR(static_cast<double>(first - audio.begin()), static_cast<double>(heard) + 6, 6)
          << "start " << start << ", frame " << frame;
      EXPECT_EQ(synth->Frames(), start + audio.size());
    }
  }
}

// Events at frames from the start (an on or off of a key, or a drop of a
// source's events), then a second of sound: is anything left sounding?
struct Event {
  std::uint64_t frame;
  int note;
  int velocity;  // kDrop: DropScheduled(source)
  std::uint32_t source = 1;
};
constexpr int kDrop = -1;
struct Case {
  const char* what;
  std::vector<Event> events;
  bool sounds;
  // Before the last event, the list is filled with these far in the future.
  int fillVelocity = kDrop;  // none
};

TEST(SynthTest, EventsApplyInTheOrderThatLeavesNothingStuck) {
  const Case kCases[] = {
      {"a note struck again on its note-off's frame",
       {{0, kC4, kOn}, {9000, kC4, kOff}, {9000, kC4, kOn}},
       true},
      {"an on and an off of one key within one block",
       {{9010, kC4, kOn}, {9040, kC4, kOff}},
       false},
      {"a note-off sent to a list full of note-ons",
       {{0, kC4, kOn}, {9000, kC4, kOff}},
       false,
       kOn},
      {"a note-off sent to a list full of note-offs",
       {{0, kC4, kOn}, {9000, kC4, kOff}},
       false,
       kOff},
      {"a note whose source is dropped", {{9000, kC4, kOn}, {0, 0, kDrop}}, false},
      {"a note of another source", {{9000, kC4, kOn, 2}, {0, 0, kDrop}}, true},
      {"a note sent after the drop", {{0, 0, kDrop}, {9000, kC4, kOn}}, true},
  };
  for (const Case& c : kCases) {
    std::unique_ptr<Synth> synth = Organ();
    for (const Event& e : c.events) {
      if (&e == &c.events.back() && c.fillVelocity != kDrop) {
        // More than the list holds, in rounds the queue can take.
        for (int round = 0; round < 3; ++round) {
          for (int i = 0; i < 4000; ++i) synth->NoteAt(1u << 30, 1, kE4, c.fillVelocity, 2);
          Render(*synth, kBlock);
        }
      }
      if (e.velocity == kDrop) {
        synth->DropScheduled(e.source);
      } else {
        synth->NoteAt(e.frame, 0, e.note, e.velocity, e.source);
      }
    }
    Render(*synth, 44100);
    EXPECT_EQ(synth->ActiveVoices() > 0, c.sounds) << c.what;
  }
}

}  // namespace
}  // namespace quillotone
