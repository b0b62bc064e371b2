// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/audio/FluidAudioDriver.h"

#include <fluidsynth.h>

#include <array>
#include <string_view>

#include "framework/audio/AudioTiming.h"
#include "framework/audio/Synth.h"

namespace quillotone {
namespace {

// In order of preference: PulseAudio also reaches PipeWire (pipewire-pulse);
// ALSA is the fallback on systems without a sound server.
constexpr std::array<const char*, 2> kDrivers = {"pulseaudio", "alsa"};

constexpr std::string_view kNoServer =
    "No sound server to play on: start PulseAudio or PipeWire (packages pulseaudio, "
    "pipewire-pulse). Quillotone plays on silently until one is there.";
static_assert(kNoServer.size() <= 150, "one short line");

}  // namespace

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
  std::string tried;
  for (const char* name : kDrivers) {
    CapturedLog log;
    {
      const CapturedLog::Scope capture(log);
      // The clock starts again from here, not from when it last moved.
      renderedAt_.store(clock_.MonotonicMicros(), std::memory_order_relaxed);
      if (fluid_settings_setstr(settings_.get(), "audio.driver", name) == FLUID_OK) {
        driver_.reset(new_fluid_audio_driver2(settings_.get(), &FluidAudioDriver::Callback, this));
      }
    }
    if (driver_) {
      alsa_ = std::string_view(name) == "alsa";
      return;
    }
    tried += std::string(tried.empty() ? "" : "; ") + name + ": " +
             (log.text().empty() ? std::string("failed") : std::string(log.text()));
  }
  throw SynthError(std::string(kNoServer) +
                   (WantsLibraryDetails() ? " (" + tried + ")" : std::string()));
}

void FluidAudioDriver::Close() { driver_.reset(); }

double FluidAudioDriver::LatencyMicros() const {
  // FluidSynth does not say what the server buffers; this is what it asked
  // for: one period with PulseAudio, all of them with ALSA.
  return (alsa_ ? audio::kPeriods : 1) * audio::kPeriodFrames * kMicrosPerSecond /
         synth_.sampleRate();
}

int FluidAudioDriver::Callback(void* data, int len, int nfx, float* fx[], int nout, float* out[]) {
  auto* self = static_cast<FluidAudioDriver*>(data);
  CapturedLog::InstallOnThisThread(self->said_);  // this thread ends before the log does
  self->synth_.Process(len, nfx, fx, nout, out);
  self->renderedAt_.store(self->clock_.MonotonicMicros(), std::memory_order_relaxed);
  return FLUID_OK;
}

}  // namespace quillotone
