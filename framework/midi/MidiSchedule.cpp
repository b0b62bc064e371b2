// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/midi/MidiSchedule.h"

#include <cmath>

#include "framework/midi/Midi.h"

namespace quillotone {
namespace {

constexpr std::size_t kMask = MidiSchedule::kCapacity - 1;
static_assert((MidiSchedule::kCapacity & kMask) == 0, "a power of two");

}  // namespace

bool MidiSchedule::Add(const TimedMessage& message) {
  if (size_ == kCapacity) return false;
  // Messages come almost always in time order: the place is found from the end.
  std::size_t at = size_;
  while (at > 0 && messages_[(first_ + at - 1) & kMask].micros > message.micros) {
    messages_[(first_ + at) & kMask] = messages_[(first_ + at - 1) & kMask];
    --at;
  }
  messages_[(first_ + at) & kMask] = message;
  ++size_;
  return true;
}

bool MidiSchedule::PutBack(const TimedMessage& message) {
  // A tick is the clock's own: the clock steps back to it.
  if (message.size == 1 && message.bytes[0] == midi::kTimingClock) {
    --ticks_;
    return true;
  }
  if (size_ == kCapacity) return false;
  first_ = (first_ - 1) & kMask;
  messages_[first_] = message;
  ++size_;
  return true;
}

double MidiSchedule::NextTick() const {
  return clockStart_ + static_cast<double>(ticks_) * kTickMicros;
}

std::optional<double> MidiSchedule::NextDue() const {
  std::optional<double> due;
  if (size_ > 0) due = messages_[first_].micros;
  if (ticking_ && (!due || NextTick() < *due)) due = NextTick();
  return due;
}

std::optional<TimedMessage> MidiSchedule::TakeDue(double limitMicros, double nowMicros) {
  if (ticking_ && NextTick() <= nowMicros - kTickMicros) {
    ticks_ = static_cast<std::uint64_t>(std::floor((nowMicros - clockStart_) / kTickMicros));
  }
  const bool message = size_ > 0 && messages_[first_].micros < limitMicros;
  if (ticking_ && NextTick() < limitMicros && (!message || NextTick() < messages_[first_].micros)) {
    TimedMessage tick{.micros = NextTick(), .bytes = {midi::kTimingClock}, .size = 1};
    ++ticks_;
    return tick;
  }
  if (!message) return std::nullopt;
  const TimedMessage taken = messages_[first_];
  first_ = (first_ + 1) & kMask;
  --size_;
  if (taken.size == 1 && taken.bytes[0] == midi::kStart) {
    ticking_ = true;
    clockStart_ = taken.micros;
    ticks_ = 0;
  } else if (taken.size == 1 && taken.bytes[0] == midi::kStop) {
    ticking_ = false;
  }
  return taken;
}

void MidiSchedule::Clear() {
  size_ = 0;
  ticking_ = false;
}

}  // namespace quillotone
