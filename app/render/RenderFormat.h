// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "framework/files/AudioFileWriter.h"

namespace quillotone {

// A format a render can write: named by --format and by the file name's
// extension.
struct RenderFormat {
  std::string_view name;
  // A Standard MIDI File; otherwise audio, encoded as `audio`.
  bool midi = false;
  AudioFileWriter::Format audio = AudioFileWriter::Format::Wav;
  // Another name for a format listed before it, accepted but not offered.
  bool alias = false;

  friend bool operator==(const RenderFormat&, const RenderFormat&) = default;
};

// Every format, in the order they are offered.
inline constexpr RenderFormat kRenderFormats[] = {
    {.name = "wav", .audio = AudioFileWriter::Format::Wav},
    {.name = "flac", .audio = AudioFileWriter::Format::Flac},
    {.name = "ogg", .audio = AudioFileWriter::Format::Ogg},
    {.name = "opus", .audio = AudioFileWriter::Format::Opus},
    {.name = "mp3", .audio = AudioFileWriter::Format::Mp3},
    {.name = "mid", .midi = true},
    {.name = "midi", .midi = true, .alias = true},
};

// The format of that name, in any case.
[[nodiscard]] std::optional<RenderFormat> RenderFormatNamed(std::string name);
// The offered names as a list for a message, each after `prefix`, the last
// two joined by `orWord`: "wav, flac, ogg, opus, mp3 or mid".
[[nodiscard]] std::string RenderFormatList(std::string_view prefix = {},
                                           std::string_view orWord = "or");

// The audio encoding that holds `seconds` of melody: a plain WAV file unless
// it could outgrow WAV's 32-bit sizes (the release included), then RF64.
[[nodiscard]] AudioFileWriter::Format AudioFormatFor(const RenderFormat& format, double seconds);

}  // namespace quillotone
