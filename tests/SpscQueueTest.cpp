// The hand-over from the thread that sends events to the audio thread.
#include <gtest/gtest.h>

#include <cstdint>
#include <thread>

#include "framework/SpscQueue.h"

namespace quillotone {
namespace {

TEST(SpscQueueTest, RefusesWhenFullAndKeepsOrder) {
  SpscQueue<int, 4> queue;
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(queue.Push(i));
  EXPECT_FALSE(queue.Push(4));
  EXPECT_EQ(queue.Pop(), 0);
  EXPECT_TRUE(queue.Push(4));
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(queue.Pop(), i);
  EXPECT_EQ(queue.Pop(), std::nullopt);
}

TEST(SpscQueueTest, EveryItemCrossesThreadsOnceInOrder) {
  constexpr std::uint64_t kItems = 1'000'000;
  SpscQueue<std::uint64_t, 64> queue;  // small, so both sides often wait
  std::thread producer([&] {
    for (std::uint64_t i = 0; i < kItems; ++i) {
      while (!queue.Push(i)) std::this_thread::yield();
    }
  });
  std::uint64_t expected = 0;
  std::uint64_t outOfOrder = 0;
  while (expected < kItems) {
    if (const std::optional<std::uint64_t> item = queue.Pop()) {
      if (*item != expected) ++outOfOrder;
      expected = *item + 1;
    } else {
      std::this_thread::yield();
    }
  }
  producer.join();
  EXPECT_EQ(outOfOrder, 0u);
  EXPECT_EQ(queue.Pop(), std::nullopt);
}

}  // namespace
}  // namespace quillotone
