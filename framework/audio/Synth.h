// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "framework/Units.h"
#include "framework/audio/AudioTiming.h"
#include "framework/audio/EventQueue.h"
#include "framework/audio/SynthError.h"

// FluidSynth's types, kept out of every header but this one.
typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;

namespace quillotone {

struct SynthOptions {
  // Named on the command line; empty: the variable's, or the system's
  // (ChooseSoundFont).
  std::string soundFont;
  double sampleRate = audio::kSampleRate;
  // The sample clock's first frame. Tests start it near a wrap of 32 bits.
  std::uint64_t startFrame = 0;
};

// One General MIDI synthesizer on its own sample clock: a 64-bit count of the
// frames it has rendered. Scheduled events are applied by whoever renders
// (an audio output's thread through Process, or Render), at the block of the
// frame they are due, so they keep the audio's timing to the block, for any
// length of time. Only the rendering side calls FluidSynth once it renders,
// so FluidSynth's API lock is off.
class Synth : public EventQueue::Target {
 public:
  static constexpr std::uint64_t kBlockFrames = audio::kBlockFrames;

  explicit Synth(const SynthOptions& options);  // throws SynthError
  ~Synth();
  Synth(const Synth&) = delete;
  Synth& operator=(const Synth&) = delete;

  // General MIDI program counted from 0, applied at once, with nothing
  // rendering: with samples loaded on demand it may read the SoundFont.
  void ProgramChange(int channel, int program);
  // Applied with the next block rendered, after everything queued before it.
  // Velocity 0 ends the note on that channel.
  void NoteNow(int channel, int note, int velocity);
  // Applied at the block boundary nearest `frame` (EventQueue).
  void NoteAt(std::uint64_t frame, int channel, int note, int velocity, std::uint32_t source);
  // The frame where an event for `frame` applies (the nearest block
  // boundary), unless that is past when it comes. Any thread may ask.
  [[nodiscard]] std::uint64_t FrameApplied(std::uint64_t frame) const {
    return events_.AppliesAt(frame);
  }
  // Removes the events `source` scheduled that have not been applied yet.
  void DropScheduled(std::uint32_t source);
  // With nothing rendering: forgets every event not yet applied and ends
  // every voice at once, so that nothing from before sounds when an output
  // opens again (after a lost server, say).
  void Silence();

  // The sample clock: startFrame plus the frames rendered so far. Any thread
  // may ask.
  [[nodiscard]] std::uint64_t Frames() const { return frames_.load(std::memory_order_acquire); }
  [[nodiscard]] double sampleRate() const { return sampleRate_.load(std::memory_order_relaxed); }
  // With nothing rendering: renders at `rate` from now on (an audio server's
  // rate, which may not be the one the synth was made with).
  void SetSampleRate(double rate);
  // How long `frames` frames last at the synth's rate.
  [[nodiscard]] double MicrosOf(double frames) const {
    return frames * kMicrosPerSecond / sampleRate();
  }
  // Voices sounding when the synth last rendered, those in their release
  // included.
  [[nodiscard]] int ActiveVoices() const { return voices_.load(std::memory_order_relaxed); }

  // The rendering side, as an audio driver calls it: renders `frames` into
  // FluidSynth's buffers (effects mixed into the output when there are none).
  // Never allocates, locks or waits.
  void Process(int frames, int nfx, float* fx[], int nout, float* out[]);
  // Offline rendering into two equal-length buffers, with no output open.
  void Render(std::span<float> left, std::span<float> right);

 private:
  struct Deleter {
    void operator()(fluid_settings_t* p) const;
    void operator()(fluid_synth_t* p) const;
  };
  void Send(const FrameEvent& event);
  void Apply(const FrameEvent& event) override;
  void RenderFrames(int offset, int frames) override;

  // Declaration order is creation order; destruction runs the other way.
  std::unique_ptr<fluid_settings_t, Deleter> settings_;
  std::unique_ptr<fluid_synth_t, Deleter> synth_;
  std::atomic<double> sampleRate_{0.0};
  EventQueue events_;
  // The buffers of the Process call under way (the rendering side's own).
  int nfx_ = 0;
  int nout_ = 0;
  float** fx_ = nullptr;
  float** out_ = nullptr;
  std::atomic<std::uint64_t> frames_{0};
  std::atomic<int> voices_{0};
};

}  // namespace quillotone
