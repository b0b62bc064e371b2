// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace quillotone {

// An audio server's frame count against CLOCK_MONOTONIC, followed for as long
// as the server runs: a delay-locked loop fed with each cycle's first frame
// and the time it began. The server's clock is a sound card's (or a timer's),
// which runs tens to hundreds of parts per million off the system's, and each
// reading of it jitters by tens of microseconds; the loop takes the rate from
// the readings of many seconds, so a time converts to a frame with neither
// the jitter nor the drift. A cycle that ran late is passed over; a clock
// that steps (a server that stalled or restarted) is followed from the step
// on. Plain arithmetic on what it is given: a test
// feeds it a clock pair of its own.
class FrameClock {
 public:
  // Frames wrap at 32 bits, as JACK's do.
  using Frame = std::uint32_t;

  explicit FrameClock(double rate) { Reset(rate); }

  // Forgets what it followed: the server's nominal rate changed.
  void Reset(double rate);
  // Takes the phase afresh from the next cycle, keeping the rate measured:
  // the server's period changed, and its frame count may have jumped.
  void Relock();
  [[nodiscard]] double nominalRate() const { return rate_; }
  // A cycle began at `frame`, read as monotonic `micros`.
  void Observe(Frame frame, double micros);
  [[nodiscard]] bool locked() const { return locked_; }

  // The frame that sounds at monotonic `micros`, to the nearest. Locked only.
  [[nodiscard]] Frame FrameAt(double micros) const;
  // When `frame` sounds, monotonic. Locked only.
  [[nodiscard]] double MicrosAt(Frame frame) const;
  // The server's rate as measured against the monotonic clock, in frames a second.
  [[nodiscard]] double measuredRate() const;

 private:
  double rate_ = 0.0;
  bool locked_ = false;
  // The loop's estimate: `anchorFrame_` began at `anchorMicros_`, and a frame
  // lasts `microsPerFrame_`.
  Frame anchorFrame_ = 0;
  double anchorMicros_ = 0.0;
  double microsPerFrame_ = 0.0;
  // Readings since stepFrame_ have been far off: whether the server's clock
  // stepped is told by how long they stay so.
  bool stepping_ = false;
  Frame stepFrame_ = 0;
  // Cycles left in which the phase is taken from the earliest reading.
  int settling_ = 0;
  // How far the times given out are behind the loop's phase, which they
  // follow at a bounded pace.
  double lagMicros_ = 0.0;
};

}  // namespace quillotone
