#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "app/App.h"
#include "framework/Thread.h"
#include "support/EventLoop.h"
#include "ui/MenuBar1.h"
#include "ui/Texts.h"
#include "ui/Window1.h"

namespace quillotone {
namespace {

class RecordingSink final : public MessageSink {
 public:
  void Show(const QString& text) override { shown.push_back(text); }
  QStringList shown;
};

// A whole application per test, silent, with message boxes recorded.
class AppTest : public ::testing::Test {
 protected:
  AppTest() {
    App::Options options;
    options.seed = 1;
    options.sound = false;
    app.SetOptions(options);
    app.SetMessageSink(&sink);
  }

  int argc = 1;
  char name[10] = "app_tests";
  char* argv[2] = {name, nullptr};
  App app{argc, argv};
  RecordingSink sink;
};

TEST_F(AppTest, StartUpOpensOneWindowSharingTheAppsMenuBar) {
  std::vector<std::function<void()>> steps = app.StartupSteps();
  ASSERT_EQ(steps.size(), 5u);
  steps.pop_back();  // not the event loop
  Main(steps, [](std::exception_ptr) { FAIL() << "start-up failed"; });

  EXPECT_EQ(app.textFileType().name, "text");
  EXPECT_EQ(app.textFileType().macType, "TEXT");
  EXPECT_EQ(app.textFileType().macCreator, "R*ch");
  EXPECT_TRUE(app.textFileType().extensions.isEmpty());

  Window1& window = app.window1();
  EXPECT_EQ(&app.window1(), &window) << "a second call makes no second window";
  EXPECT_TRUE(window.isVisible());
  int windows = 0;
  for (QWidget* w : QApplication::topLevelWidgets())
    windows += qobject_cast<Window1*>(w) != nullptr;
  EXPECT_EQ(windows, 1);
  EXPECT_EQ(window.menuBar(), &app.menuBar1()) << "one menu bar for the app and the window";
}

TEST_F(AppTest, TheMenuHoldsAboutAndQuit) {
  MenuBar1& bar = app.menuBar1();
  ASSERT_EQ(bar.actions().size(), 1);
  QMenu* menu = bar.actions()[0]->menu();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu, bar.FileMenu());
  EXPECT_EQ(menu->title(), "About Quillotone");
  const QList<QAction*> items = menu->actions();
  ASSERT_EQ(items.size(), 2);
  EXPECT_EQ(items[0]->text(), "About Quillotone");
  EXPECT_EQ(items[0], bar.aboutquillotone());
  EXPECT_TRUE(items[0]->shortcut().isEmpty());
  EXPECT_EQ(items[1]->text(), "Quit");
  EXPECT_EQ(items[1], bar.FileQuit());
  EXPECT_EQ(items[1]->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
}

TEST_F(AppTest, AboutShowsTheEightLinesEveryTime) {
  app.InitFileTypes();
  app.NewAppInstance();
  app.ApplicationAddMenuHandlers();
  app.menuBar1().aboutquillotone()->trigger();
  app.menuBar1().aboutquillotone()->trigger();
  ASSERT_EQ(sink.shown.size(), 2);
  EXPECT_EQ(sink.shown[0], sink.shown[1]);
  const QStringList lines = sink.shown[0].split('\n');
  ASSERT_EQ(lines.size(), 8);
  EXPECT_EQ(lines[0], "Quillotone");
  EXPECT_EQ(lines[1], "Quillotone plays a melody using notes from a selected mode or scale.");
  EXPECT_EQ(
      lines[2],
      "There are eight choices of mode or scale, the six principal ecclesiatistical modes (dorian, "
      "phrygian, lydian, mixolydian, aeolian, ionian as well as the blues scale and the pentatonic "
      "scale).");
  EXPECT_EQ(lines[3], QString::fromUtf8(
                          "The rhythm of the melody is a transcription of a melody that I heard "
                          "whilst be put \u2018on hold\u2019 during a recent telephone call."));
  EXPECT_EQ(lines[4], "The machine will run indefinitely until stopped by the user.");
  EXPECT_EQ(lines.mid(5), QStringList({kAuthorLine, kContactEmail, kWebAddress}));
  EXPECT_FALSE(lines[7].isEmpty());
}

TEST_F(AppTest, CtrlQEndsTheEventLoopWhileAMelodyPlays) {
  bool wasPlaying = false;
  QTimer::singleShot(0, &app, [&] {
    app.window1().findChild<QComboBox*>("PopupMenu1")->setCurrentIndex(6);
    app.window1().findChild<QPushButton*>("play")->click();
    QTimer::singleShot(300, &app, [&] {
      wasPlaying = app.window1().findChild<Thread*>("blues1")->IsRunning();
      QApplication::setActiveWindow(&app.window1());
      QTest::keyClick(&app.window1(), Qt::Key_Q, Qt::ControlModifier);
    });
  });
  QTimer::singleShot(10'000, &app,
                     [] { QCoreApplication::exit(99); });  // a hung loop fails, not hangs
  Main(app.StartupSteps(), [](std::exception_ptr) { FAIL() << "start-up failed"; });
  EXPECT_TRUE(wasPlaying);
  EXPECT_EQ(app.exitStatus(), 0);
}

TEST_F(AppTest, AFailingStepSkipsTheRestAndIsReportedOnce) {
  std::vector<std::function<void()>> steps = app.StartupSteps();
  steps[1] = [] { throw NilObjectException("App"); };
  int reports = 0;
  Main(steps, [&](std::exception_ptr error) {
    ++reports;
    app.ReportUnhandled(error);
  });
  EXPECT_EQ(reports, 1);
  ASSERT_EQ(sink.shown.size(), 1);
  EXPECT_TRUE(sink.shown[0].contains("no object named \"App\"")) << sink.shown[0].toStdString();
  EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty()) << "no window opened";
  EXPECT_EQ(app.exitStatus(), 0) << "the event loop never ran";
}

TEST_F(AppTest, OptionsPreselectTheModeAndAPortThatCannotOpenFallsBackOnTheSynth) {
  // A JACK server that does not exist, and no ALSA sequencer in a test.
  setenv("JACK_DEFAULT_SERVER", "quillotone-no-such-server", 1);
  App::Options options;
  options.seed = 1;
  options.sound = false;
  options.mode = 6;
  options.midiOut = true;
  options.soundFont = "/nonexistent/font.sf2";
  app.SetOptions(options);
  std::vector<std::function<void()>> steps = app.StartupSteps();
  steps.pop_back();
  Main(steps, [](std::exception_ptr) { FAIL() << "start-up failed"; });
  unsetenv("JACK_DEFAULT_SERVER");

  EXPECT_EQ(app.window1().findChild<QComboBox*>("PopupMenu1")->currentIndex(), 6);
  EXPECT_EQ(app.midiOutput(), nullptr);
  ASSERT_GE(sink.shown.size(), 1);
  EXPECT_TRUE(sink.shown[0].contains("MIDI output port could not be opened"))
      << sink.shown[0].toStdString();
  EXPECT_TRUE(sink.shown[0].contains("own synthesizer"));
  // The synth it falls back on was asked for with the SoundFont given.
  QTest::qWait(0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return sink.shown.size() == 2; }, 5000));
  EXPECT_TRUE(sink.shown.back().contains("/nonexistent/font.sf2"))
      << sink.shown.back().toStdString();
}

// A SoundFont that cannot be used, as the user might name one: the program
// says what is wrong once, then plays on silently, start and stop included.
class BrokenSoundFontTest : public AppTest, public ::testing::WithParamInterface<const char*> {
 protected:
  BrokenSoundFontTest() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quillotone-app-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) folder = pattern;
  }
  ~BrokenSoundFontTest() override {
    std::error_code error;
    std::filesystem::remove_all(folder, error);
  }
  std::filesystem::path folder;
};

TEST_P(BrokenSoundFontTest, IsReportedOnceAndThePlayerWorksOnSilently) {
  const std::string kind = GetParam();
  const std::filesystem::path font = folder / "font.sf2";
  if (kind == "cut short") {
    // The start of a real SoundFont, as an interrupted download leaves it.
    std::ifstream in("/usr/share/sounds/sf2/TimGM6mb.sf2", std::ios::binary);
    std::vector<char> start(100'000);
    in.read(start.data(), static_cast<std::streamsize>(start.size()));
    std::ofstream(font, std::ios::binary).write(start.data(), in.gcount());
  } else {
    // Loading from a pipe would wait for a writer for ever.
    ASSERT_EQ(mkfifo(font.c_str(), 0600), 0);
  }
  App::Options options;
  options.seed = 1;
  options.sound = true;
  options.soundFont = font.string();
  app.SetOptions(options);
  std::vector<std::function<void()>> steps = app.StartupSteps();
  steps.pop_back();  // not the event loop
  Main(steps, [](std::exception_ptr) { FAIL() << "start-up failed"; });

  ASSERT_TRUE(testing::RunEventLoopUntil([&] { return !sink.shown.isEmpty(); }, 20'000))
      << "no word about the SoundFont";
  EXPECT_TRUE(sink.shown[0].contains(QString::fromStdString(font.string())))
      << sink.shown[0].toStdString();
  EXPECT_TRUE(sink.shown[0].contains("plays silently")) << sink.shown[0].toStdString();
  EXPECT_EQ(app.synthHost().synth(), nullptr);

  Window1& window = app.window1();
  window.findChild<QPushButton*>("play")->click();
  testing::RunEventLoopFor(300);
  EXPECT_TRUE(window.findChild<Thread*>("dorian1")->IsRunning());
  window.findChild<QPushButton*>("stop")->click();
  EXPECT_FALSE(window.findChild<Thread*>("dorian1")->IsRunning());
  ASSERT_EQ(sink.shown.size(), 2) << "the SoundFont is reported once, then thanks after stop";
  EXPECT_EQ(sink.shown[1], ThankYouText());
}

INSTANTIATE_TEST_SUITE_P(Kinds, BrokenSoundFontTest, ::testing::Values("cut short", "a pipe"),
                         [](const auto& info) {
                           return std::string(info.param) == "cut short" ? "CutShort" : "Pipe";
                         });

}  // namespace
}  // namespace quillotone
