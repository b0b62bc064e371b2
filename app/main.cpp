#include <QCommandLineParser>
#include <iostream>

#include "app/App.h"

int main(int argc, char** argv) {
  quillotone::App app(argc, argv);

  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Plays an endless melody in a mode or scale of your choice."));
  parser.addHelpOption();
  const QCommandLineOption seedOption(
      QStringLiteral("seed"),
      QStringLiteral("Play the same melody at every start, drawn from <number>."),
      QStringLiteral("number"));
  parser.addOption(seedOption);
  if (!parser.parse(QCoreApplication::arguments())) {
    std::cerr << "quillotone: " << parser.errorText().toStdString() << "\nTry: quillotone --help\n";
    return 2;
  }
  if (parser.isSet(QStringLiteral("help"))) parser.showHelp(0);

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
  app.SetOptions(options);

  quillotone::Main(app.StartupSteps(),
                   [&app](std::exception_ptr error) { app.ReportUnhandled(error); });
  return app.exitStatus();
}
