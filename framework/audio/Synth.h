// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/audio/SpscQueue.h"

// FluidSynth's types, kept out of every header but this one.
typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;
typedef struct _fluid_audio_driver_t fluid_audio_driver_t;

namespace quillotone {

// Something the user can fix: the message says what is missing and what to do.
class SynthError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct SynthOptions {
  // Empty: the system's default General MIDI SoundFont.
  std::string soundFont;
  // False: no audio device; the synth advances only through Render().
  bool audioOutput = true;
  // Empty: the drivers in order of preference (pulseaudio, then alsa).
  std::string audioDriver;
  double sampleRate = 44100.0;
  // True: the whole SoundFont in memory; false: only the instruments in use.
  bool loadAllSamples = false;
  // The sample clock's first frame. Tests start it near a wrap of 32 bits.
  std::uint64_t startFrame = 0;
};

// One General MIDI synthesizer on its own sample clock: a 64-bit count of the
// frames it has rendered. Scheduled events are applied by whoever renders
// (the audio driver's thread, or Render), at the block of the frame they are
// due, so they keep the audio's timing to the block, for any length of time.
// Made in the order settings, synth, audio driver; destroyed in reverse, the
// driver first, so no audio callback outlives what it renders.
class Synth {
 public:
  // FluidSynth applies events between blocks of this many frames.
  static constexpr std::uint64_t kBlockFrames = 64;

  explicit Synth(const SynthOptions& options);  // throws SynthError
  ~Synth();
  Synth(const Synth&) = delete;
  Synth& operator=(const Synth&) = delete;

  // Debian's default-GM link, then the known package paths; nullopt if none.
  [[nodiscard]] static std::optional<std::string> DefaultSoundFont();

  // General MIDI program counted from 0, applied by the rendering side
  // before the events queued after it.
  void ProgramChange(int channel, int program);
  // Applied with the next block rendered, after everything queued before it.
  // Velocity 0 ends the note on that channel.
  void NoteNow(int channel, int note, int velocity);
  // Applied at the block boundary nearest `frame` (at once if that is past),
  // in the order of their frames; on one frame note-offs go before note-ons,
  // so a note struck again where it ends sounds, and an on and an off of one
  // key within a block leave nothing sounding. A note-off is never dropped
  // for want of room among the events waiting for their frame.
  void NoteAt(std::uint64_t frame, int channel, int note, int velocity, std::uint32_t source);
  // Removes the events `source` scheduled that have not been applied yet.
  void DropScheduled(std::uint32_t source);

  // The sample clock: startFrame plus the frames rendered so far. Any thread
  // may ask.
  [[nodiscard]] std::uint64_t Frames() const { return frames_.load(std::memory_order_acquire); }
  [[nodiscard]] double sampleRate() const { return sampleRate_; }
  // The clock advances a period at a time while the output plays: when it
  // last did, and by how much (0 without an output).
  [[nodiscard]] std::chrono::steady_clock::time_point LastRendered() const;
  [[nodiscard]] double PeriodSeconds() const;
  // Voices sounding when the synth last rendered, those in their release
  // included.
  [[nodiscard]] int ActiveVoices() const { return voices_.load(std::memory_order_relaxed); }

  // The audio output, closed until opened here. Opening tries the drivers in
  // order of preference (or the one named) every time, and throws SynthError
  // saying what each said (no device, no server); their own messages stay off
  // the terminal. Closing stops the rendering, and with it the clock, until
  // it opens again.
  void OpenOutput();
  void CloseOutput();
  // With the output closed: forgets every event not yet applied and ends
  // every voice at once, so that nothing from before sounds when the output
  // opens again (after a lost server, say).
  void Silence();
  [[nodiscard]] bool HasAudioOutput() const { return driver_ != nullptr; }
  // Made for an audio output (which may be closed now), not for Render.
  [[nodiscard]] bool playsOut() const { return playsOut_; }
  // What FluidSynth said on the audio thread of the output last closed (why
  // it stopped, if it did).
  [[nodiscard]] const std::string& outputLog() const { return outputLog_; }
  [[nodiscard]] const std::string& soundFont() const { return soundFont_; }
  [[nodiscard]] const std::string& audioDriver() const { return audioDriverName_; }

  // Offline rendering into two equal-length buffers (no audio output open).
  void Render(std::span<float> left, std::span<float> right);

 private:
  struct Deleter {
    void operator()(fluid_settings_t* p) const;
    void operator()(fluid_synth_t* p) const;
    void operator()(fluid_audio_driver_t* p) const;
  };

  // Every call that reaches FluidSynth while it may be rendering travels as
  // one of these, so only the rendering side calls it and FluidSynth's API
  // lock is off.
  enum class Kind : std::uint8_t { kNoteOff, kNoteOn, kDrop, kProgram };
  struct Event {
    std::uint64_t frame;
    std::uint32_t source;
    Kind kind;
    std::uint8_t channel;
    std::uint8_t note;  // the program, for kProgram
    std::uint8_t velocity;
  };

  static int AudioCallback(void* data, int len, int nfx, float* fx[], int nout, float* out[]);
  void Send(const Event& event);
  // The rendering side: whoever renders takes what was queued, then renders
  // `frames`, stopping at each block where an event is due to apply it.
  void Process(int frames, int nfx, float* fx[], int nout, float* out[]);
  void TakeQueued();
  void Insert(const Event& event);
  void Apply(const Event& event);
  [[nodiscard]] std::uint64_t AppliesAt(const Event& event) const;

  // Declaration order is creation order; destruction runs the other way.
  std::unique_ptr<fluid_settings_t, Deleter> settings_;
  std::unique_ptr<fluid_synth_t, Deleter> synth_;
  std::unique_ptr<fluid_audio_driver_t, Deleter> driver_;
  std::string soundFont_;
  std::string audioDriverName_;
  std::string preferredDriver_;
  // Written by the audio thread only, read once it has been joined.
  std::string outputLog_;
  bool playsOut_ = false;
  double sampleRate_ = 0.0;
  std::uint64_t startFrame_ = 0;

  // From the thread that sends events to the one that renders.
  SpscQueue<Event, 4096> queue_;
  // The rendering side's own: events waiting for their frame, in the order
  // they apply, and the clock, published after each rendered stretch.
  std::vector<Event> pending_;
  std::uint64_t renderedTo_ = 0;
  std::atomic<std::uint64_t> frames_{0};
  std::atomic<int> voices_{0};
  std::atomic<std::chrono::steady_clock::rep> renderedAt_{0};
};

}  // namespace quillotone
