// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/render/RenderFormat.h"

#include <algorithm>
#include <cstdint>

#include "app/render/AudioSink.h"

namespace quillotone {

std::optional<RenderFormat> RenderFormatNamed(std::string name) {
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; });
  for (const RenderFormat& format : kRenderFormats) {
    if (name == format.name) return format;
  }
  return std::nullopt;
}

std::string RenderFormatList(std::string_view prefix, std::string_view orWord) {
  std::string list;
  std::string_view last;
  for (const RenderFormat& format : kRenderFormats) {
    if (format.alias) continue;
    if (!last.empty()) list += (list.empty() ? "" : ", ") + std::string(prefix) + std::string(last);
    last = format.name;
  }
  return list + " " + std::string(orWord) + " " + std::string(prefix) + std::string(last);
}

AudioFileWriter::Format AudioFormatFor(const RenderFormat& format, double seconds) {
  if (format.audio != AudioFileWriter::Format::Wav) return format.audio;
  constexpr double kBytesPerSecond = AudioSink::kSampleRate * 2 * sizeof(std::int16_t);
  const double longest = seconds + AudioSink::kMaxReleaseSeconds + 1;
  return longest * kBytesPerSecond < AudioFileWriter::kMaxWavDataBytes
             ? AudioFileWriter::Format::Wav
             : AudioFileWriter::Format::Rf64;
}

}  // namespace quillotone
