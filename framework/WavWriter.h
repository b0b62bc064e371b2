#pragma once

#include <cstdint>
#include <ostream>
#include <span>

namespace quillotone {

// Writes 16-bit stereo PCM as a RIFF/WAVE file, streaming: the sizes in the
// header are filled in by Finish(), so the stream must be seekable.
class WavWriter {
 public:
  WavWriter(std::ostream& out, int sampleRate);
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // Appends frames, one sample of each channel; values beyond ±1 are clipped.
  void Write(std::span<const float> left, std::span<const float> right);
  // Completes the header. Nothing may be written after.
  void Finish();

  [[nodiscard]] std::uint64_t frames() const { return frames_; }
  // The most frames a WAV file's 32-bit sizes can describe.
  static constexpr std::uint64_t kMaxFrames = (0xFFFF'FFFFull - 36) / 4;

 private:
  void WriteHeader(std::uint32_t dataBytes);

  std::ostream& out_;
  int sampleRate_;
  std::uint64_t frames_ = 0;
};

}  // namespace quillotone
