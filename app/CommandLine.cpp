#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "framework/SoundFontFile.h"
#include "melody/Melody.h"
#include "melody/Modes.h"

namespace quillotone {
namespace {

constexpr double kMicrosPerSecond = 1'000'000.0;

ParsedCommandLine Fail(const QString& message) {
  return {.invocation = std::nullopt,
          .exitStatus = kUsageError,
          .output = {},
          .error = "quillotone: " + message.toStdString() + " (see quillotone --help)\n"};
}

QString ModeNames() {
  QStringList names;
  for (const Mode& mode : kModes) {
    const std::string_view name = ShortName(mode);
    names << QString::fromUtf8(name.data(), static_cast<int>(name.size()));
  }
  return names.join(QStringLiteral(", "));
}

QString Quoted(const QString& text) { return QLatin1Char('"') + text + QLatin1Char('"'); }

// "1 h 30 min" style, for the limits in messages.
QString Duration(double seconds) {
  const int minutes = static_cast<int>(seconds / 60);
  return QStringLiteral("%1 h %2 min").arg(minutes / 60).arg(minutes % 60);
}

std::optional<Invocation::Format> FormatOf(const QString& path) {
  const QString lower = path.toLower();
  if (lower.endsWith(QStringLiteral(".wav"))) return Invocation::Format::Wav;
  if (lower.endsWith(QStringLiteral(".mid")) || lower.endsWith(QStringLiteral(".midi"))) {
    return Invocation::Format::Midi;
  }
  return std::nullopt;
}

}  // namespace

ParsedCommandLine ParseCommandLine(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "Plays an endless melody in a mode or scale of your choice. With no options it opens\n"
      "its window; with --render it writes the melody to a file instead."));
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Show this help and exit."));
  const QCommandLineOption version(QStringLiteral("version"),
                                   QStringLiteral("Show the version and exit."));
  const QCommandLineOption mode(
      QStringLiteral("mode"),
      QStringLiteral("The mode or scale to play: %1. Default: dorian.").arg(ModeNames()),
      QStringLiteral("name"));
  const QCommandLineOption seed(
      QStringLiteral("seed"),
      QStringLiteral("Play the same melody at every start, drawn from <number>. Without it each "
                     "start draws a fresh seed and prints it."),
      QStringLiteral("number"));
  const QCommandLineOption soundFont(
      QStringLiteral("soundfont"),
      QStringLiteral("The SoundFont (.sf2/.sf3) to play with instead of the system's default."),
      QStringLiteral("path"));
  const QCommandLineOption render(
      QStringLiteral("render"),
      QStringLiteral("Open no window: write the melody to <file>, as fast as the machine allows. "
                     ".wav: 16-bit stereo audio; .mid: a Standard MIDI File. Needs --cycles or "
                     "--seconds."),
      QStringLiteral("file"));
  const QCommandLineOption cycles(
      QStringLiteral("cycles"),
      QStringLiteral("With --render: this many cycles of the melody (8 seconds each)."),
      QStringLiteral("n"));
  const QCommandLineOption seconds(QStringLiteral("seconds"),
                                   QStringLiteral("With --render: this many seconds of melody."),
                                   QStringLiteral("s"));
  const QCommandLineOption midiOut(
      QStringLiteral("midi-out"),
      QStringLiteral("Also send the notes to a MIDI output port named Quillotone (ALSA "
                     "sequencer, or JACK where ALSA has none)."));
  const QCommandLineOption noSynth(
      QStringLiteral("no-synth"),
      QStringLiteral("With --midi-out: silence the built-in synthesizer."));
  for (const QCommandLineOption* option : {&help, &version, &mode, &seed, &soundFont, &render,
                                           &cycles, &seconds, &midiOut, &noSynth}) {
    parser.addOption(*option);
  }

  if (!parser.parse(arguments)) return Fail(parser.errorText());
  if (!parser.positionalArguments().isEmpty()) {
    return Fail(QStringLiteral("unexpected argument ") + Quoted(parser.positionalArguments()[0]));
  }
  if (parser.isSet(help)) {
    // Without an application object Qt cannot name the program itself.
    return {
        .invocation = std::nullopt,
        .exitStatus = 0,
        .output = parser.helpText()
                      .replace(QStringLiteral("<executable_name>"), QStringLiteral("quillotone"))
                      .toStdString(),
        .error = {}};
  }
  if (parser.isSet(version)) {
    return {.invocation = std::nullopt, .exitStatus = 0, .output = "quillotone 1.0\n", .error = {}};
  }

  Invocation invocation;
  if (parser.isSet(mode)) {
    const Mode* found = ModeNamed(parser.value(mode).toStdString());
    if (found == nullptr) {
      return Fail(QStringLiteral("unknown mode %1; choose one of: %2")
                      .arg(Quoted(parser.value(mode)), ModeNames()));
    }
    invocation.mode = found->index;
  }
  if (parser.isSet(seed)) {
    bool ok = false;
    invocation.seed = parser.value(seed).toULongLong(&ok);
    if (!ok || parser.value(seed).trimmed() != parser.value(seed)) {
      return Fail(
          QStringLiteral("--seed needs a whole number from 0 to 18446744073709551615, not ") +
          Quoted(parser.value(seed)));
    }
  }
  if (parser.isSet(soundFont)) {
    const QString path = parser.value(soundFont);
    // Looked at now, so a wrong file is refused before any window opens.
    if (const std::optional<std::string> problem = SoundFontProblem(path.toStdString())) {
      return Fail(QStringLiteral("--soundfont: ") + QString::fromStdString(*problem));
    }
    invocation.soundFont = path.toStdString();
  }
  invocation.midiOut = parser.isSet(midiOut);
  invocation.synth = !parser.isSet(noSynth);
  if (!invocation.synth && !invocation.midiOut) {
    return Fail(QStringLiteral("--no-synth needs --midi-out, or nothing would sound"));
  }

  if (!parser.isSet(render)) {
    if (parser.isSet(cycles) || parser.isSet(seconds)) {
      return Fail(QStringLiteral("--cycles and --seconds go with --render"));
    }
    return {.invocation = invocation, .exitStatus = 0, .output = {}, .error = {}};
  }

  const QString path = parser.value(render);
  const std::optional<Invocation::Format> format = FormatOf(path);
  if (!format) {
    return Fail(QStringLiteral("cannot render to ") + Quoted(path) +
                QStringLiteral(": the file name must end in .wav or .mid"));
  }
  if (invocation.midiOut) return Fail(QStringLiteral("--render and --midi-out exclude each other"));
  if (parser.isSet(cycles) == parser.isSet(seconds)) {
    return Fail(QStringLiteral("--render needs either --cycles or --seconds (one of them)"));
  }
  const double limit = *format == Invocation::Format::Wav ? kMaxWavSeconds : kMaxRenderSeconds;
  double micros = 0.0;
  if (parser.isSet(cycles)) {
    bool ok = false;
    const qulonglong n = parser.value(cycles).toULongLong(&ok);
    const qulonglong maxCycles = static_cast<qulonglong>(limit * kMicrosPerSecond / kCycleMicros);
    if (!ok || n < 1 || n > maxCycles) {
      return Fail(QStringLiteral("--cycles needs a whole number from 1 to %1 for this file type, "
                                 "not %2")
                      .arg(maxCycles)
                      .arg(Quoted(parser.value(cycles))));
    }
    micros = static_cast<double>(n) * kCycleMicros;
  } else {
    bool ok = false;
    const double s = parser.value(seconds).toDouble(&ok);
    if (!ok || !std::isfinite(s) || s <= 0.0 || s > limit) {
      return Fail(QStringLiteral("--seconds needs a number above 0 and at most %1 (%2) for this "
                                 "file type, not %3")
                      .arg(limit)
                      .arg(Duration(limit), Quoted(parser.value(seconds))));
    }
    micros = std::max(1.0, std::round(s * kMicrosPerSecond));
  }
  invocation.renderPath = path.toStdString();
  invocation.renderFormat = *format;
  invocation.renderMicros = micros;
  return {.invocation = invocation, .exitStatus = 0, .output = {}, .error = {}};
}

}  // namespace quillotone
