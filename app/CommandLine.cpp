// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

#include "framework/Printable.h"
#include "framework/Units.h"
#include "framework/audio/SoundFontFile.h"
#include "melody/Melody.h"
#include "melody/Modes.h"

namespace quillotone {
namespace {

// Arguments are bytes, and file names need not be UTF-8. Qt's parser sees
// each byte from 0x80 up as a private-use character of its own, so every
// value comes back out exactly as it went in, and so does a name Qt's own
// message quotes amid that message's words in the user's language.
constexpr char16_t kByteBase = 0xF700;
constexpr char16_t kFirstByte = kByteBase + 0x80;
constexpr char16_t kLastByte = kByteBase + 0xFF;

QString FromBytes(const std::string& bytes) {
  QString text;
  for (const char byte : bytes) {
    const auto code = static_cast<unsigned char>(byte);
    text += QChar(code < 0x80 ? char16_t{code} : static_cast<char16_t>(kByteBase + code));
  }
  return text;
}

std::string Bytes(const QString& text) {
  std::string bytes;
  qsizetype written = 0;
  const auto writeUpTo = [&](qsizetype end) {
    bytes += QStringView(text).sliced(written, end - written).toUtf8().toStdString();
  };
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t code = text[i].unicode();
    if (code < kFirstByte || code > kLastByte) continue;
    writeUpTo(i);
    bytes += static_cast<char>(code - kByteBase);
    written = i + 1;
  }
  writeUpTo(text.size());
  return bytes;
}

// `message`: in the user's language, the user's own bytes in it as FromBytes
// gives them.
ParsedCommandLine Fail(const QString& message) {
  return {
      .invocation = std::nullopt,
      .exitStatus = kUsageError,
      .output = {},
      .error =
          "quillotone: " +
          Printable(Bytes(QCoreApplication::translate("CommandLine", "%1 (see quillotone --help)")
                              .arg(message))) +
          "\n"};
}

QString Quoted(const QString& text) { return QLatin1Char('"') + text + QLatin1Char('"'); }

std::string ModeNames() {
  std::string names;
  for (const Mode& mode : kModes)
    names += (names.empty() ? "" : ", ") + std::string(ShortName(mode));
  return names;
}

std::optional<RenderFormat> FormatOfPath(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return std::nullopt;
  return RenderFormatNamed(path.substr(dot + 1));
}

// One rule for every number: digits, and for seconds one decimal point
// between digits; no sign, no spaces, no exponent.
bool Digits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<std::uint64_t> WholeNumber(const std::string& text) {
  std::uint64_t value = 0;
  if (!Digits(text)) return std::nullopt;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<double> DecimalNumber(const std::string& text) {
  const std::size_t point = text.find('.');
  if (!Digits(std::string_view(text).substr(0, point))) return std::nullopt;
  if (point != std::string::npos && !Digits(std::string_view(text).substr(point + 1))) {
    return std::nullopt;
  }
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "Plays an endless melody in a mode or scale of your choice. With no options it opens\n"
      "its window; with --render it writes the melody to a file instead.\n"
      "Exit status: 0 done; 2 a mistake on the command line, or a SoundFont or file it names\n"
      "that cannot be used (nothing is rendered); 1 a render that failed while writing."));
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Show this help and exit."));
  const QCommandLineOption version(QStringLiteral("version"),
                                   QStringLiteral("Show the version and exit."));
  const QCommandLineOption mode(QStringLiteral("mode"),
                                QStringLiteral("The mode or scale to play: %1. Default: dorian.")
                                    .arg(QString::fromStdString(ModeNames())),
                                QStringLiteral("name"));
  const QCommandLineOption seed(
      QStringLiteral("seed"),
      QStringLiteral("Play the same melody at every start, drawn from <number>. Without it each "
                     "start draws a fresh seed and prints it."),
      QStringLiteral("number"));
  const QCommandLineOption soundFont(
      QStringLiteral("soundfont"),
      QStringLiteral("The SoundFont (.sf2/.sf3) to play with instead of QUILLOTONE_SOUNDFONT or "
                     "the system's default."),
      QStringLiteral("path"));
  const QCommandLineOption render(
      QStringLiteral("render"),
      QStringLiteral(
          "Open no window: write the melody to <file> (- for standard output, not a terminal), "
          "as fast as the machine allows. Its extension chooses the format: .wav (16-bit "
          "stereo), .flac, .ogg (Vorbis), .opus, .mp3, or .mid (a Standard MIDI File). The "
          "same arguments give the same bytes in .wav, .flac and .mid; .ogg, .opus and .mp3 "
          "give the same audio in bytes that may differ. Needs --cycles or --seconds."),
      QStringLiteral("file"));
  const QCommandLineOption format(
      QStringLiteral("format"),
      QStringLiteral("With --render: the format (%1), whatever the file's extension; needed "
                     "for standard output.")
          .arg(QString::fromStdString(RenderFormatList())),
      QStringLiteral("name"));
  const QCommandLineOption cycles(
      QStringLiteral("cycles"),
      QStringLiteral("With --render: this many cycles of the melody (8 seconds each)."),
      QStringLiteral("n"));
  const QCommandLineOption seconds(
      QStringLiteral("seconds"),
      QStringLiteral("With --render: this many seconds of melody, at most %1 (%2 hours). "
                     "Numbers are digits only, here with a decimal point if need be.")
          .arg(static_cast<int>(kMaxRenderSeconds))
          .arg(static_cast<int>(kMaxRenderSeconds / 3600)),
      QStringLiteral("s"));
  const QCommandLineOption midiOut(
      QStringLiteral("midi-out"),
      QStringLiteral("Also send the notes to a MIDI output port named Quillotone: on JACK when "
                     "a JACK server runs (jackd or PipeWire's), else on the ALSA sequencer. "
                     "--midi-out=jack or --midi-out=alsa insists on one, and ends with status 2 "
                     "where it is not there."));
  // What --midi-out=SYSTEM names: QCommandLineParser knows no option whose
  // value may be left out, so the arguments carry it here.
  const QCommandLineOption midiSystem = [] {
    QCommandLineOption option(QStringLiteral("midi-out-system"), QString(),
                              QStringLiteral("system"));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    return option;
  }();
  const QCommandLineOption midiClock(
      QStringLiteral("midi-clock"),
      QStringLiteral("With --midi-out: also send MIDI clock, so a drum machine or DAW follows: "
                     "Start when a melody starts, 24 Timing Clocks a quarter note at 120 bpm "
                     "(a long step is an eighth note), Stop when it stops."));
  const QCommandLineOption noSynth(
      QStringLiteral("no-synth"),
      QStringLiteral("With --midi-out: silence the built-in synthesizer."));
  const QCommandLineOption audio(
      QStringLiteral("audio"),
      QStringLiteral("Where the synthesizer is heard: jack (a client of a running JACK server, "
                     "jackd or PipeWire's, rendering in its process callback; with --midi-out "
                     "the MIDI port is on the same client), pulse (PulseAudio or PipeWire's "
                     "pulse service) or alsa (the sound card itself). Without it: pulse, else "
                     "alsa."),
      QStringLiteral("system"));
  const QCommandLineOption noConnect(
      QStringLiteral("no-connect"),
      QStringLiteral("With --audio jack: leave the audio ports unconnected, for a patchbay or "
                     "a DAW to connect, instead of connecting them to the system's playback."));
  for (const QCommandLineOption* option :
       {&help, &version, &mode, &seed, &soundFont, &render, &format, &cycles, &seconds, &midiOut,
        &midiSystem, &midiClock, &noSynth, &audio, &noConnect}) {
    parser.addOption(*option);
  }

  QStringList texts;
  bool options = true;
  for (const std::string& argument : arguments) {
    const QString text = FromBytes(argument);
    const QString midiOutWith = QStringLiteral("--midi-out=");
    if (options && text.startsWith(midiOutWith)) {
      texts << QStringLiteral("--midi-out") << QStringLiteral("--midi-out-system")
            << text.mid(midiOutWith.size());
      continue;
    }
    options = options && text != QStringLiteral("--");
    texts << text;
  }
  if (!parser.parse(texts)) return Fail(parser.errorText());
  if (!parser.positionalArguments().isEmpty()) {
    return Fail(QCoreApplication::translate("CommandLine", "unexpected argument %1")
                    .arg(Quoted(parser.positionalArguments()[0])));
  }
  if (parser.isSet(help)) {
    // Without an application object Qt cannot name the program itself.
    return {.invocation = std::nullopt,
            .exitStatus = 0,
            .output = Bytes(parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                      QStringLiteral("quillotone"))),
            .error = {}};
  }
  if (parser.isSet(version)) {
    return {.invocation = std::nullopt,
            .exitStatus = 0,
            .output = "quillotone " QUILLOTONE_VERSION "\n",
            .error = {}};
  }
  const auto value = [&](const QCommandLineOption& option) { return Bytes(parser.value(option)); };
  const auto quoted = [&](const QCommandLineOption& option) {
    return Quoted(parser.value(option));
  };
  // The last two of a list joined as the user's language joins them.
  const std::string orWord =
      QCoreApplication::translate("CommandLine", "or", "joins the last two of a list: mp3 or mid")
          .toStdString();
  const QString formats = QString::fromStdString(RenderFormatList({}, orWord));

  Invocation invocation;
  if (parser.isSet(mode)) {
    const Mode* found = ModeNamed(value(mode));
    if (found == nullptr) {
      return Fail(QCoreApplication::translate("CommandLine", "unknown mode %1; choose one of: %2")
                      .arg(quoted(mode), QString::fromStdString(ModeNames())));
    }
    invocation.mode = found->index;
  }
  if (parser.isSet(seed)) {
    invocation.seed = WholeNumber(value(seed));
    if (!invocation.seed) {
      return Fail(
          QCoreApplication::translate(
              "CommandLine",
              "--seed needs a whole number from 0 to 18446744073709551615 in digits, not %1")
              .arg(quoted(seed)));
    }
  }
  if (parser.isSet(soundFont)) {
    // Looked at now, so a wrong file is refused before any window opens.
    if (const std::optional<std::string> problem = SoundFontProblem(value(soundFont))) {
      return Fail(QStringLiteral("--soundfont: ") + QString::fromStdString(*problem));
    }
    invocation.soundFont = value(soundFont);
  }
  invocation.midiOut = parser.isSet(midiOut);
  if (parser.isSet(midiSystem)) {
    const std::string name = value(midiSystem);
    if (name != "jack" && name != "alsa") {
      return Fail(QCoreApplication::translate(
                      "CommandLine", "unknown MIDI system %1 for --midi-out; choose jack or alsa")
                      .arg(quoted(midiSystem)));
    }
    invocation.midiSystem = name == "jack" ? MidiSystem::kJack : MidiSystem::kAlsa;
  }
  invocation.midiClock = parser.isSet(midiClock);
  invocation.synth = !parser.isSet(noSynth);
  if (invocation.midiClock && !invocation.midiOut) {
    return Fail(QCoreApplication::translate(
        "CommandLine", "--midi-clock needs --midi-out, the port it is sent on"));
  }
  if (!invocation.synth && !invocation.midiOut) {
    return Fail(QCoreApplication::translate("CommandLine",
                                            "--no-synth needs --midi-out, or nothing would sound"));
  }
  if (parser.isSet(audio)) {
    const std::string name = value(audio);
    if (name != "jack" && name != "pulse" && name != "alsa") {
      return Fail(QCoreApplication::translate(
                      "CommandLine", "unknown sound system %1 for --audio; choose jack, pulse or alsa")
                      .arg(quoted(audio)));
    }
    invocation.audio = name == "jack" ? AudioSystem::kJack
                       : name == "pulse" ? AudioSystem::kPulse
                                         : AudioSystem::kAlsa;
    if (!invocation.synth || parser.isSet(render)) {
      return Fail(QCoreApplication::translate(
          "CommandLine", "--audio plays the built-in synthesizer live: leave out --no-synth and --render"));
    }
  }
  invocation.connectPlayback = !parser.isSet(noConnect);
  if (!invocation.connectPlayback && invocation.audio != AudioSystem::kJack) {
    return Fail(QCoreApplication::translate("CommandLine", "--no-connect goes with --audio jack"));
  }
  if (invocation.audio == AudioSystem::kJack && invocation.midiSystem == MidiSystem::kAlsa) {
    return Fail(QCoreApplication::translate(
        "CommandLine",
        "--midi-out=alsa does not go with --audio jack: the MIDI port is then on the synth's JACK "
        "client, on JACK's clock"));
  }

  if (!parser.isSet(render)) {
    if (parser.isSet(cycles) || parser.isSet(seconds) || parser.isSet(format)) {
      return Fail(QCoreApplication::translate("CommandLine",
                                              "--cycles, --seconds and --format go with --render"));
    }
    return {.invocation = invocation, .exitStatus = 0, .output = {}, .error = {}};
  }

  const std::string path = value(render);
  std::optional<RenderFormat> chosen;
  if (parser.isSet(format)) {
    chosen = RenderFormatNamed(value(format));
    if (!chosen) {
      return Fail(QCoreApplication::translate("CommandLine", "unknown format %1; choose %2")
                      .arg(quoted(format), formats));
    }
  } else if (path == kStandardOutput) {
    return Fail(QCoreApplication::translate("CommandLine",
                                            "--render - (standard output) needs --format: %1")
                    .arg(formats));
  } else {
    chosen = FormatOfPath(path);
    if (!chosen) {
      return Fail(QCoreApplication::translate("CommandLine",
                                              "cannot render to %1: the file name must end in %2, "
                                              "or name the format with --format")
                      .arg(quoted(render), QString::fromStdString(RenderFormatList(".", orWord))));
    }
  }
  if (invocation.midiOut) {
    return Fail(
        QCoreApplication::translate("CommandLine", "--render and --midi-out exclude each other"));
  }
  if (parser.isSet(cycles) == parser.isSet(seconds)) {
    return Fail(QCoreApplication::translate(
        "CommandLine", "--render needs either --cycles or --seconds (one of them)"));
  }
  double micros = 0.0;
  if (parser.isSet(cycles)) {
    const std::optional<std::uint64_t> n = WholeNumber(value(cycles));
    const auto maxCycles =
        static_cast<std::uint64_t>(kMaxRenderSeconds * kMicrosPerSecond / kCycleMicros);
    if (!n || *n < 1 || *n > maxCycles) {
      return Fail(QCoreApplication::translate(
                      "CommandLine", "--cycles needs a whole number from 1 to %1 in digits, not %2")
                      .arg(QString::number(maxCycles), quoted(cycles)));
    }
    micros = static_cast<double>(*n) * kCycleMicros;
  } else {
    const std::optional<double> s = DecimalNumber(value(seconds));
    if (!s || *s <= 0.0 || *s > kMaxRenderSeconds) {
      return Fail(QCoreApplication::translate(
                      "CommandLine",
                      "--seconds needs a number above 0 and at most %1 (%2 hours) in digits, with "
                      "a decimal point if need be, not %3")
                      .arg(QString::number(static_cast<int>(kMaxRenderSeconds)),
                           QString::number(static_cast<int>(kMaxRenderSeconds / 3600)),
                           quoted(seconds)));
    }
    micros = std::max(1.0, std::round(*s * kMicrosPerSecond));
  }
  invocation.renderPath = path;
  invocation.renderFormat = *chosen;
  invocation.renderMicros = micros;
  return {.invocation = invocation, .exitStatus = 0, .output = {}, .error = {}};
}

}  // namespace quillotone
