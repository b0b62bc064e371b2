// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/render/RenderFormat.h"
#include "framework/audio/AudioSystem.h"
#include "framework/files/MidiFileWriter.h"
#include "framework/midi/MidiOutput.h"

namespace quillotone {

// What the user asked for on the command line.
struct Invocation {
  // Popup row to preselect (and the mode a render plays).
  int mode = 0;
  // Fixed seed: the same melody at every start.
  std::optional<std::uint64_t> seed;
  // Empty: QUILLOTONE_SOUNDFONT, or the system's default SoundFont. The
  // path's bytes as given.
  std::string soundFont;
  // Empty: open the window. Otherwise render this much melody to this file
  // (its bytes as given), or to standard output for "-".
  std::string renderPath;
  RenderFormat renderFormat = kRenderFormats[0];
  double renderMicros = 0.0;
  bool midiOut = false;
  // With midiOut: the MIDI system asked for (--midi-out=jack or alsa).
  MidiSystem midiSystem = MidiSystem::kAny;
  // With midiOut: MIDI clock too.
  bool midiClock = false;
  bool synth = true;
  // Where the synth is heard; with kJack, whether its ports are connected to
  // the system's playback.
  AudioSystem audio = AudioSystem::kAny;
  bool connectPlayback = true;

  [[nodiscard]] bool renders() const { return !renderPath.empty(); }
};

// Either an invocation to carry out, or an exit status with what to print.
struct ParsedCommandLine {
  std::optional<Invocation> invocation;
  int exitStatus = 0;
  std::string output;  // for stdout: help, version
  std::string error;   // one line for stderr
};

// Exit status for what the command line got wrong, found before a render
// starts; a render that fails once started exits with kRenderFailed.
inline constexpr int kUsageError = 2;
inline constexpr int kRenderFailed = 1;

// The render path that means standard output.
inline constexpr char kStandardOutput[] = "-";

// The longest render, in every format: a MIDI file's delta times run out
// soon after 77 h 40 min.
inline constexpr double kMaxRenderSeconds = 77 * 3600;
static_assert(kMaxRenderSeconds * 1e6 <= MidiFileWriter::kMaxMicros);

// Reads the arguments (the program's name first, each as the bytes the
// system gave) GNU style. Needs no application object, so a mistake is
// reported even where no window opens. A mistake is told in the language of
// the translations installed, if any; so are Qt's own words in the help
// ("Usage:"), which is therefore read with none.
[[nodiscard]] ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

}  // namespace quillotone
