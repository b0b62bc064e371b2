// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/audio/Synth.h"

#include <fluidsynth.h>

// The header leaves its thread-local handler out of its own extern "C".
extern "C" {
#include <alsa/error.h>
}

#include <algorithm>
#include <array>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>

#include "framework/midi/Midi.h"
#include "framework/audio/SoundFontFile.h"

namespace quillotone {
namespace {

constexpr int kPercussionChannel = 9;

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

// Audio is handed to the sound server in periods of this many frames. Each
// period wakes the audio thread and the sound server's client thread once,
// which costs far more than rendering the piano (measured with PulseAudio:
// 3.6 % of a core at 512-frame periods, 1.5 to 1.8 % at 2048, of which
// rendering is 0.25 %). Timing does not suffer, since events still apply at
// their own 64-frame block; what grows is how soon a note sent at once is
// rendered: within one period (46 ms), which the stop sweep relies on.
// (FluidSynth's PulseAudio driver buffers one period; the count of periods
// matters to ALSA.)
constexpr int kPeriodFrames = 2048;
constexpr int kPeriods = 2;

// FluidSynth's default gain (0.2) leaves a lone piano line near -42 dBFS;
// this brings it to a comfortable level with room for the loudest chords.
constexpr double kGain = 0.6;

constexpr const char* kLogPrefix = "quillotone: fluidsynth: ";

// Where FluidSynth's and ALSA's messages go on this thread instead of the
// terminal, while set: opening an output (a retry without a server would
// print a dozen lines each time) and the audio thread (whose write error is
// how a lost server shows, and is told by the program in words of its own).
thread_local std::string* tCapturedLog = nullptr;

void Capture(std::string_view text) {
  while (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  if (text.empty()) return;
  if (!tCapturedLog->empty()) *tCapturedLog += "; ";
  *tCapturedLog += text;
}

// Warnings and errors otherwise keep reaching the terminal, marked as ours;
// FluidSynth's chatter (info, debug) does not.
void LogFluidSynth(int level, const char* message, void* /*data*/) {
  std::string_view text = message != nullptr ? message : "";
  if (tCapturedLog != nullptr) return Capture(text);
  while (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  const char* kind = level == FLUID_WARN ? "warning: " : "error: ";
  std::fprintf(stderr, "%s%s%.*s\n", kLogPrefix, kind, static_cast<int>(text.size()), text.data());
}

void LogAlsa(const char* /*file*/, int /*line*/, const char* /*function*/, int /*error*/,
             const char* format, va_list arguments) {
  std::array<char, 256> text{};
  std::vsnprintf(text.data(), text.size(), format, arguments);
  if (tCapturedLog != nullptr) Capture(text.data());
}

// Captures this thread's FluidSynth and ALSA messages into `text` while it lives.
class CapturedLog {
 public:
  CapturedLog()
      : previous_(std::exchange(tCapturedLog, &text)),
        previousAlsa_(snd_lib_error_set_local(LogAlsa)) {}
  ~CapturedLog() {
    snd_lib_error_set_local(previousAlsa_);
    tCapturedLog = previous_;
  }
  CapturedLog(const CapturedLog&) = delete;
  CapturedLog& operator=(const CapturedLog&) = delete;

  std::string text;

 private:
  std::string* previous_;
  snd_local_error_handler_t previousAlsa_;
};

void RouteFluidSynthLog() {
  // FluidSynth's log table is process-wide; set it once, before any synth
  // exists, even when two synths are made on different threads.
  [[maybe_unused]] static const bool routed = [] {
    fluid_set_log_function(FLUID_PANIC, LogFluidSynth, nullptr);
    fluid_set_log_function(FLUID_ERR, LogFluidSynth, nullptr);
    fluid_set_log_function(FLUID_WARN, LogFluidSynth, nullptr);
    fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
    fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
    return true;
  }();
}

// The rendering side keeps this many events waiting for their frame; a
// melody schedules a few per step, some tens of milliseconds ahead.
constexpr std::size_t kPendingCapacity = 4096;

std::string AudioFailure(const std::string& tried) {
  return "No audio output could be opened (" + tried +
         "). Check that a sound server is running (PulseAudio or PipeWire; Debian packages "
         "pulseaudio or pipewire-pulse) and that an output device is present and not muted. "
         "Quillotone plays on silently and is heard as soon as there is an output.";
}

}  // namespace

void Synth::Deleter::operator()(fluid_settings_t* p) const { delete_fluid_settings(p); }
void Synth::Deleter::operator()(fluid_synth_t* p) const { delete_fluid_synth(p); }
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
  // Only the rendering side calls the synth once it exists (everything else
  // is queued to it), so the audio callback takes no lock.
  fluid_settings_setint(settings_.get(), "synth.threadsafe-api", 0);
  // Only the samples of the instruments in use are read into memory, not the
  // whole SoundFont: a few MB for a piano instead of 148 MB for FluidR3_GM.
  fluid_settings_setint(settings_.get(), "synth.dynamic-sample-loading",
                        options.loadAllSamples ? 0 : 1);

  synth_.reset(new_fluid_synth(settings_.get()));
  if (!synth_) throw SynthError("FluidSynth could not create a synthesizer (out of memory).");
  // General MIDI's percussion channel would select a drum kit when the
  // SoundFont loads, and keep its samples in memory (10 MB of FluidR3_GM's)
  // though no note is ever played on it. It holds a melodic program instead.
  fluid_synth_set_channel_type(synth_.get(), kPercussionChannel, CHANNEL_TYPE_MELODIC);
  fluid_synth_bank_select(synth_.get(), kPercussionChannel, 0);

  if (!options.soundFont.empty()) {
    soundFont_ = options.soundFont;
  } else if (std::optional<std::string> found = DefaultSoundFont()) {
    soundFont_ = *found;
  } else {
    throw SynthError(
        "No General MIDI SoundFont found. Install one with: sudo apt-get install "
        "fluid-soundfont-gm (or name a .sf2 file with --soundfont or QUILLOTONE_SOUNDFONT).");
  }
  // FluidSynth would wait forever on a pipe and cannot say what is wrong with
  // a damaged file; look first.
  if (std::optional<std::string> problem = SoundFontProblem(soundFont_)) throw SynthError(*problem);
  // What FluidSynth says of a file it cannot load is in our message below.
  bool loaded = false;
  {
    const CapturedLog log;
    loaded = fluid_synth_sfload(synth_.get(), soundFont_.c_str(), 1) != FLUID_FAILED;
  }
  if (!loaded) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(soundFont_, error)) {
      throw SynthError("SoundFont not found: " + soundFont_ +
                       ". Name an existing .sf2 file (--soundfont or QUILLOTONE_SOUNDFONT), or "
                       "neither to use the system's (sudo apt-get install fluid-soundfont-gm).");
    }
    throw SynthError("Could not load the SoundFont " + soundFont_ +
                     ": it is not a valid .sf2/.sf3 file. Name a working SoundFont with "
                     "--soundfont or QUILLOTONE_SOUNDFONT.");
  }

  sampleRate_ = options.sampleRate;
  startFrame_ = options.startFrame;
  renderedTo_ = startFrame_;
  frames_.store(startFrame_, std::memory_order_release);
  pending_.reserve(kPendingCapacity);

  if (!options.audioOutput) return;
  playsOut_ = true;
  preferredDriver_ = options.audioDriver;
  fluid_settings_setint(settings_.get(), "audio.period-size", kPeriodFrames);
  fluid_settings_setint(settings_.get(), "audio.periods", kPeriods);
}

Synth::~Synth() {
  // The audio thread ends first: its callback uses the queue, the pending
  // events and the clocks, which are declared after the driver and so would
  // otherwise be destroyed while it may still be running.
  driver_.reset();
}

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
  if (!midi::IsData(program) || channel < 0 || channel > midi::kDataMax) return;
  Send({.frame = 0,
        .source = 0,
        .kind = Kind::kProgram,
        .channel = static_cast<std::uint8_t>(channel),
        .note = static_cast<std::uint8_t>(program),
        .velocity = 0});
}

void Synth::OpenOutput() {
  if (!playsOut_) throw std::logic_error("Synth::OpenOutput: made without an audio output");
  if (driver_) return;
  outputLog_.clear();
  std::string tried;
  auto tryDriver = [&](const std::string& name) {
    CapturedLog log;
    if (fluid_settings_setstr(settings_.get(), "audio.driver", name.c_str()) == FLUID_OK) {
      driver_.reset(new_fluid_audio_driver2(settings_.get(), &Synth::AudioCallback, this));
    }
    if (driver_) {
      audioDriverName_ = name;
      return true;
    }
    tried += (tried.empty() ? "" : "; ") + name + ": " + (log.text.empty() ? "failed" : log.text);
    return false;
  };
  // The clock starts again from here, not from when it last moved.
  renderedAt_.store(std::chrono::steady_clock::now().time_since_epoch().count(),
                    std::memory_order_relaxed);
  // Every driver is tried again each time: the one that works may change as
  // sound servers come and go.
  if (!preferredDriver_.empty()) {
    if (!tryDriver(preferredDriver_)) throw SynthError(AudioFailure(tried));
    return;
  }
  for (const char* name : kAudioDrivers) {
    if (tryDriver(name)) return;
  }
  throw SynthError(AudioFailure(tried));
}

void Synth::CloseOutput() {
  // Joins the audio thread: from here on Render may take its place.
  driver_.reset();
}

void Synth::Silence() {
  // The pending events belong to whoever renders: only safe with no audio
  // thread.
  if (driver_) return;
  // Program changes are settings, not sound: they stay.
  while (const std::optional<Event> event = queue_.Pop()) {
    if (event->kind == Kind::kProgram) Apply(*event);
  }
  pending_.clear();
  fluid_synth_all_sounds_off(synth_.get(), -1);
  voices_.store(fluid_synth_get_active_voice_count(synth_.get()), std::memory_order_relaxed);
}

void Synth::NoteNow(int channel, int note, int velocity) {
  if (!midi::IsData(note) || !midi::IsData(velocity) || channel < 0 || channel > midi::kDataMax)
    return;
  Send({.frame = 0,
        .source = 0,
        .kind = velocity == 0 ? Kind::kNoteOff : Kind::kNoteOn,
        .channel = static_cast<std::uint8_t>(channel),
        .note = static_cast<std::uint8_t>(note),
        .velocity = static_cast<std::uint8_t>(velocity)});
}

void Synth::NoteAt(std::uint64_t frame, int channel, int note, int velocity, std::uint32_t source) {
  if (!midi::IsData(note) || !midi::IsData(velocity) || channel < 0 || channel > midi::kDataMax)
    return;
  // A real note-off: at equal frames note-offs apply before note-ons, so a
  // note that ends where the same pitch starts again never cuts the new one.
  Send({.frame = frame,
        .source = source,
        .kind = velocity == 0 ? Kind::kNoteOff : Kind::kNoteOn,
        .channel = static_cast<std::uint8_t>(channel),
        .note = static_cast<std::uint8_t>(note),
        .velocity = static_cast<std::uint8_t>(velocity)});
}

void Synth::DropScheduled(std::uint32_t source) {
  Send({.frame = 0, .source = source, .kind = Kind::kDrop, .channel = 0, .note = 0, .velocity = 0});
}

void Synth::Send(const Event& event) {
  // Full only if nothing has rendered for thousands of events: an output
  // that stalled, where nothing would sound anyway.
  if (!queue_.Push(event)) {
    std::fprintf(stderr, "%swarning: the event queue is full; an event was lost\n", kLogPrefix);
  }
}

double Synth::PeriodSeconds() const { return playsOut_ ? kPeriodFrames / sampleRate_ : 0.0; }

std::chrono::steady_clock::time_point Synth::LastRendered() const {
  return std::chrono::steady_clock::time_point(
      std::chrono::steady_clock::duration(renderedAt_.load(std::memory_order_relaxed)));
}

void Synth::Render(std::span<float> left, std::span<float> right) {
  if (driver_) throw std::logic_error("Synth::Render: the audio driver renders this synth");
  if (left.size() != right.size()) {
    throw std::logic_error("Synth::Render: the two channels differ in length");
  }
  std::fill(left.begin(), left.end(), 0.0f);
  std::fill(right.begin(), right.end(), 0.0f);
  // FluidSynth counts frames in an int.
  std::size_t done = 0;
  while (done < left.size()) {
    const int frames = static_cast<int>(std::min<std::size_t>(left.size() - done, INT_MAX));
    float* out[2] = {left.data() + done, right.data() + done};
    float* fx[4] = {out[0], out[1], out[0], out[1]};
    Process(frames, 4, fx, 2, out);
    done += static_cast<std::size_t>(frames);
  }
}

int Synth::AudioCallback(void* data, int len, int nfx, float* fx[], int nout, float* out[]) {
  auto* self = static_cast<Synth*>(data);
  tCapturedLog = &self->outputLog_;  // this thread ends before the synth does
  if (nfx == 0) {
    // No separate effects buffers: reverb and chorus are mixed into the output.
    float* mixed[4] = {out[0], out[1 % nout], out[0], out[1 % nout]};
    self->Process(len, 4, mixed, nout, out);
  } else {
    self->Process(len, nfx, fx, nout, out);
  }
  return FLUID_OK;
}

std::uint64_t Synth::AppliesAt(const Event& event) const {
  // The block boundary nearest the event's frame. Blocks are counted from
  // the clock's start, where FluidSynth's first block began.
  if (event.frame <= startFrame_) return startFrame_;
  const std::uint64_t offset = event.frame - startFrame_ + kBlockFrames / 2;
  return startFrame_ + offset / kBlockFrames * kBlockFrames;
}

void Synth::TakeQueued() {
  // In the order sent: a drop removes only what its source sent before it.
  while (const std::optional<Event> event = queue_.Pop()) {
    switch (event->kind) {
      case Kind::kDrop:
        std::erase_if(pending_, [&](const Event& e) { return e.source == event->source; });
        break;
      case Kind::kProgram:
        Apply(*event);
        break;
      case Kind::kNoteOn:
      case Kind::kNoteOff:
        Insert(*event);
        break;
    }
  }
}

void Synth::Insert(const Event& event) {
  // The list never grows on the audio thread. Full, a note-on is lost, but a
  // note-off takes the place of the note-on due last, or, with none waiting,
  // applies at once: a note cut short, never one left sounding.
  if (pending_.size() == pending_.capacity()) {
    if (event.kind == Kind::kNoteOn) return;
    const auto on = std::find_if(pending_.rbegin(), pending_.rend(),
                                 [](const Event& e) { return e.kind == Kind::kNoteOn; });
    if (on == pending_.rend()) {
      Apply(event);
      return;
    }
    pending_.erase(std::next(on).base());
  }
  // By frame, then note-offs before note-ons, each in the order sent. Frames
  // that share a block keep this order when the block applies them.
  const auto order = [](const Event& e) { return std::pair(e.frame, e.kind); };
  const auto at =
      std::upper_bound(pending_.begin(), pending_.end(), event,
                       [&](const Event& a, const Event& b) { return order(a) < order(b); });
  pending_.insert(at, event);
}

void Synth::Apply(const Event& event) {
  switch (event.kind) {
    case Kind::kNoteOn:
      fluid_synth_noteon(synth_.get(), event.channel, event.note, event.velocity);
      break;
    case Kind::kNoteOff:
      fluid_synth_noteoff(synth_.get(), event.channel, event.note);
      break;
    case Kind::kProgram:
      fluid_synth_program_change(synth_.get(), event.channel, event.note);
      break;
    case Kind::kDrop:
      break;
  }
}

void Synth::Process(int frames, int nfx, float* fx[], int nout, float* out[]) {
  TakeQueued();
  int done = 0;
  while (done < frames) {
    const std::uint64_t now = renderedTo_ + static_cast<std::uint64_t>(done);
    std::size_t applied = 0;
    for (; applied < pending_.size() && AppliesAt(pending_[applied]) <= now; ++applied) {
      Apply(pending_[applied]);
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(applied));
    // Render up to the next event's block, or to the end of the request.
    int chunk = frames - done;
    if (!pending_.empty()) {
      chunk = static_cast<int>(std::min<std::uint64_t>(chunk, AppliesAt(pending_.front()) - now));
    }
    float* fxAt[8];
    float* outAt[8];
    const int nfxUsed = std::min(nfx, 8);
    const int noutUsed = std::min(nout, 8);
    for (int i = 0; i < nfxUsed; ++i) fxAt[i] = fx[i] + done;
    for (int i = 0; i < noutUsed; ++i) outAt[i] = out[i] + done;
    fluid_synth_process(synth_.get(), chunk, nfxUsed, fxAt, noutUsed, outAt);
    done += chunk;
  }
  renderedTo_ += static_cast<std::uint64_t>(frames);
  voices_.store(fluid_synth_get_active_voice_count(synth_.get()), std::memory_order_relaxed);
  renderedAt_.store(std::chrono::steady_clock::now().time_since_epoch().count(),
                    std::memory_order_relaxed);
  frames_.store(renderedTo_, std::memory_order_release);
}

}  // namespace quillotone
