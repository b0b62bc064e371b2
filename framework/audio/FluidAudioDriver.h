// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "framework/Clock.h"
#include "framework/audio/AudioDevice.h"
#include "framework/audio/FluidLog.h"

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_audio_driver_t fluid_audio_driver_t;

namespace quillotone {

class Synth;

// FluidSynth's ALSA driver playing a Synth: for systems with no sound server.
// It says when a period was rendered, not when it is heard; what is heard is
// taken to follow after the periods it asked ALSA to keep.
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
  [[nodiscard]] double HeardAtMicros(std::uint64_t frame) const override;
  [[nodiscard]] std::string Said() const override { return std::string(said_.text()); }

 private:
  struct Deleter {
    void operator()(fluid_settings_t* p) const;
    void operator()(fluid_audio_driver_t* p) const;
  };
  static int Callback(void* data, int len, int nfx, float* fx[], int nout, float* out[]);
  void Rendered(double now);

  Synth& synth_;
  const Clock& clock_;
  // Written by the audio thread only, read once it has been joined.
  CapturedLog said_;
  std::atomic<double> renderedAt_{0.0};
  // When the synth's frame 0 would be heard, as of the last render.
  std::atomic<double> frameZeroHeardAt_{0.0};
  // Declaration order is creation order: the driver, which renders with all
  // of the above, goes first.
  std::unique_ptr<fluid_settings_t, Deleter> settings_;
  std::unique_ptr<fluid_audio_driver_t, Deleter> driver_;
};

}  // namespace quillotone
