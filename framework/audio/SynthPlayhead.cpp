// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/audio/SynthPlayhead.h"

#include <algorithm>
#include <cmath>

#include "framework/Units.h"
#include "framework/audio/AudioDevice.h"
#include "framework/audio/AudioTiming.h"
#include "framework/audio/Synth.h"

namespace quillotone {
namespace {

// Frames beyond this are as good as never; it keeps the conversion defined.
constexpr double kMaxFrame = 0x1p62;

}  // namespace

void SynthPlayhead::Follow(const Synth* synth, const AudioDevice* device) {
  const double now = Microseconds();
  synth_ = synth;
  device_ = device;
  Rebase(now);
}

bool SynthPlayhead::OnSynthClock() const {
  return synth_ != nullptr && (device_ == nullptr || device_->IsOpen());
}

double SynthPlayhead::SynthMicros() const {
  return originMicros_ + synth_->MicrosOf(static_cast<double>(synth_->Frames() - originFrame_));
}

void SynthPlayhead::Rebase(double now) {
  originMicros_ = now;
  originFrame_ = synth_ != nullptr ? synth_->Frames() : 0;
  wallOffsetMicros_ = now - clock_.MonotonicMicros();
}

double SynthPlayhead::Microseconds() const {
  double now = clock_.MonotonicMicros() + wallOffsetMicros_;
  if (OnSynthClock()) {
    now = SynthMicros();
    // Between periods the synth's clock stands still; the playhead goes on at
    // the monotonic clock's pace for up to one period, so threads wake on
    // time rather than a period late. Past that it waits for the synth: a
    // stream that stopped is the audio output's to judge.
    if (device_ != nullptr) {
      const double sinceRendered = clock_.MonotonicMicros() - device_->LastRenderedMicros();
      now += std::clamp(sinceRendered, 0.0, audio::kPeriodMicros);
    }
  }
  lastMicros_ = std::max(lastMicros_, now);
  return lastMicros_;
}

double SynthPlayhead::ThreadStart() const {
  const double now = Microseconds();
  if (synth_ == nullptr || device_ == nullptr) return now;
  // The melody's clock begins a lead before the output's next period, so its
  // first note is rendered with that period; the notes after it keep the
  // whole lead, as the thread wakes that much earlier for each.
  double next = SynthMicros();
  // A stream that is not open yet begins with the melody's first note.
  if (device_->IsOpen() && clock_.MonotonicMicros() - device_->LastRenderedMicros() >
                               audio::kPeriodMicros - audio::kRenderMarginMicros) {
    next += audio::kPeriodMicros;
  }
  return std::min(now, next - audio::kLeadMicros);
}

std::optional<std::uint64_t> SynthPlayhead::FrameFor(double micros) const {
  if (synth_ == nullptr) return std::nullopt;
  const double frames = std::round((micros + audio::kLeadMicros - originMicros_) *
                                   synth_->sampleRate() / kMicrosPerSecond);
  if (std::isnan(frames)) return std::nullopt;
  // Already due (a thread running late) is applied with the next audio block.
  return static_cast<std::uint64_t>(
      std::clamp(static_cast<double>(originFrame_) + frames, 0.0, kMaxFrame));
}

double SynthPlayhead::HeardAtMonotonicMicros(double micros) const {
  const std::optional<std::uint64_t> frame = FrameFor(micros);
  if (OnSynthClock() && device_ != nullptr && frame) return device_->HeardAtMicros(*frame);
  // Nothing is heard from the synth: the event is heard a lead after its
  // stamp, as the synth would sound it, so that a MIDI port, too, has the
  // time to send it on its frame rather than late.
  return micros + audio::kLeadMicros - wallOffsetMicros_;
}

int SynthPlayhead::UnreportedGraphCycles() const {
  return OnSynthClock() && device_ != nullptr ? device_->UnreportedGraphCycles() : 0;
}

}  // namespace quillotone
