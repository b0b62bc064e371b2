#include "framework/WavWriter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace quillotone {
namespace {

constexpr int kChannels = 2;
constexpr int kBytesPerSample = 2;
constexpr int kBitsPerSample = 16;
constexpr std::uint32_t kHeaderBytesAfterRiffSize = 36;
constexpr double kFullScale = 32767.0;

void PutU32(std::ostream& out, std::uint32_t value) {
  const std::array<char, 4> bytes = {static_cast<char>(value), static_cast<char>(value >> 8),
                                     static_cast<char>(value >> 16),
                                     static_cast<char>(value >> 24)};
  out.write(bytes.data(), bytes.size());
}

void PutU16(std::ostream& out, std::uint16_t value) {
  const std::array<char, 2> bytes = {static_cast<char>(value), static_cast<char>(value >> 8)};
  out.write(bytes.data(), bytes.size());
}

std::int16_t ToPcm(float sample) {
  // Rounded, not dithered: the same audio always gives the same bytes.
  const double clipped = std::clamp(static_cast<double>(sample), -1.0, 1.0);
  return static_cast<std::int16_t>(std::lround(clipped * kFullScale));
}

}  // namespace

WavWriter::WavWriter(std::ostream& out, int sampleRate) : out_(out), sampleRate_(sampleRate) {
  WriteHeader(0);
}

void WavWriter::WriteHeader(std::uint32_t dataBytes) {
  const auto rate = static_cast<std::uint32_t>(sampleRate_);
  out_.write("RIFF", 4);
  PutU32(out_, kHeaderBytesAfterRiffSize + dataBytes);
  out_.write("WAVEfmt ", 8);
  PutU32(out_, 16);  // size of the format chunk
  PutU16(out_, 1);   // PCM
  PutU16(out_, kChannels);
  PutU32(out_, rate);
  PutU32(out_, rate * kChannels * kBytesPerSample);
  PutU16(out_, kChannels * kBytesPerSample);
  PutU16(out_, kBitsPerSample);
  out_.write("data", 4);
  PutU32(out_, dataBytes);
}

void WavWriter::Write(std::span<const float> left, std::span<const float> right) {
  if (left.size() != right.size()) throw std::logic_error("WavWriter: channels differ in length");
  if (frames_ + left.size() > kMaxFrames) throw std::length_error("too long for a WAV file");
  std::vector<char> bytes;
  bytes.reserve(left.size() * kChannels * kBytesPerSample);
  for (std::size_t i = 0; i < left.size(); ++i) {
    for (const float sample : {left[i], right[i]}) {
      const auto pcm = static_cast<std::uint16_t>(ToPcm(sample));
      bytes.push_back(static_cast<char>(pcm));
      bytes.push_back(static_cast<char>(pcm >> 8));
    }
  }
  out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  frames_ += left.size();
}

void WavWriter::Finish() {
  out_.seekp(0);
  WriteHeader(static_cast<std::uint32_t>(frames_ * kChannels * kBytesPerSample));
  out_.seekp(0, std::ios::end);
  out_.flush();
}

}  // namespace quillotone
