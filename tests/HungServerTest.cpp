// SPDX-License-Identifier: GPL-3.0-or-later
// The program while what it waits on hangs: a sound server that accepts a
// connection and never answers, a SoundFont that is a valid header and then
// zeros, and a JACK server stopped with SIGSTOP while the MIDI port plays.
// Throughout, the window's event loop turns (a timer posted on its thread
// fires while the fault lasts), the fault is told once, stop stops, and quit
// ends the event loop with status 0 and lets the program go.
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QTest>
#include <csignal>
#include <memory>

#include "app/App.h"
#include "support/EventLoop.h"
#include "support/Hangs.h"
#include "ui/MenuBar1.h"
#include "ui/Texts.h"
#include "ui/Window1.h"

namespace quillotone {
namespace {

using testing::RunEventLoopUntil;

enum class Fault { kSilentServer, kZerosSoundFont, kStoppedJack, kJackStoppedAtLaunch };
enum class Quit { kMenu, kSigterm };
struct Case {
  Fault fault;
  Quit quit;
  const char* name;
};
void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class HungServerTest : public ::testing::TestWithParam<Case>, public MessageSink {
 protected:
  void Show(const QString& text) override { shown.push_back(text); }
  void Notice(const QString& text) override { notices.push_back(text); }

  ~HungServerTest() override {
    if (jackd_.state() == QProcess::NotRunning) return;
    kill(static_cast<pid_t>(jackd_.processId()), SIGCONT);
    jackd_.kill();
    jackd_.waitForFinished(5000);
  }

  void SilentServer() {
    const std::string path = dir_.filePath("native").toStdString();
    silent_ = std::make_unique<testing::SilentSocket>(path);
    ASSERT_TRUE(silent_->ok());
    setenv("PULSE_SERVER", ("unix:" + path).c_str(), 1);
  }
  void StartJack() {
    setenv("JACK_DEFAULT_SERVER", "quillotone-test", 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
    jackd_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
    jackd_.start("jackd", {"-d", "dummy", "-r", "48000", "-p", "1024"});
    ASSERT_EQ(QProcess::execute("jack_wait", {"-w", "-t", "10"}), 0) << "no JACK server (jackd2)";
  }

  void Launch(App::Options options) {
    app_ = std::make_unique<App>(argc_, argv_);
    app_->SetMessageSink(this);
    app_->SetOptions(options);
    auto steps = app_->StartupSteps();
    steps.pop_back();
    Main(steps, [](std::exception_ptr) { ADD_FAILURE() << "start-up failed"; });
    // Counts its turns while the fault lasts.
    auto* ticker = new QTimer(app_.get());
    QObject::connect(ticker, &QTimer::timeout, [this] { ticks_ += Lasting() ? 1 : 0; });
    ticker->start(10);
  }
  void Click(const char* button) {
    QTest::mouseClick(app_->window1().findChild<QPushButton*>(button), Qt::LeftButton);
  }

  // Whether what hangs is still hanging, as the program sees it.
  bool Lasting() const {
    switch (GetParam().fault) {
      case Fault::kSilentServer: {
        const AudioOutput* output = app_->synthHost().output();
        return output != nullptr && output->state() == AudioOutput::State::kOpening;
      }
      case Fault::kZerosSoundFont:
        return app_->synthHost().synth() == nullptr;
      case Fault::kStoppedJack:
      case Fault::kJackStoppedAtLaunch:
        return stopped_;
    }
    return false;
  }

  QTemporaryDir dir_;
  std::unique_ptr<testing::SilentSocket> silent_;
  QProcess jackd_;
  bool stopped_ = false;
  int argc_ = 1;
  char* argv_[2] = {const_cast<char*>("hung_server_tests"), nullptr};
  std::unique_ptr<App> app_;
  int ticks_ = 0;
  QStringList shown, notices;
};

TEST_P(HungServerTest, TheWindowTurnsStopStopsAndQuitLeaves) {
  App::Options options{.seed = 3, .soundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2"};
  QString told;
  switch (GetParam().fault) {
    case Fault::kSilentServer:
      ASSERT_NO_FATAL_FAILURE(SilentServer());
      told = "does not answer";
      break;
    case Fault::kZerosSoundFont:
      options.soundFont = dir_.filePath("zeros.sf2").toStdString();
      ASSERT_TRUE(testing::WriteZerosSoundFont(options.soundFont));
      told = "is damaged";
      break;
    case Fault::kStoppedJack:
    case Fault::kJackStoppedAtLaunch:
      ASSERT_NO_FATAL_FAILURE(StartJack());
      options = {.seed = 3, .sound = false, .mode = 0, .soundFont = {}, .midiOut = true};
      // Hung before the program asks it: told once the answer is overdue.
      stopped_ = GetParam().fault == Fault::kJackStoppedAtLaunch;
      if (stopped_) kill(static_cast<pid_t>(jackd_.processId()), SIGSTOP);
      told = "does not answer";
      break;
  }
  ASSERT_NO_FATAL_FAILURE(Launch(options));
  if (GetParam().fault == Fault::kStoppedJack) {
    ASSERT_TRUE(RunEventLoopUntil([this] { return app_->midiOutput() != nullptr; }, 10'000));
  }
  Click("play");
  if (GetParam().fault == Fault::kStoppedJack) {
    RunEventLoopUntil([] { return false; }, 500);
    kill(static_cast<pid_t>(jackd_.processId()), SIGSTOP);
    stopped_ = true;
    // A stopped server is not a lost one: nothing is said, and the watch,
    // which asks it, goes on asking it without the window waiting.
    RunEventLoopUntil([] { return false; }, 2 * MidiOutput::kWatchMs + 500);
  } else {
    // A check that is over in milliseconds may be told before the ticker's
    // first turn: the wait is for both.
    ASSERT_TRUE(RunEventLoopUntil(
        [&] { return (shown + notices).join("").contains(told) && ticks_ > 0; }, 30'000))
        << (shown + notices).join("\n").toStdString();
    EXPECT_EQ((shown + notices).join("").count(told), 1) << "told once";
  }
  EXPECT_GT(ticks_, 0) << "the event loop stood still while the fault lasted";

  Click("stop");
  EXPECT_TRUE(shown.contains(ThankYouText()));
  Click("play");
  const Quit quit = GetParam().quit;
  QTimer::singleShot(100, [this, quit] {
    if (quit == Quit::kMenu) app_->menuBar1().FileQuit()->trigger();
    if (quit == Quit::kSigterm) kill(getpid(), SIGTERM);
  });
  EXPECT_EQ(app_->RunEventLoop(), 0);
  // What still hangs is left behind: this returns.
  app_.reset();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, HungServerTest,
    ::testing::Values(Case{Fault::kSilentServer, Quit::kSigterm, "SilentSoundServer"},
                      Case{Fault::kZerosSoundFont, Quit::kMenu, "ZerosSoundFont"},
                      Case{Fault::kStoppedJack, Quit::kSigterm, "StoppedJack"},
                      Case{Fault::kJackStoppedAtLaunch, Quit::kMenu, "JackStoppedAtLaunch"}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillotone
