// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/render/NoteSink.h"
#include "framework/audio/Synth.h"
#include "framework/files/AudioFileWriter.h"

namespace quillotone {

// The notes played by FluidSynth, offline, and encoded block by block as
// they are rendered.
class AudioSink final : public NoteSink {
 public:
  static constexpr double kSampleRate = 44100.0;
  // Opus knows no 44.1 kHz; its own rate spares a resampling.
  static constexpr double kOpusRate = 48000.0;
  // After the last note-off the audio runs on until it is silent, or this long.
  static constexpr double kMaxReleaseSeconds = 5.0;

  // Throws SynthError (the SoundFont) and AudioFileError (the output).
  AudioSink(const std::string& soundFont, AudioFileWriter::Format format, int fd,
            AudioFileWriter::Output output);

  void Note(double micros, int channel, int note, int velocity) override;
  void End(double micros) override;
  void Finish() override;

 private:
  [[nodiscard]] double rate() const { return synth_->sampleRate(); }
  [[nodiscard]] std::uint64_t FrameOf(double micros) const;
  void RenderUpTo(std::uint64_t frame);
  // True if the block was silent at 16 bits.
  bool RenderBlock(std::size_t frames);

  std::unique_ptr<Synth> synth_;
  AudioFileWriter writer_;
  std::uint64_t lastNoteFrame_ = 0;
  std::vector<float> left_;
  std::vector<float> right_;
};

}  // namespace quillotone
