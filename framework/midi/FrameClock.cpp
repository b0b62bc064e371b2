// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/midi/FrameClock.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "framework/Units.h"

namespace quillotone {
namespace {

// The loop's bandwidth: narrow, so that the jitter of the readings is
// averaged over seconds, yet a clock hundreds of ppm off its nominal rate is
// caught within a fraction of a millisecond.
constexpr double kBandwidthHz = 0.1;
// The most one reading moves the loop: a callback that woke a millisecond
// late on a busy machine would otherwise shift the next notes by a frame or
// two. A clock that drifts moves by far less a cycle.
constexpr double kMostErrorMicros = 200.0;
// A reading this far off the estimate is no jitter: cycles that ran late (a
// busy machine), and those run back to back to catch up after them, are
// passed over; readings still off after kStepMicros of the server's frames
// mean its clock stepped (it stalled and did not catch up, or keeps
// stalling), and the loop starts again from the latest, keeping the rate it
// measured.
constexpr double kJumpMicros = 2'000.0;
constexpr double kStepMicros = 100'000.0;
// A callback wakes only ever late for its cycle, and the first cycles after
// a start are the latest (hundreds of microseconds more, on a cold cache).
// For this many cycles after the loop starts the phase is taken from the
// earliest reading, so the loop does not start from a late one.
constexpr int kSettleCycles = 16;
// How fast the notes follow the loop's phase as it moves: a quarter of a
// second between two notes changes by 10 us at most, half a frame at 48 kHz.
constexpr double kFollowMicrosPerSecond = 40.0;
// Nor is a cycle that begins before the last or more than a second after it.
constexpr double kLongestCycleSeconds = 1.0;

}  // namespace

void FrameClock::Reset(double rate) {
  rate_ = rate;
  microsPerFrame_ = kMicrosPerSecond / rate;
  Relock();
}

void FrameClock::Relock() {
  locked_ = false;
  stepping_ = false;
}

void FrameClock::Observe(Frame frame, double micros) {
  const auto frames = static_cast<std::int32_t>(frame - anchorFrame_);
  const double predicted = anchorMicros_ + frames * microsPerFrame_;
  const double error = micros - predicted;
  const bool inStep = frames > 0 && frames <= rate_ * kLongestCycleSeconds;
  if (locked_ && inStep && std::abs(error) > kJumpMicros) {
    if (!stepping_) {
      stepping_ = true;
      stepFrame_ = frame;
    }
    const bool stepped =
        static_cast<std::int32_t>(frame - stepFrame_) * microsPerFrame_ >= kStepMicros;
    if (!stepped) {
      anchorFrame_ = frame;
      anchorMicros_ = predicted;
      return;
    }
  }
  stepping_ = false;
  if (!locked_ || !inStep || std::abs(error) > kJumpMicros) {
    locked_ = true;
    settling_ = kSettleCycles;
    anchorFrame_ = frame;
    anchorMicros_ = micros;
    lagMicros_ = 0.0;
    return;
  }
  anchorFrame_ = frame;
  const double seconds = frames * microsPerFrame_ / kMicrosPerSecond;
  if (settling_ > 0) {
    --settling_;
    anchorMicros_ = std::min(predicted, micros);
  } else {
    // A second-order loop (F. Adriaensen, "Using a DLL to filter time"), its
    // gains set for the cycle that just went by.
    const double omega = 2.0 * std::numbers::pi * kBandwidthHz * seconds;
    const double heeded = std::clamp(error, -kMostErrorMicros, kMostErrorMicros);
    anchorMicros_ = predicted + std::numbers::sqrt2 * omega * heeded;
    microsPerFrame_ += omega * omega * heeded / frames;
  }
  // Where the phase moved, the notes follow at a bounded pace.
  lagMicros_ += predicted - anchorMicros_;
  const double most = kFollowMicrosPerSecond * seconds;
  lagMicros_ -= std::clamp(lagMicros_, -most, most);
}

FrameClock::Frame FrameClock::FrameAt(double micros) const {
  return anchorFrame_ +
         static_cast<Frame>(std::llround((micros - anchorMicros_ - lagMicros_) / microsPerFrame_));
}

double FrameClock::MicrosAt(Frame frame) const {
  return anchorMicros_ + lagMicros_ +
         static_cast<std::int32_t>(frame - anchorFrame_) * microsPerFrame_;
}

double FrameClock::measuredRate() const { return kMicrosPerSecond / microsPerFrame_; }

}  // namespace quillotone
