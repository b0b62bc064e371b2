// SPDX-License-Identifier: GPL-3.0-or-later
// The application object and start-up, silent, on the offscreen platform;
// and the program itself where no display can be reached.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QProcess>
#include <QtTest/QTest>
#include <algorithm>

#include "app/App.h"
#include "app/CommandLine.h"
#include "ui/MenuBar1.h"
#include "ui/Texts.h"
#include "ui/Window1.h"

namespace quillotone {
namespace {

class AppTest : public ::testing::Test, public MessageSink {
 protected:
  void Show(const QString& text) override { shown.push_back(text); }
  // Every step but the event loop, the one at `failing` replaced by a throw.
  void StartUp(std::size_t failing = 99) {
    app.SetOptions(options);
    app.SetMessageSink(this);
    std::vector<std::function<void()>> steps = app.StartupSteps();
    steps.pop_back();
    if (failing < steps.size()) steps[failing] = [] { throw NilObjectException("App"); };
    Main(steps, [this](std::exception_ptr error) { ++reports, app.ReportUnhandled(error); });
  }

  int argc = 1;
  char* argv[2] = {const_cast<char*>("app_tests"), nullptr};
  App app{argc, argv};
  App::Options options{.seed = 1, .sound = false, .mode = 0, .soundFont = {}, .midiOut = false};
  QStringList shown;
  int reports = 0;
};

TEST_F(AppTest, StartUpOpensOneWindowSharingTheAppsMenuOfAboutAndQuit) {
  StartUp();
  Window1& window = app.window1();
  EXPECT_EQ(&app.window1(), &window) << "a second call makes no second window";
  EXPECT_TRUE(window.isVisible() && window.menuBar() == &app.menuBar1());
  EXPECT_EQ(app.menuBar1().FileQuit()->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
  app.menuBar1().aboutquillotone()->trigger();
  EXPECT_EQ(shown, QStringList{AboutText()});
}

TEST_F(AppTest, AFailingStepSkipsTheRestAndIsReportedOnce) {
  StartUp(1);
  ASSERT_EQ(reports, 1);
  EXPECT_TRUE(shown.join("").contains("no object named \"App\"")) << shown.join("").toStdString();
  EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty()) << "no window opened";
}

// Neither MIDI system there, on any host: a JACK server that does not exist,
// and an ALSA with no configuration to find its sequencer by.
class NoMidiSystem {
 public:
  NoMidiSystem() {
    setenv("JACK_DEFAULT_SERVER", "quillotone-no-such-server", 1);
    setenv("ALSA_CONFIG_PATH", "/nonexistent/alsa.conf", 1);
  }
  ~NoMidiSystem() {
    unsetenv("JACK_DEFAULT_SERVER");
    unsetenv("ALSA_CONFIG_PATH");
  }
};

TEST_F(AppTest, APortThatCannotOpenAndASoundFontThatWillNotLoadAreSaid) {
  const NoMidiSystem none;
  options = {.seed = 1, .sound = false, .mode = 6, .soundFont = "/no/font.sf2", .midiOut = true};
  StartUp();
  EXPECT_EQ(app.window1().findChild<QComboBox*>("PopupMenu1")->currentIndex(), 6);
  EXPECT_EQ(app.midiOutput(), nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return shown.size() == 2; }, 10'000));
  EXPECT_TRUE(shown[0].contains("MIDI output port could not be opened"));
  EXPECT_TRUE(shown[1].contains("/no/font.sf2")) << "the synth it falls back on";
}

TEST_F(AppTest, AMidiSystemAskedForThatIsNotThereEndsWithStatusTwoBeforeAnyWindow) {
  const NoMidiSystem none;
  for (const MidiSystem system : {MidiSystem::kJack, MidiSystem::kAlsa}) {
    App::Options asked = options;
    asked.midiOut = true;
    asked.midiSystem = system;
    app.SetOptions(asked);
    app.SetMessageSink(this);
    Main(app.StartupSteps(), [](std::exception_ptr) { FAIL() << "start-up failed"; });
    EXPECT_EQ(app.exitStatus(), kUsageError);
    EXPECT_EQ(app.midiOutput(), nullptr);
    EXPECT_TRUE(std::ranges::none_of(QApplication::topLevelWidgets(), &QWidget::isVisible))
        << "no window opened";
    EXPECT_TRUE(shown.isEmpty()) << "one line on stderr, no box";
  }
}

// Run as a user would: a display named but not there, or none named.
TEST(DisplayTest, NoDisplayToReachIsOneLineAndStatusOne) {
  for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", ""}) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
      environment.remove(name);
    if (*variable != '\0') environment.insert(variable, ":999");
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QUILLOTONE_BINARY, {});
    ASSERT_TRUE(program.waitForFinished(20'000));
    const QString error = QString::fromLocal8Bit(program.readAllStandardError());
    EXPECT_EQ(program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1, 1)
        << variable;
    EXPECT_TRUE(error.startsWith("quillotone: ") && error.count('\n') == 1) << error.toStdString();
  }
}

}  // namespace
}  // namespace quillotone
