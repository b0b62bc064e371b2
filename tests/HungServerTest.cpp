// SPDX-License-Identifier: GPL-3.0-or-later
// The program while what it waits on hangs: a sound server that accepts a
// connection and never answers, a SoundFont that is a valid header and then
// zeros, and a JACK server stopped with SIGSTOP while the MIDI port plays.
// Throughout, the window's event loop turns (a timer posted on its thread
// fires while the fault lasts), the fault is told once, stop stops, and quit
// ends the event loop with status 0 and lets the program go.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QTest>
#include <csignal>
#include <memory>

#include "app/App.h"
#include "support/Child.h"
#include "support/EventLoop.h"
#include "support/Hangs.h"
#include "support/Program.h"
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
  // With JACK: the synth plays on it too (--audio jack), its MIDI port on
  // the same client.
  bool jackAudio = false;
};
void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class HungServerTest : public ::testing::TestWithParam<Case>, public MessageSink {
 protected:
  void Show(const QString& text) override { shown.push_back(text); }
  void Notice(const QString& text) override { notices.push_back(text); }

  // Killed, not asked to quit: a stopped server woken to quit first answers
  // the open the program left behind, and the client thread libjack starts
  // then and cancels as the server goes can die holding the dynamic loader's
  // lock, which the test's exit then waits on for ever.
  ~HungServerTest() override { jackd_.Stop(SIGKILL); }

  void Launch(App::Options options) {
    app_ = std::make_unique<App>(argc_, argv_);
    testing::StartUp(*app_, options, this);
    // Counts its turns while the fault lasts.
    auto* ticker = new QTimer(app_.get());
    QObject::connect(ticker, &QTimer::timeout, [this] { ticks_ += Lasting() ? 1 : 0; });
    ticker->start(10);
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
  testing::Child jackd_;
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
    case Fault::kSilentServer: {
      const std::string path = dir_.filePath("native").toStdString();
      silent_ = std::make_unique<testing::SilentSocket>(path);
      ASSERT_TRUE(silent_->ok());
      setenv("PULSE_SERVER", ("unix:" + path).c_str(), 1);
      told = "does not answer";
      break;
    }
    case Fault::kZerosSoundFont:
      options.soundFont = dir_.filePath("zeros.sf2").toStdString();
      ASSERT_TRUE(testing::WriteZerosSoundFont(options.soundFont));
      told = "is damaged";
      break;
    case Fault::kStoppedJack:
    case Fault::kJackStoppedAtLaunch:
      ASSERT_TRUE(testing::StartJack(jackd_, {"jackd", "-d", "dummy", "-r", "48000", "-p", "1024"}))
          << "no JACK server (jackd2)";
      options = {.seed = 3, .sound = GetParam().jackAudio, .mode = 0, .soundFont = {},
                 .midiOut = true};
      if (GetParam().jackAudio) options.audio = AudioSystem::kJack;
      // Hung before the program asks it: told once the answer is overdue.
      stopped_ = GetParam().fault == Fault::kJackStoppedAtLaunch;
      if (stopped_) kill(jackd_.pid(), SIGSTOP);
      told = "does not answer";
      break;
  }
  ASSERT_NO_FATAL_FAILURE(Launch(options));
  if (GetParam().fault == Fault::kStoppedJack) {
    ASSERT_TRUE(RunEventLoopUntil(
        [this] {
          return app_->midiOutput() != nullptr &&
                 (!GetParam().jackAudio || app_->synthHost().synth() != nullptr);
        },
        10'000));
  }
  testing::Click(*app_, "play");
  if (GetParam().fault == Fault::kStoppedJack) {
    RunEventLoopUntil([] { return false; }, 500);
    kill(jackd_.pid(), SIGSTOP);
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

  testing::Click(*app_, "stop");
  EXPECT_TRUE(shown.contains(ThankYouText()));
  testing::Click(*app_, "play");
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
                      Case{Fault::kStoppedJack, Quit::kMenu, "StoppedJackPlayingTheSynth", true},
                      Case{Fault::kJackStoppedAtLaunch, Quit::kMenu, "JackStoppedAtLaunch"}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillotone
