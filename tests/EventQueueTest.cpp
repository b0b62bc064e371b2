// SPDX-License-Identifier: GPL-3.0-or-later
// The frame-timed event queue with a stand-in for the synth: which events
// apply at which frame, and what is left sounding.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "framework/audio/EventQueue.h"

namespace quillotone {
namespace {

constexpr std::uint64_t kBlock = 64;
constexpr std::uint8_t kKey = 60;

// Keys down, and the frame each event applied at.
class Keys final : public EventQueue::Target {
 public:
  void Apply(const FrameEvent& e) override {
    applied.emplace_back(frame, e.kind);
    if (e.kind == FrameEvent::Kind::kNoteOn) down.insert({e.channel, e.note});
    if (e.kind == FrameEvent::Kind::kNoteOff) down.erase({e.channel, e.note});
  }
  void RenderFrames(int /*offset*/, int frames) override {
    frame += static_cast<std::uint64_t>(frames);
  }

  std::uint64_t frame = 0;
  std::vector<std::pair<std::uint64_t, FrameEvent::Kind>> applied;
  std::set<std::pair<int, int>> down;
};

FrameEvent Note(std::uint64_t frame, bool on, std::uint32_t source = 1, std::uint8_t channel = 0) {
  return {.frame = frame,
          .source = source,
          .kind = on ? FrameEvent::Kind::kNoteOn : FrameEvent::Kind::kNoteOff,
          .channel = channel,
          .note = kKey,
          .velocity = static_cast<std::uint8_t>(on ? 100 : 0)};
}

TEST(EventQueueTest, AnEventAppliesAtTheBlockBoundaryNearestItsFrameAlsoPast32Bits) {
  // Blocks count from where the clock starts: 983 frames short of 32 bits,
  // the notes fall past the wrap.
  for (const std::uint64_t start : {std::uint64_t{0}, (std::uint64_t{1} << 32) - 983}) {
    for (const auto& [past, boundary] : {std::pair{20u, 30u}, std::pair{40u, 31u}}) {
      EventQueue queue(start, kBlock);
      Keys keys;
      keys.frame = start;
      ASSERT_TRUE(queue.Send(Note(start + 30 * kBlock + past, true)));
      queue.Process(40 * kBlock, keys);
      ASSERT_EQ(keys.applied.size(), 1u);
      EXPECT_EQ(keys.applied[0].first, start + boundary * kBlock) << start << " + " << past;
      EXPECT_EQ(queue.renderedTo(), start + 40 * kBlock);
    }
  }
}

// A row: events in the order sent, each an on (kOn) or off (kOff) of one key
// at a frame, or one of these; then a second of rendering. Is it down?
constexpr int kOn = 1, kOff = 0;
constexpr int kDrop = -1;      // drops the source's events
constexpr int kFillOns = -2;   // fills the list with note-ons far ahead
constexpr int kFillOffs = -3;  // and with note-offs
struct Sent {
  std::uint64_t frame;
  int what;
  std::uint32_t source = 1;
};

TEST(EventQueueTest, EventsApplyInTheOrderThatLeavesNothingStuck) {
  // clang-format off
  const std::tuple<const char*, std::vector<Sent>, bool> kCases[] = {
      {"struck again on its off's frame", {{0, kOn}, {9000, kOff}, {9000, kOn}}, true},
      {"an on and an off in one block", {{9010, kOn}, {9040, kOff}}, false},
      {"an off sent to a list full of ons", {{0, kOn}, {0, kFillOns}, {9000, kOff}}, false},
      {"an off sent to a list full of offs", {{0, kOn}, {0, kFillOffs}, {9000, kOff}}, false},
      {"a note of a dropped source", {{9000, kOn}, {0, kDrop}}, false},
      {"a note of another source", {{9000, kOn, 2}, {0, kDrop}}, true},
      {"a note sent after the drop", {{0, kDrop}, {9000, kOn}}, true},
  };
  // clang-format on
  for (const auto& [what, events, sounds] : kCases) {
    EventQueue queue(0, kBlock);
    Keys keys;
    for (const Sent& e : events) {
      const FrameEvent drop{.source = e.source, .kind = FrameEvent::Kind::kDrop};
      const bool sent =
          e.what < kDrop || queue.Send(e.what == kDrop ? drop : Note(e.frame, e.what, e.source));
      ASSERT_TRUE(sent);
      // More than the list holds, far ahead on another channel, in rounds
      // the queue can take.
      for (int round = 0; e.what < kDrop && round < 3; ++round) {
        for (int i = 0; i < 4000; ++i)
          ASSERT_TRUE(queue.Send(Note(1u << 30, e.what == kFillOns, 2, 1)));
        queue.Process(static_cast<int>(kBlock), keys);
      }
    }
    queue.Process(44100, keys);
    EXPECT_EQ(keys.down.contains({0, kKey}), sounds) << what;
  }
}

}  // namespace
}  // namespace quillotone
