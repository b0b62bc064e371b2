#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>

// FluidSynth's types, kept out of every header but this one.
typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;
typedef struct _fluid_sequencer_t fluid_sequencer_t;
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
};

// One General MIDI synthesizer with a sequencer on its own sample clock.
// Made in the order settings, synth, sequencer, audio driver; destroyed in
// reverse, the driver first, so no audio callback outlives what it renders.
class Synth {
 public:
  // The sequencer counts milliseconds of rendered audio.
  static constexpr double kTicksPerSecond = 1000.0;

  explicit Synth(const SynthOptions& options);  // throws SynthError
  ~Synth();
  Synth(const Synth&) = delete;
  Synth& operator=(const Synth&) = delete;

  // Debian's default-GM link, then the known package paths; nullopt if none.
  [[nodiscard]] static std::optional<std::string> DefaultSoundFont();

  // General MIDI program counted from 0, applied at once.
  void ProgramChange(int channel, int program);
  // Applied at once. Velocity 0 ends the note on that channel.
  void NoteNow(int channel, int note, int velocity);
  // Applied when the synth has rendered up to `tick`. Events with the same
  // tick keep their order for what matters here: note-offs before note-ons.
  void NoteAt(std::uint32_t tick, int channel, int note, int velocity, std::uint32_t source);
  // Removes the events `source` scheduled that have not been applied yet.
  void DropScheduled(std::uint32_t source);

  // The sequencer's tick: how much audio the synth has rendered.
  [[nodiscard]] std::uint32_t Tick() const;
  // Voices FluidSynth is rendering, those still in their release included.
  [[nodiscard]] int ActiveVoices() const;
  [[nodiscard]] bool HasAudioOutput() const { return driver_ != nullptr; }
  [[nodiscard]] const std::string& soundFont() const { return soundFont_; }
  [[nodiscard]] const std::string& audioDriver() const { return audioDriverName_; }

  // Offline rendering into two equal-length buffers (no audio device only).
  void Render(std::span<float> left, std::span<float> right);

 private:
  struct Deleter {
    void operator()(fluid_settings_t* p) const;
    void operator()(fluid_synth_t* p) const;
    void operator()(fluid_sequencer_t* p) const;
    void operator()(fluid_audio_driver_t* p) const;
  };

  // Declaration order is creation order; destruction runs the other way.
  std::unique_ptr<fluid_settings_t, Deleter> settings_;
  std::unique_ptr<fluid_synth_t, Deleter> synth_;
  std::unique_ptr<fluid_sequencer_t, Deleter> sequencer_;
  std::unique_ptr<fluid_audio_driver_t, Deleter> driver_;
  short synthClient_ = -1;
  std::string soundFont_;
  std::string audioDriverName_;
};

}  // namespace quillotone
