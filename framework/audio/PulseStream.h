// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "framework/Clock.h"
#include "framework/audio/AudioDevice.h"
#include "framework/audio/AudioTiming.h"
#include "framework/audio/FluidLog.h"

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;
struct pa_proplist;

namespace quillotone {

class Synth;

// A playback stream to the PulseAudio server (or PipeWire's pulse service)
// that the synth renders into. Unlike FluidSynth's own driver it asks the
// server where playback is, so the program knows when each frame is heard,
// not only when it was rendered: a MIDI port can then send a note to sound
// with the synth's, to the millisecond.
class PulseStream final : public AudioDevice {
 public:
  // How many of the server's recent answers on timing are weighed: a second
  // or two of periods, short beside the drift between clocks.
  static constexpr std::size_t kJudgedAnswers = 24;

  // Cycles of its graph that a server of this name leaves out of the latency
  // it reports (pa_server_info's server_name).
  [[nodiscard]] static int UnreportedGraphCyclesOf(std::string_view serverName);

  PulseStream(Synth& synth, const Clock& clock);
  ~PulseStream() override;
  PulseStream(const PulseStream&) = delete;
  PulseStream& operator=(const PulseStream&) = delete;

  void Open() override;
  void Close() override;
  [[nodiscard]] bool IsOpen() const override { return mainloop_ != nullptr; }
  [[nodiscard]] double LastRenderedMicros() const override {
    return renderedAt_.load(std::memory_order_relaxed);
  }
  [[nodiscard]] double HeardAtMicros(std::uint64_t frame) const override;
  [[nodiscard]] std::string Said() const override { return std::string(said_.text()); }
  void AwaitTiming(double deadline) override;
  [[nodiscard]] int UnreportedGraphCycles() const override {
    return unreportedCycles_.load(std::memory_order_relaxed);
  }

 private:
  static void ContextChanged(pa_context* context, void* self);
  static void StreamChanged(pa_stream* stream, void* self);
  static void Writable(pa_stream* stream, std::size_t bytes, void* self);
  // Waits, with the main loop locked, until `ready` or `failed` says so or the
  // deadline passes; false unless ready.
  template <typename Ready, typename Failed>
  bool WaitFor(Ready ready, Failed failed, double deadline);
  // The steps of Open, with the main loop locked; false if one failed.
  bool Connect(double deadline);
  bool ReadServerName(double deadline);
  bool StartStream(pa_proplist& props, double deadline);
  static void Answered(pa_stream* stream, int success, void* self);
  static void RanDry(pa_stream* stream, void* self);
  // The stream's thread works on the stream it is handed, not on stream_,
  // which the main thread sets once that thread runs.
  void Render(pa_stream* stream, std::size_t bytes);
  void AskWhereHeard(pa_stream* stream);
  void Judge(double firstHeardAt);
  void Fail(const char* what);

  Synth& synth_;
  const Clock& clock_;
  pa_threaded_mainloop* mainloop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  std::atomic<int> unreportedCycles_{0};
  // The synth's frame that is the stream's first.
  std::uint64_t firstFrame_ = 0;
  // The rendering side's own: one period at a time, the channels apart.
  std::array<float, audio::kPeriodFrames> left_{};
  std::array<float, audio::kPeriodFrames> right_{};
  // Written by the stream's thread only, read once it has stopped.
  CapturedLog said_;
  std::atomic<double> renderedAt_{0.0};
  // The server's latest answers to when the stream's first frame is heard,
  // on the monotonic clock: the stream's thread's own.
  bool asking_ = false;
  std::array<double, kJudgedAnswers> judged_{};
  std::size_t judgedCount_ = 0;
  // The one the program goes by; NaN until the server has answered.
  std::atomic<double> firstHeardAt_{0.0};
};

}  // namespace quillotone
