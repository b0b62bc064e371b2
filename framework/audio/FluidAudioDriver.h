// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "framework/Clock.h"
#include "framework/audio/AudioDevice.h"
#include "framework/audio/FluidLog.h"

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_audio_driver_t fluid_audio_driver_t;

namespace quillotone {

class Synth;

// FluidSynth's audio driver playing a Synth: PulseAudio (which also reaches
// PipeWire through pipewire-pulse), else ALSA, tried in that order at every
// open, since the one that works changes as sound servers come and go.
class FluidAudioDriver final : public AudioDevice {
 public:
  FluidAudioDriver(Synth& synth, const Clock& clock);
  ~FluidAudioDriver() override;
  FluidAudioDriver(const FluidAudioDriver&) = delete;
  FluidAudioDriver& operator=(const FluidAudioDriver&) = delete;

  void Open() override;
  void Close() override;
  [[nodiscard]] bool IsOpen() const override { return driver_ != nullptr; }
  [[nodiscard]] double LastRenderedMicros() const override {
    return renderedAt_.load(std::memory_order_relaxed);
  }
  [[nodiscard]] double LatencyMicros() const override;
  [[nodiscard]] std::string Said() const override { return std::string(said_.text()); }

 private:
  struct Deleter {
    void operator()(fluid_settings_t* p) const;
    void operator()(fluid_audio_driver_t* p) const;
  };
  static int Callback(void* data, int len, int nfx, float* fx[], int nout, float* out[]);

  Synth& synth_;
  const Clock& clock_;
  // Written by the audio thread only, read once it has been joined.
  CapturedLog said_;
  std::atomic<double> renderedAt_{0.0};
  bool alsa_ = false;
  // Declaration order is creation order: the driver, which renders with all
  // of the above, goes first.
  std::unique_ptr<fluid_settings_t, Deleter> settings_;
  std::unique_ptr<fluid_audio_driver_t, Deleter> driver_;
};

}  // namespace quillotone
