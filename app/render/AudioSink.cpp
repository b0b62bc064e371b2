// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/render/AudioSink.h"

#include <algorithm>
#include <cmath>

#include "app/render/LibraryOutputMuted.h"
#include "framework/Channels.h"
#include "framework/Units.h"
#include "melody/Melody.h"

namespace quillotone {
namespace {

constexpr int kBlockFrames = 4096;
// The synth's events are tagged with who sent them; a render is one sender.
constexpr std::uint32_t kRenderSource = 1;

std::unique_ptr<Synth> OfflineSynth(const std::string& soundFont, double sampleRate) {
  SynthOptions options;
  options.soundFont = soundFont;
  options.sampleRate = sampleRate;
  const LibraryOutputMuted muted;
  auto synth = std::make_unique<Synth>(options);
  synth->ProgramChange(kNotePlayer1Channel, kRenderProgram);
  synth->ProgramChange(kNotePlayer2Channel, kRenderProgram);
  return synth;
}

}  // namespace

AudioSink::AudioSink(const std::string& soundFont, AudioFileWriter::Format format, int fd,
                     AudioFileWriter::Output output)
    : synth_(OfflineSynth(soundFont,
                          format == AudioFileWriter::Format::Opus ? kOpusRate : kSampleRate)),
      writer_(fd, format, static_cast<int>(synth_->sampleRate()), output) {}

void AudioSink::Note(double micros, int channel, int note, int velocity) {
  // Everything before this note is rendered first, so the synth's queue
  // holds only the notes of one moment; each applies at its own frame.
  RenderUpTo(lastNoteFrame_);
  lastNoteFrame_ = FrameOf(micros);
  synth_->NoteAt(lastNoteFrame_, channel, note, velocity, kRenderSource);
}

void AudioSink::End(double micros) {
  RenderUpTo(FrameOf(micros));
  for (int channel : {kNotePlayer1Channel, kNotePlayer2Channel}) {
    for (int note = kLowestSweptNote; note <= kHighestSweptNote; ++note) {
      synth_->NoteNow(channel, note, 0);
    }
  }
  // The release and the reverb's tail, until a whole block rounds to silence.
  const auto maxFrames = static_cast<std::uint64_t>(kMaxReleaseSeconds * rate());
  for (std::uint64_t tail = 0; tail < maxFrames; tail += kBlockFrames) {
    if (RenderBlock(kBlockFrames)) break;
  }
}

void AudioSink::Finish() { writer_.Finish(); }

std::uint64_t AudioSink::FrameOf(double micros) const {
  return static_cast<std::uint64_t>(std::llround(micros * rate() / kMicrosPerSecond));
}

void AudioSink::RenderUpTo(std::uint64_t frame) {
  while (writer_.frames() < frame) {
    RenderBlock(
        static_cast<std::size_t>(std::min<std::uint64_t>(frame - writer_.frames(), kBlockFrames)));
  }
}

bool AudioSink::RenderBlock(std::size_t frames) {
  left_.assign(frames, 0.0f);
  right_.assign(frames, 0.0f);
  {
    // Samples load as notes first need them, and may fail then.
    const LibraryOutputMuted muted;
    synth_->Render(left_, right_);
  }
  writer_.Write(left_, right_);
  constexpr float kHalfLsb = 0.5f / 32767.0f;
  for (std::size_t i = 0; i < frames; ++i) {
    if (std::abs(left_[i]) >= kHalfLsb || std::abs(right_[i]) >= kHalfLsb) return false;
  }
  return true;
}

}  // namespace quillotone
