#pragma once

#include <QStringList>
#include <cstdint>
#include <optional>
#include <string>

namespace quillotone {

// What the user asked for on the command line.
struct Invocation {
  enum class Format { Wav, Midi };

  // Popup row to preselect (and the mode a render plays).
  int mode = 0;
  // Fixed seed: the same melody at every start.
  std::optional<std::uint64_t> seed;
  // Empty: the system's default SoundFont.
  std::string soundFont;
  // Empty: open the window. Otherwise render this much melody to this file.
  std::string renderPath;
  Format renderFormat = Format::Wav;
  double renderMicros = 0.0;
  bool midiOut = false;
  bool synth = true;

  [[nodiscard]] bool renders() const { return !renderPath.empty(); }
};

// Either an invocation to carry out, or an exit status with what to print.
struct ParsedCommandLine {
  std::optional<Invocation> invocation;
  int exitStatus = 0;
  std::string output;  // for stdout: help, version
  std::string error;   // one line for stderr
};

// Exit status for a command line the program cannot carry out.
inline constexpr int kUsageError = 2;

// The longest renders: a WAV file's sizes are 32-bit, and a MIDI render is
// held in memory until it is written.
inline constexpr double kMaxWavSeconds = 6 * 3600 + 45 * 60;
inline constexpr double kMaxRenderSeconds = 100 * 3600;

// Reads the arguments (the program's name first) GNU style. Needs no
// application object, so a mistake is reported even where no window opens.
[[nodiscard]] ParsedCommandLine ParseCommandLine(const QStringList& arguments);

}  // namespace quillotone
