// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>

#include "framework/Clock.h"

namespace quillotone {

class AudioDevice;
class Synth;

// Where the sound is now, in microseconds. With a synth that renders, the
// synth's own sample clock, so the lead between what the melody has scheduled
// and what is heard never runs out nor grows; without one (none yet, or its
// output closed) the monotonic clock, so the program keeps going silently.
// Switching between the two continues from where the playhead is (Rebase).
class SynthPlayhead {
 public:
  explicit SynthPlayhead(const Clock& clock) : clock_(clock) {}

  // What it follows from now on: a synth rendered offline (device null and
  // offline true), one played by `device` while it is open, or none.
  void Follow(const Synth* synth, const AudioDevice* device);

  [[nodiscard]] double Microseconds() const;
  // Makes the clock followed now continue from `now`.
  void Rebase(double now);
  // Where a thread starting now begins its clock (Playhead::BeginThread).
  [[nodiscard]] double ThreadStart() const;
  // The synth's frame for an event stamped `micros`, a lead later; nullopt
  // for a time that names no frame.
  [[nodiscard]] std::optional<std::uint64_t> FrameFor(double micros) const;
  // Playhead::HeardAtMonotonicMicros.
  [[nodiscard]] double HeardAtMonotonicMicros(double micros) const;
  // What that time leaves out, in cycles of the sound server's graph.
  [[nodiscard]] int UnreportedGraphCycles() const;

 private:
  [[nodiscard]] bool OnSynthClock() const;
  [[nodiscard]] double SynthMicros() const;

  const Clock& clock_;
  const Synth* synth_ = nullptr;
  const AudioDevice* device_ = nullptr;
  // On the synth's clock the playhead is originMicros_ at originFrame_; on
  // the monotonic clock it is that clock plus wallOffsetMicros_.
  double originMicros_ = 0.0;
  std::uint64_t originFrame_ = 0;
  double wallOffsetMicros_ = 0.0;
  // It never moves backwards; this remembers what it last said.
  mutable double lastMicros_ = 0.0;
};

}  // namespace quillotone
