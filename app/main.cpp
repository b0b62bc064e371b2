// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QtGlobal>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/App.h"
#include "app/CommandLine.h"
#include "app/Translations.h"
#include "app/render/Render.h"
#include "framework/Printable.h"

namespace {

// Without a display Qt would abort with a core dump; say what is wrong instead.
bool HasDisplay() {
  for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

// Qt's list of the platform plugins it has, in its fatal message, lacks
// Wayland's while a Wayland session is what there is to reach.
bool WaylandPluginMissing(const QString& fatal) {
  const qsizetype list = fatal.indexOf(QLatin1StringView("Available platform plugins are:"));
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  const bool wanted = platform != nullptr
                          ? QLatin1StringView(platform).startsWith(QLatin1StringView("wayland"))
                          : std::getenv("WAYLAND_DISPLAY") != nullptr;
  return wanted && list >= 0 && !fatal.mid(list).contains(QLatin1StringView("wayland"));
}

// What the handler says, made beforehand: the application that fails has
// no translations installed yet.
struct DisplayFailure {
  std::string pluginMissing;
  std::string unreachable;
};
DisplayFailure& DisplayFailureLines() {
  static DisplayFailure lines;
  return lines;
}

// While the terminal's application starts: Qt says in four lines that the
// locale is not UTF-8 (C, where none is set, or one not installed) and that
// it took C.UTF-8 instead, which it does anyway. Not for the terminal, where
// a mistake is one line.
void QuietAboutTheLocale(QtMsgType type, const QMessageLogContext& context,
                         const QString& message) {
  if (type == QtWarningMsg && message.startsWith(QLatin1StringView("Detected locale"))) return;
  std::cerr << qFormatLogMessage(type, context, message).toStdString() << '\n';
}

// One line on stderr, in the user's language.
std::string Line(const QString& text) { return "quillotone: " + text.toStdString() + '\n'; }

void PrepareDisplayFailures() {
  QString variables;
  for (const char* variable : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DISPLAY"}) {
    if (const char* value = std::getenv(variable)) {
      if (!variables.isEmpty()) variables += QLatin1StringView(", ");
      variables += QString::fromStdString(variable + ('=' + quillotone::Printable(value)));
    }
  }
  DisplayFailureLines() = {
      .pluginMissing = Line(QCoreApplication::translate(
          "main",
          "Qt's Wayland platform plugin is not installed: install the Debian package qt6-wayland "
          "(or set DISPLAY to run through XWayland).")),
      .unreachable = Line(QCoreApplication::translate(
                              "main",
                              "the display cannot be reached (%1). Run it from a desktop session, "
                              "or render to a file with --render.")
                              .arg(variables)),
  };
}

// Qt aborts, after lines of its own, when its platform cannot reach the
// display that a variable names (DISPLAY=:999, say) or has no plugin for it.
// While the application is made, that becomes one line and status 1; what
// the platform plugins say on the way is left out.
// The terminal's stderr while the platform starts, when libraries under Qt
// (libwayland) write to fd 2 themselves. Qt's message handler takes no
// context, so the handler finds it here.
int& TerminalStderr() {
  static int fd = STDERR_FILENO;
  return fd;
}

void DisplayUnreachable(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type != QtFatalMsg) return;
  std::cerr.flush();
  dup2(TerminalStderr(), STDERR_FILENO);
  std::cerr << (WaylandPluginMissing(text) ? DisplayFailureLines().pluginMissing
                                           : DisplayFailureLines().unreachable);
  std::_Exit(1);
}

// Everything before the window: the arguments read, help or a mistake
// printed, a render, the display looked for. Returns the exit status, or
// nothing when the window is to open as `invocation` asks.
std::optional<int> BeforeTheWindow(int& argc, char** argv, quillotone::Invocation& invocation) {
  // Arguments are read before the application exists, so a mistake is
  // reported even where no window could open, and --help is Qt's in English.
  const std::vector<std::string> arguments(argv, argv + argc);
  quillotone::ParsedCommandLine parsed = quillotone::ParseCommandLine(arguments);
  // What the terminal is told is in the user's language: a plain
  // application carries the translations until the window's takes over.
  qInstallMessageHandler(QuietAboutTheLocale);
  const QCoreApplication terminal(argc, argv);
  qInstallMessageHandler(nullptr);
  // Qt takes the user's locale for the C library too; numbers a library
  // writes into a render keep the form they always had.
  std::setlocale(LC_NUMERIC, "C");
  const quillotone::Translations translations(quillotone::Translations::InstalledDirectory());
  if (!parsed.error.empty()) parsed = quillotone::ParseCommandLine(arguments);
  // Help that did not reach its reader (a full disk, say) is a failure.
  if (std::fwrite(parsed.output.data(), 1, parsed.output.size(), stdout) != parsed.output.size() ||
      std::fflush(stdout) != 0) {
    const QString reason = QString::fromLocal8Bit(std::strerror(errno));
    std::cerr << Line(
        QCoreApplication::translate("main", "cannot write to standard output: %1").arg(reason));
    return 1;
  }
  std::cerr << parsed.error;
  if (!parsed.invocation) return parsed.exitStatus;
  invocation = *parsed.invocation;

  if (invocation.renders()) {
    try {
      return quillotone::Render(invocation, std::cerr);
    } catch (const std::exception& e) {
      std::cerr << Line(QCoreApplication::translate("main", "the render failed: %1")
                            .arg(QString::fromStdString(e.what())));
      return 1;
    }
  }

  if (!HasDisplay()) {
    std::cerr << Line(QCoreApplication::translate(
        "main",
        "no display to open the window on. Run it from a desktop session (DISPLAY or "
        "WAYLAND_DISPLAY set), or render to a file with --render."));
    return 1;
  }
  PrepareDisplayFailures();
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  // A reader gone or a file-size limit reached is a failed write: a render
  // says so, and the window drops its lines for the terminal and plays on.
  // Neither is a signal that ends the program without a word, or with notes
  // still sounding on a MIDI receiver.
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  quillotone::NameSoundStream();
  quillotone::Invocation invocation;
  if (const std::optional<int> status = BeforeTheWindow(argc, argv, invocation)) return *status;

  qInstallMessageHandler(DisplayUnreachable);
  TerminalStderr() = dup(STDERR_FILENO);
  const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
  dup2(devNull, STDERR_FILENO);
  close(devNull);
  quillotone::App app(argc, argv);
  dup2(TerminalStderr(), STDERR_FILENO);
  close(TerminalStderr());
  qInstallMessageHandler(nullptr);
  app.SetOptions({.seed = invocation.seed,
                  .sound = invocation.synth,
                  .mode = invocation.mode,
                  .soundFont = invocation.soundFont,
                  .midiOut = invocation.midiOut,
                  .midiClock = invocation.midiClock,
                  .midiSystem = invocation.midiSystem,
                  .audio = invocation.audio,
                  .connectPlayback = invocation.connectPlayback});
  bool startupFailed = false;
  quillotone::Main(app.StartupSteps(), [&](std::exception_ptr error) {
    app.ReportUnhandled(error);
    startupFailed = true;
  });
  return startupFailed ? 1 : app.exitStatus();
}
