// SPDX-License-Identifier: GPL-3.0-or-later
// The hand-over from the thread that sends events to the audio thread; run
// under ThreadSanitizer with the other tests labelled audio.
#include <gtest/gtest.h>

#include <cstdint>
#include <thread>

#include "framework/audio/SpscQueue.h"

namespace quillotone {
namespace {

TEST(SpscQueueTest, EveryItemCrossesThreadsOnceInOrder) {
  constexpr std::uint64_t kItems = 200'000;
  // Small, so the producer often finds it full: nothing is lost or repeated.
  SpscQueue<std::uint64_t, 64> queue;
  std::thread producer([&] {
    for (std::uint64_t i = 0; i < kItems; ++i) {
      while (!queue.Push(i)) std::this_thread::yield();
    }
  });
  for (std::uint64_t expected = 0; expected < kItems;) {
    if (const std::optional<std::uint64_t> item = queue.Pop()) {
      EXPECT_EQ(*item, expected);
      expected = *item + 1;
    } else {
      std::this_thread::yield();
    }
  }
  producer.join();
  EXPECT_EQ(queue.Pop(), std::nullopt);
}

}  // namespace
}  // namespace quillotone
