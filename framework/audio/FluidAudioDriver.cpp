// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/audio/FluidAudioDriver.h"

#include <fluidsynth.h>

#include <string>

#include "framework/audio/AudioTiming.h"
#include "framework/audio/Synth.h"

namespace quillotone {

void FluidAudioDriver::Deleter::operator()(fluid_settings_t* p) const { delete_fluid_settings(p); }
void FluidAudioDriver::Deleter::operator()(fluid_audio_driver_t* p) const {
  delete_fluid_audio_driver(p);
}

FluidAudioDriver::FluidAudioDriver(Synth& synth, const Clock& clock)
    : synth_(synth), clock_(clock), settings_(new_fluid_settings()) {
  if (!settings_) throw SynthError("FluidSynth could not create its settings (out of memory).");
  fluid_settings_setnum(settings_.get(), "synth.sample-rate", synth.sampleRate());
  fluid_settings_setint(settings_.get(), "audio.period-size", audio::kPeriodFrames);
  fluid_settings_setint(settings_.get(), "audio.periods", audio::kPeriods);
}

FluidAudioDriver::~FluidAudioDriver() { Close(); }

void FluidAudioDriver::Open() {
  if (driver_) return;
  said_.Clear();
  CapturedLog log;
  {
    const CapturedLog::Scope capture(log);
    // The clock starts again from here, not from when it last moved.
    Rendered(clock_.MonotonicMicros());
    if (fluid_settings_setstr(settings_.get(), "audio.driver", "alsa") == FLUID_OK) {
      driver_.reset(new_fluid_audio_driver2(settings_.get(), &FluidAudioDriver::Callback, this));
    }
  }
  if (!driver_) throw SynthError(log.text().empty() ? std::string("failed") : std::string(log.text()));
}

void FluidAudioDriver::Close() { driver_.reset(); }

void FluidAudioDriver::Rendered(double now) {
  renderedAt_.store(now, std::memory_order_relaxed);
  // The frames rendered are heard after all the periods ALSA was asked to keep.
  frameZeroHeardAt_.store(
      now + audio::kPeriods * audio::kPeriodMicros - synth_.MicrosOf(synth_.Frames()),
      std::memory_order_relaxed);
}

double FluidAudioDriver::HeardAtMicros(std::uint64_t frame) const {
  return frameZeroHeardAt_.load(std::memory_order_relaxed) + synth_.MicrosOf(frame);
}

int FluidAudioDriver::Callback(void* data, int len, int nfx, float* fx[], int nout, float* out[]) {
  auto* self = static_cast<FluidAudioDriver*>(data);
  CapturedLog::InstallOnThisThread(self->said_);  // this thread ends before the log does
  self->synth_.Process(len, nfx, fx, nout, out);
  self->Rendered(self->clock_.MonotonicMicros());
  return FLUID_OK;
}

}  // namespace quillotone
