// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/audio/Synth.h"

#include <fluidsynth.h>

#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "framework/Printable.h"
#include "framework/audio/FluidLog.h"
#include "framework/audio/SoundFontChoice.h"
#include "framework/audio/SoundFontFile.h"
#include "framework/midi/Midi.h"

namespace quillotone {
namespace {

constexpr int kPercussionChannel = 9;
// FluidSynth's default gain (0.2) leaves a lone piano line near -42 dBFS;
// this brings it to a comfortable level with room for the loudest chords.
constexpr double kGain = 0.6;
// FluidSynth's most buffers of each kind in one call.
constexpr int kMaxBuffers = 8;

bool ValidNote(int channel, int note, int velocity) {
  return midi::IsData(note) && midi::IsData(velocity) && channel >= 0 && channel < midi::kChannels;
}

}  // namespace

void Synth::Deleter::operator()(fluid_settings_t* p) const { delete_fluid_settings(p); }
void Synth::Deleter::operator()(fluid_synth_t* p) const { delete_fluid_synth(p); }

Synth::Synth(const SynthOptions& options)
    : sampleRate_(options.sampleRate), events_(options.startFrame, kBlockFrames) {
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
  fluid_settings_setint(settings_.get(), "synth.threadsafe-api", 0);
  // Only the samples of the instruments in use are read into memory, not the
  // whole SoundFont: a few MB for a piano instead of 148 MB for FluidR3_GM.
  fluid_settings_setint(settings_.get(), "synth.dynamic-sample-loading", 1);

  synth_.reset(new_fluid_synth(settings_.get()));
  if (!synth_) throw SynthError("FluidSynth could not create a synthesizer (out of memory).");
  // General MIDI's percussion channel would select a drum kit when the
  // SoundFont loads, and keep its samples in memory (10 MB of FluidR3_GM's)
  // though no note is ever played on it. It holds a melodic program instead.
  fluid_synth_set_channel_type(synth_.get(), kPercussionChannel, CHANNEL_TYPE_MELODIC);
  fluid_synth_bank_select(synth_.get(), kPercussionChannel, 0);

  const std::string soundFont = ChooseSoundFont(options.soundFont).path;
  // FluidSynth would wait forever on a pipe and cannot say what is wrong with
  // a damaged file; look first.
  if (std::optional<std::string> problem = SoundFontProblem(soundFont)) throw SynthError(*problem);
  // What FluidSynth says of a file it cannot load is in our message below.
  bool loaded = false;
  {
    CapturedLog said;
    const CapturedLog::Scope capture(said);
    loaded = fluid_synth_sfload(synth_.get(), soundFont.c_str(), 1) != FLUID_FAILED;
  }
  if (!loaded) {
    std::error_code error;
    const QString named = QString::fromStdString(Printable(soundFont));
    if (!std::filesystem::is_regular_file(soundFont, error)) {
      throw SynthError(QCoreApplication::translate(
                           "Synth",
                           "SoundFont not found: %1. Name an existing .sf2 file (--soundfont or "
                           "%2), or neither to use the system's (sudo apt-get install "
                           "fluid-soundfont-gm).")
                           .arg(named, QLatin1StringView(kSoundFontVariable))
                           .toStdString());
    }
    throw SynthError(QCoreApplication::translate(
                         "Synth",
                         "Could not load the SoundFont %1: it is not a valid .sf2/.sf3 file. Name "
                         "a working SoundFont with --soundfont or %2.")
                         .arg(named, QLatin1StringView(kSoundFontVariable))
                         .toStdString());
  }
  frames_.store(options.startFrame, std::memory_order_release);
}

Synth::~Synth() = default;

void Synth::ProgramChange(int channel, int program) {
  // FluidSynth also takes 128, which is no General MIDI program.
  if (!midi::IsData(program) || channel < 0 || channel >= midi::kChannels) return;
  fluid_synth_program_change(synth_.get(), channel, program);
}

void Synth::NoteNow(int channel, int note, int velocity) { NoteAt(0, channel, note, velocity, 0); }

void Synth::NoteAt(std::uint64_t frame, int channel, int note, int velocity, std::uint32_t source) {
  if (!ValidNote(channel, note, velocity)) return;
  Send({.frame = frame,
        .source = source,
        .kind = velocity == 0 ? FrameEvent::Kind::kNoteOff : FrameEvent::Kind::kNoteOn,
        .channel = static_cast<std::uint8_t>(channel),
        .note = static_cast<std::uint8_t>(note),
        .velocity = static_cast<std::uint8_t>(velocity)});
}

void Synth::DropScheduled(std::uint32_t source) {
  Send({.frame = 0, .source = source, .kind = FrameEvent::Kind::kDrop});
}

void Synth::Send(const FrameEvent& event) {
  // Full only if nothing has rendered for thousands of events: an output
  // that stalled, where nothing would sound anyway.
  if (!events_.Send(event)) {
    std::fprintf(stderr,
                 "quillotone: warning: the synth's event queue is full; an event was lost\n");
  }
}

void Synth::SetSampleRate(double rate) {
  if (rate == sampleRate() || !std::isfinite(rate)) return;
  // Deprecated for changing the rate while rendering, which this never does.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  fluid_synth_set_sample_rate(synth_.get(), static_cast<float>(rate));
#pragma GCC diagnostic pop
  sampleRate_.store(rate, std::memory_order_relaxed);
}

void Synth::Silence() {
  events_.Clear();
  fluid_synth_all_sounds_off(synth_.get(), -1);
  voices_.store(fluid_synth_get_active_voice_count(synth_.get()), std::memory_order_relaxed);
}

void Synth::Render(std::span<float> left, std::span<float> right) {
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

void Synth::Process(int frames, int nfx, float* fx[], int nout, float* out[]) {
  // No separate effects buffers: reverb and chorus are mixed into the output.
  float* mixed[4] = {out[0], out[1 % nout], out[0], out[1 % nout]};
  nfx_ = nfx == 0 ? 4 : std::min(nfx, kMaxBuffers);
  fx_ = nfx == 0 ? mixed : fx;
  nout_ = std::min(nout, kMaxBuffers);
  out_ = out;
  events_.Process(frames, *this);
  voices_.store(fluid_synth_get_active_voice_count(synth_.get()), std::memory_order_relaxed);
  frames_.store(events_.renderedTo(), std::memory_order_release);
}

void Synth::Apply(const FrameEvent& event) {
  switch (event.kind) {
    case FrameEvent::Kind::kNoteOn:
      fluid_synth_noteon(synth_.get(), event.channel, event.note, event.velocity);
      break;
    case FrameEvent::Kind::kNoteOff:
      fluid_synth_noteoff(synth_.get(), event.channel, event.note);
      break;
    case FrameEvent::Kind::kDrop:
      break;
  }
}

void Synth::RenderFrames(int offset, int frames) {
  std::array<float*, kMaxBuffers> fx{};
  std::array<float*, kMaxBuffers> out{};
  for (int i = 0; i < nfx_; ++i) fx[i] = fx_[i] + offset;
  for (int i = 0; i < nout_; ++i) out[i] = out_[i] + offset;
  fluid_synth_process(synth_.get(), frames, nfx_, fx.data(), nout_, out.data());
}

}  // namespace quillotone
