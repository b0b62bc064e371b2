#include <QCommandLineParser>
#include <QStringList>
#include <cstdlib>
#include <iostream>

#include "app/App.h"

namespace {

// Without a display Qt would abort with a core dump; say what is wrong instead.
bool HasDisplay() {
  for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // Arguments are read before the application exists, so a mistake is
  // reported even where no window could open.
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Plays an endless melody in a mode or scale of your choice."));
  const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                      QStringLiteral("Show this help and exit."));
  const QCommandLineOption seedOption(
      QStringLiteral("seed"),
      QStringLiteral("Play the same melody at every start, drawn from <number>."),
      QStringLiteral("number"));
  parser.addOption(helpOption);
  parser.addOption(seedOption);
  if (!parser.parse(arguments)) {
    std::cerr << "quillotone: " << parser.errorText().toStdString() << "\nTry: quillotone --help\n";
    return 2;
  }
  if (parser.isSet(helpOption)) {
    // Without an application object Qt cannot name the program itself.
    std::cout << parser.helpText()
                     .replace(QStringLiteral("<executable_name>"), QStringLiteral("quillotone"))
                     .toStdString();
    return 0;
  }

  quillotone::App::Options options;
  if (parser.isSet(seedOption)) {
    bool ok = false;
    options.seed = parser.value(seedOption).toULongLong(&ok);
    if (!ok) {
      std::cerr << "quillotone: --seed needs a whole number from 0 up, not \""
                << parser.value(seedOption).toStdString() << "\"\n";
      return 2;
    }
  }
  if (!HasDisplay()) {
    std::cerr << "quillotone: no display to open the window on. Run it from a desktop session "
                 "(DISPLAY or WAYLAND_DISPLAY set).\n";
    return 1;
  }

  quillotone::App app(argc, argv);
  app.SetOptions(options);
  bool startupFailed = false;
  quillotone::Main(app.StartupSteps(), [&](std::exception_ptr error) {
    app.ReportUnhandled(error);
    startupFailed = true;
  });
  return startupFailed ? 1 : app.exitStatus();
}
