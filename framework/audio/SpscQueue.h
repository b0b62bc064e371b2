// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <optional>

namespace quillotone {

// A bounded queue from one producer thread to one consumer thread, without
// locks: the audio thread takes from it while rendering and never waits.
// Each side may change thread only when the other side cannot run (a joined
// audio thread, say).
template <typename T, std::size_t Capacity>
class SpscQueue {
  static_assert(Capacity >= 2 && (Capacity & (Capacity - 1)) == 0, "a power of two");

 public:
  // False when full: the item is not queued.
  bool Push(const T& item) {
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    if (tail - head_.load(std::memory_order_acquire) == Capacity) return false;
    items_[tail & (Capacity - 1)] = item;
    tail_.store(tail + 1, std::memory_order_release);
    return true;
  }

  std::optional<T> Pop() {
    const std::size_t head = head_.load(std::memory_order_relaxed);
    if (head == tail_.load(std::memory_order_acquire)) return std::nullopt;
    T item = items_[head & (Capacity - 1)];
    head_.store(head + 1, std::memory_order_release);
    return item;
  }

 private:
  std::array<T, Capacity> items_{};
  alignas(64) std::atomic<std::size_t> head_{0};
  alignas(64) std::atomic<std::size_t> tail_{0};
};

}  // namespace quillotone
