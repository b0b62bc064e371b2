#include "framework/Synth.h"

#include <fluidsynth.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "framework/SoundFontFile.h"

namespace quillotone {
namespace {

// MIDI data bytes: note numbers, velocities and programs are 0..127.
constexpr int kMidiDataMax = 127;

// Debian's alternatives link first (it follows what the user chose), then the
// packages that install a General MIDI SoundFont, best sounding first.
constexpr std::array<std::string_view, 7> kSoundFontPaths = {
    "/usr/share/sounds/sf2/default-GM.sf2",         // alternatives
    "/usr/share/sounds/sf3/default-GM.sf3",         // alternatives
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",         // fluid-soundfont-gm
    "/usr/share/sounds/sf3/MuseScore_General.sf3",  // MuseScore's General MIDI
    "/usr/share/sounds/sf2/MuseScore_General.sf2",  // the same, uncompressed
    "/usr/share/sounds/sf3/FluidR3Mono_GM.sf3",     // fluidr3mono-gm-soundfont
    "/usr/share/sounds/sf2/TimGM6mb.sf2",           // timgm6mb-soundfont
};

// PulseAudio also reaches PipeWire (pipewire-pulse); ALSA is the fallback on
// systems without a sound server.
constexpr std::array<const char*, 2> kAudioDrivers = {"pulseaudio", "alsa"};

// Audio is handed to the sound server in periods of this many frames. The
// default (64 x 16) lets a busy desktop starve the stream for a few ms at a
// time; larger periods cost only latency, which the sequencer's lead already
// absorbs, and keep timing, since events still apply per 64-frame block.
constexpr int kPeriodFrames = 512;
constexpr int kPeriods = 4;

// FluidSynth's default gain (0.2) leaves a lone piano line near -42 dBFS;
// this brings it to a comfortable level with room for the loudest chords.
constexpr double kGain = 0.6;

constexpr const char* kLogPrefix = "quillotone: fluidsynth: ";

bool IsMidiData(int value) { return value >= 0 && value <= kMidiDataMax; }

// Warnings and errors keep reaching the terminal, marked as ours; FluidSynth's
// chatter (info, debug) does not.
void LogToStderr(int level, const char* message, void* /*data*/) {
  std::string_view text = message != nullptr ? message : "";
  while (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  const char* kind = level == FLUID_WARN ? "warning: " : "error: ";
  std::fprintf(stderr, "%s%s%.*s\n", kLogPrefix, kind, static_cast<int>(text.size()), text.data());
}

void RouteFluidSynthLog() {
  // FluidSynth's log table is process-wide; set it once, before any synth
  // exists, even when two synths are made on different threads.
  [[maybe_unused]] static const bool routed = [] {
    fluid_set_log_function(FLUID_PANIC, LogToStderr, nullptr);
    fluid_set_log_function(FLUID_ERR, LogToStderr, nullptr);
    fluid_set_log_function(FLUID_WARN, LogToStderr, nullptr);
    fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
    fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
    return true;
  }();
}

// The sequencer tags events with a short; -1 is its wildcard, so the ids of
// our threads are folded onto 1..SHRT_MAX, where they stay distinct for the
// first SHRT_MAX threads.
fluid_seq_id_t SequencerSource(std::uint32_t source) {
  return static_cast<fluid_seq_id_t>(1 + (source - 1) % SHRT_MAX);
}

struct EventDeleter {
  void operator()(fluid_event_t* event) const { delete_fluid_event(event); }
};

std::string AudioFailure(const std::string& tried) {
  return "No audio output could be opened (tried: " + tried +
         "). Check that a sound server is running (PulseAudio or PipeWire; Debian packages "
         "pulseaudio or pipewire-pulse) and that an output device is present and not muted.";
}

}  // namespace

void Synth::Deleter::operator()(fluid_settings_t* p) const { delete_fluid_settings(p); }
void Synth::Deleter::operator()(fluid_synth_t* p) const { delete_fluid_synth(p); }
void Synth::Deleter::operator()(fluid_sequencer_t* p) const { delete_fluid_sequencer(p); }
void Synth::Deleter::operator()(fluid_audio_driver_t* p) const { delete_fluid_audio_driver(p); }

Synth::Synth(const SynthOptions& options) {
  RouteFluidSynthLog();

  // FluidSynth range-checks the rate but lets NaN through.
  if (!std::isfinite(options.sampleRate)) {
    throw SynthError("The sample rate must be a number of Hz, not " +
                     std::to_string(options.sampleRate) + ".");
  }
  settings_.reset(new_fluid_settings());
  if (!settings_) throw SynthError("FluidSynth could not create its settings (out of memory).");
  if (fluid_settings_setnum(settings_.get(), "synth.sample-rate", options.sampleRate) != FLUID_OK) {
    throw SynthError("FluidSynth does not support a sample rate of " +
                     std::to_string(options.sampleRate) + " Hz.");
  }
  fluid_settings_setnum(settings_.get(), "synth.gain", kGain);

  synth_.reset(new_fluid_synth(settings_.get()));
  if (!synth_) throw SynthError("FluidSynth could not create a synthesizer (out of memory).");

  if (!options.soundFont.empty()) {
    soundFont_ = options.soundFont;
  } else if (std::optional<std::string> found = DefaultSoundFont()) {
    soundFont_ = *found;
  } else {
    throw SynthError(
        "No General MIDI SoundFont found. Install one with: sudo apt-get install "
        "fluid-soundfont-gm (or set QUILLOTONE_SOUNDFONT to a .sf2 file).");
  }
  // FluidSynth would wait forever on a pipe and cannot say what is wrong with
  // a damaged file; look first.
  if (std::optional<std::string> problem = SoundFontProblem(soundFont_)) throw SynthError(*problem);
  if (fluid_synth_sfload(synth_.get(), soundFont_.c_str(), 1) == FLUID_FAILED) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(soundFont_, error)) {
      throw SynthError("SoundFont not found: " + soundFont_ +
                       ". Set QUILLOTONE_SOUNDFONT to an existing .sf2 file, or unset it to use "
                       "the system's (sudo apt-get install fluid-soundfont-gm).");
    }
    throw SynthError("Could not load the SoundFont " + soundFont_ +
                     ": it is not a valid .sf2/.sf3 file. Set QUILLOTONE_SOUNDFONT to a "
                     "working SoundFont.");
  }

  // The sample timer: the sequencer advances with the audio the synth renders,
  // never with the system clock, so scheduled notes keep the audio's timing.
  sequencer_.reset(new_fluid_sequencer2(0));
  if (!sequencer_) throw SynthError("FluidSynth could not create a sequencer (out of memory).");
  fluid_sequencer_set_time_scale(sequencer_.get(), kTicksPerSecond);
  synthClient_ = fluid_sequencer_register_fluidsynth(sequencer_.get(), synth_.get());
  if (synthClient_ == FLUID_FAILED) {
    throw SynthError("FluidSynth could not connect its sequencer (out of memory).");
  }

  if (!options.audioOutput) return;
  fluid_settings_setint(settings_.get(), "audio.period-size", kPeriodFrames);
  fluid_settings_setint(settings_.get(), "audio.periods", kPeriods);
  std::string tried;
  auto tryDriver = [&](const char* name) {
    tried += tried.empty() ? name : std::string(", ") + name;
    if (fluid_settings_setstr(settings_.get(), "audio.driver", name) != FLUID_OK) return false;
    driver_.reset(new_fluid_audio_driver(settings_.get(), synth_.get()));
    if (!driver_) return false;
    audioDriverName_ = name;
    return true;
  };
  if (!options.audioDriver.empty()) {
    if (!tryDriver(options.audioDriver.c_str())) throw SynthError(AudioFailure(tried));
    return;
  }
  for (const char* name : kAudioDrivers) {
    if (tryDriver(name)) return;
  }
  throw SynthError(AudioFailure(tried));
}

Synth::~Synth() = default;

std::optional<std::string> Synth::DefaultSoundFont() {
  for (std::string_view path : kSoundFontPaths) {
    std::error_code error;
    // Follows links, so a dangling alternatives link is passed over.
    if (std::filesystem::is_regular_file(path, error)) return std::string(path);
  }
  return std::nullopt;
}

void Synth::ProgramChange(int channel, int program) {
  // FluidSynth also takes 128, which is no General MIDI program.
  if (!IsMidiData(program)) return;
  fluid_synth_program_change(synth_.get(), channel, program);
}

void Synth::NoteNow(int channel, int note, int velocity) {
  if (!IsMidiData(note) || !IsMidiData(velocity)) return;
  if (velocity == 0) {
    fluid_synth_noteoff(synth_.get(), channel, note);
  } else {
    fluid_synth_noteon(synth_.get(), channel, note, velocity);
  }
}

void Synth::NoteAt(std::uint32_t tick, int channel, int note, int velocity, std::uint32_t source) {
  if (!IsMidiData(note) || !IsMidiData(velocity)) return;
  const std::unique_ptr<fluid_event_t, EventDeleter> event(new_fluid_event());
  if (!event) return;
  fluid_event_set_source(event.get(), SequencerSource(source));
  fluid_event_set_dest(event.get(), synthClient_);
  // A real note-off: at equal ticks the sequencer applies note-offs before
  // note-ons, so a note that ends where the same pitch starts again never cuts
  // the new one. (Before FluidSynth 2.2.2 a note-on of velocity 0 stayed a
  // note-on, with no such place in the order.)
  if (velocity == 0) {
    fluid_event_noteoff(event.get(), channel, static_cast<short>(note));
  } else {
    fluid_event_noteon(event.get(), channel, static_cast<short>(note),
                       static_cast<short>(velocity));
  }
  fluid_sequencer_send_at(sequencer_.get(), event.get(), tick, 1);
}

void Synth::DropScheduled(std::uint32_t source) {
  fluid_sequencer_remove_events(sequencer_.get(), SequencerSource(source), -1, -1);
}

std::uint32_t Synth::Tick() const { return fluid_sequencer_get_tick(sequencer_.get()); }

int Synth::ActiveVoices() const { return fluid_synth_get_active_voice_count(synth_.get()); }

void Synth::Render(std::span<float> left, std::span<float> right) {
  if (driver_) throw std::logic_error("Synth::Render: the audio driver renders this synth");
  if (left.size() != right.size()) {
    throw std::logic_error("Synth::Render: the two channels differ in length");
  }
  // FluidSynth counts frames in an int.
  std::size_t done = 0;
  while (done < left.size()) {
    const int frames = static_cast<int>(std::min<std::size_t>(left.size() - done, INT_MAX));
    fluid_synth_write_float(synth_.get(), frames, left.data() + done, 0, 1, right.data() + done, 0,
                            1);
    done += static_cast<std::size_t>(frames);
  }
}

}  // namespace quillotone
