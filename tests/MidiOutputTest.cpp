// SPDX-License-Identifier: GPL-3.0-or-later
// The MIDI port as a receiving program hears it: jack_midi_dump on a JACK
// server of the test's own (the dummy driver: no sound hardware).
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <unistd.h>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/App.h"
#include "framework/Random.h"
#include "melody/Melody.h"
#include "melody/Modes.h"
#include "support/Child.h"
#include "support/EventLoop.h"
#include "support/FakeWindow.h"
#include "support/Program.h"
#include "support/VirtualClock.h"
#include "ui/MenuBar1.h"
#include "ui/Window1.h"

namespace quillotone {
namespace {

using Message = std::vector<unsigned>;
constexpr unsigned kNoteOn = 0x90;
const Message kAllNotesOff[] = {{0xB0, 123, 0}, {0xB1, 123, 0}};

// The note-ons of the ionian mode's melody (popup row 5) for seed 3, worked
// out on a virtual clock.
std::vector<Message> MelodyNoteOns() {
  testing::VirtualClock clock;
  Scheduler scheduler(clock);
  ThreadContext thread(scheduler, "expected");
  testing::FakeWindow window(scheduler);
  scheduler.Start(thread, PlayMelody(window, std::make_unique<Random>(3), ModeAt(5)->pitches));
  testing::RunUntil(scheduler, clock, 40 * kLongStepMicros);
  std::vector<Message> ons;
  for (const testing::NoteEvent& e : window.notes) {
    ons.push_back(
        {kNoteOn | (e.player == kMainPlayer ? 0 : 1), unsigned(e.note), unsigned(e.velocity)});
  }
  std::erase_if(ons, [](const Message& m) { return m[2] == 0; });
  return ons;
}

// The note-ons among `received`: at least `least`, the melody's first ones.
void ExpectMelodyIn(std::vector<Message> received, std::size_t least) {
  std::erase_if(received, [](const Message& m) { return (m[0] & 0xF0) != kNoteOn; });
  std::vector<Message> melody = MelodyNoteOns();
  melody.resize(received.size());
  EXPECT_GE(received.size(), least);
  EXPECT_EQ(received, melody);
}

// Keys a receiver that stacks voices (and ignores All Notes Off) still
// sounds after `messages`; a note-off for a silent key is reported.
long Sounding(const std::vector<Message>& messages) {
  std::map<std::pair<unsigned, unsigned>, int> voices;
  for (const Message& m : messages) {
    int& voice = voices[{m[0] & 0x0F, m[1]}];
    voice += (m[0] & 0xF0) == kNoteOn ? 1 : (m[0] & 0xF0) == 0x80 ? -1 : 0;
    EXPECT_GE(voice, 0) << "a note-off for a silent key " << m[1];
  }
  return std::ranges::count_if(voices, [](const auto& voice) { return voice.second > 0; });
}

class MidiOutputTest : public ::testing::Test, public MessageSink {
 protected:
  void Show(const QString& /*text*/) override { ++shown_; }
  void SetUp() override { StartServer(); }
  void StartServer() {
    // Realtime, as JACK is meant to run: a busy machine would otherwise make
    // a client miss cycles, and jack_midi_dump -a, which counts the frames of
    // the cycles it ran in, would lose events and stamp the rest a period
    // early. Where realtime is not allowed, jackd runs without it.
    // Its word on a cycle it missed (an xrun) is in the test's log.
    ASSERT_TRUE(testing::StartJack(jackd_, {"jackd", "-R", "-P", "10", "-d", "dummy", "-r", "48000",
                                            "-p", std::to_string(period_)}))
        << "no JACK server (jackd2)";
    // Line-buffered, so what it receives is read as it arrives; stamped
    // with the frame it was received at.
    dump_.Start({"stdbuf", "-oL", "jack_midi_dump", "-a"}, dir_.filePath("dump").toStdString());
  }

  // `quillotone --midi-out --no-synth --mode ionian --seed 3`, connected.
  void StartApp(bool clock = false) {
    app_ = std::make_unique<App>(argc_, argv_);
    testing::StartUp(*app_,
                     {.seed = 3,
                      .sound = false,
                      .mode = 5,
                      .soundFont = {},
                      .midiOut = true,
                      .midiClock = clock,
                      .midiSystem = MidiSystem::kJack},
                     this);
    // The port opens on its own thread, and says so on the event loop.
    ASSERT_TRUE(
        testing::RunEventLoopUntil([this] { return app_->midiOutput() != nullptr; }, 10'000));
    // Once the receiver's port is there.
    const std::string connect =
        "jack_connect " + app_->midiOutput()->portName() + " midi-monitor:input";
    for (int attempt = 0; std::system(connect.c_str()) != 0; ++attempt) {
      ASSERT_LT(attempt, 50) << "could not connect the receiver";
      usleep(100'000);
    }
  }

  // Everything received, once JACK has delivered the last of it.
  std::vector<Message> Received() {
    usleep(500'000);
    // As Ctrl+C ends it: it leaves JACK cleanly, which SIGTERM does not.
    kill(dump_.pid(), SIGINT);
    EXPECT_TRUE(dump_.Wait(std::chrono::seconds(3)));
    return Parse(frames_);
  }

  // What the receiver has printed so far, in lines such as "  406528: 91 3c
  // 5a note on (channel 1): ...", "  9000: f8 ..."; `frames` gets the frame
  // each message came at.
  std::vector<Message> Parse(std::vector<long long>& frames) const {
    static const QRegularExpression kLine(R"((\d+):((?: [0-9a-f]{2})+))");
    QFile file(dir_.filePath("dump"));
    std::vector<Message> messages;
    frames.clear();
    if (!file.open(QIODevice::ReadOnly)) return messages;
    for (auto lines = kLine.globalMatch(file.readAll()); lines.hasNext();) {
      const QRegularExpressionMatch line = lines.next();
      Message& message = messages.emplace_back();
      for (const QString& hex : line.captured(2).split(' ', Qt::SkipEmptyParts)) {
        message.push_back(hex.toUInt(nullptr, 16));
      }
      frames.push_back(line.captured(1).toLongLong());
    }
    return messages;
  }

  // The frames the receiver has heard note-ons on so far.
  std::size_t StepsHeard() {
    std::vector<long long> frames;
    const std::vector<Message> heard = Parse(frames);
    std::set<long long> steps;
    for (std::size_t i = 0; i < heard.size(); ++i) {
      if ((heard[i][0] & 0xF0) == kNoteOn) steps.insert(frames[i]);
    }
    return steps.size();
  }

  // Runs `then` from the event loop once `ready`: a test waits for what it
  // needs, however slowly a busy machine gets there.
  void When(std::function<bool()> ready, std::function<void()> then) {
    auto* poll = new QTimer(app_.get());
    QObject::connect(poll, &QTimer::timeout, app_.get(), [poll, ready, then] {
      if (!ready()) return;
      poll->stop();
      poll->deleteLater();
      then();
    });
    poll->start(20);
  }
  // Stop, once the receiver has heard `steps` steps.
  void StopAfter(std::size_t steps) {
    When([this, steps] { return StepsHeard() >= steps; },
         [this] {
           app_->window1().stop_Action();
           QCoreApplication::exit(0);
         });
  }
  // However long a busy machine takes, a test ends: it fails, not hangs.
  void FailAfter(int ms) {
    QTimer::singleShot(ms, app_.get(), [] { QCoreApplication::exit(99); });
  }

  int period_ = 256;
  int shown_ = 0;
  // The frame each message of the last Received() came at.
  std::vector<long long> frames_;
  QTemporaryDir dir_;
  testing::Child jackd_;
  testing::Child dump_;
  int argc_ = 1;
  char* argv_[2] = {const_cast<char*>("midi_output_tests"), nullptr};
  std::unique_ptr<App> app_;
};

// Whichever way the melody ends while notes sound, stop, the Quit item (as
// Ctrl+Q) or SIGTERM, SIGINT or SIGHUP (a logout, Ctrl+C), the receiver is
// left with nothing sounding, and All Notes Off comes last.
constexpr int kStop = -1, kQuitItem = -2;  // or the signal that comes
class MidiEndTest : public MidiOutputTest, public ::testing::WithParamInterface<int> {};

TEST_P(MidiEndTest, TheMelodyReachesTheReceiverAndItsEndLeavesNothingSounding) {
  ASSERT_NO_FATAL_FAILURE(StartApp());
  app_->window1().play_Action();
  When([this] { return StepsHeard() >= 8; },
       [this] {
         if (GetParam() == kStop) app_->window1().stop_Action(), QCoreApplication::exit(0);
         if (GetParam() == kQuitItem) app_->menuBar1().FileQuit()->trigger();
         if (GetParam() > 0) kill(getpid(), GetParam());
       });
  FailAfter(30'000);
  EXPECT_EQ(app_->RunEventLoop(), 0);
  if (GetParam() != kStop) app_.reset();
  std::vector<Message> received = Received();
  ExpectMelodyIn(received, 8);
  ASSERT_GE(received.size(), 2u);
  EXPECT_TRUE(std::equal(received.end() - 2, received.end(), kAllNotesOff));
  EXPECT_EQ(Sounding(received), 0);
  // Without what the end sent, notes were sounding.
  while ((received.back()[0] & 0xF0) != kNoteOn) received.pop_back();
  EXPECT_GT(Sounding(received), 0);
}

INSTANTIATE_TEST_SUITE_P(By, MidiEndTest,
                         ::testing::Values(kStop, kQuitItem, SIGTERM, SIGINT, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& end) -> std::string {
                           if (end.param == kStop) return "StopButton";
                           if (end.param == kQuitItem) return "QuitItem";
                           return std::string("SIG") + sigabbrev_np(end.param);
                         });

// The server's period changed while the melody plays (PipeWire does so as
// clients come and go; jack_bufsize here): every note still comes, in order,
// and the end leaves nothing sounding.
TEST_F(MidiOutputTest, APeriodChangedWhilePlayingLosesNoNoteAndLeavesNoneSounding) {
  ASSERT_NO_FATAL_FAILURE(StartApp());
  app_->window1().play_Action();
  When([this] { return StepsHeard() >= 4; },
       [this] {
         EXPECT_EQ(std::system("jack_bufsize 1024"), 0);
         StopAfter(10);
       });
  FailAfter(30'000);
  EXPECT_EQ(app_->RunEventLoop(), 0);
  const std::vector<Message> received = Received();
  ExpectMelodyIn(received, 10);
  EXPECT_EQ(Sounding(received), 0);
}

// At any JACK period each note-on reaches the receiver on the frame of its
// step (250 ms: 12000 frames at 48 kHz), within a frame of rounding between
// the clocks. With --midi-clock, Start comes on the first note's frame and
// before it, Timing Clock every 1000 frames (24 a quarter note at 120 bpm)
// from there, and Stop last, after stop.
struct Timing {
  int period;
  bool clock;
};
void PrintTo(const Timing& timing, std::ostream* out) {
  *out << "period " << timing.period << (timing.clock ? ", with clock" : ", no clock");
}
// JACK's own count of the cycles it could not finish in time (xruns): a
// receiver that missed cycles stamps what it got a period early or late,
// which says nothing of the port. Seen on a machine where other processes'
// realtime audio servers, or heavy disk traffic, held JACK's threads up.
struct XrunCount {
  XrunCount() {
    if (client == nullptr) return;
    jack_set_xrun_callback(
        client.get(), [](void* n) { return ++*static_cast<std::atomic<int>*>(n), 0; }, &count);
    jack_activate(client.get());
  }
  std::atomic<int> count{0};
  // Last, so that it is closed before the count goes.
  std::unique_ptr<jack_client_t, int (*)(jack_client_t*)> client{
      jack_client_open("xrun-count", JackNoStartServer, nullptr), jack_client_close};
};

class MidiTimingTest : public MidiOutputTest, public ::testing::WithParamInterface<Timing> {
  void SetUp() override {
#if defined(__SANITIZE_THREAD__)
    // Sanitized, the process callbacks overrun their cycles (jackd reports
    // xruns), which moves the receiver's stamps by whole periods.
    GTEST_SKIP() << "frame-exact timing is measured without ThreadSanitizer";
#endif
    period_ = GetParam().period;
    MidiOutputTest::SetUp();
  }
};

TEST_P(MidiTimingTest, NotesAndClockReachTheReceiverOnTheirFrames) {
  ASSERT_NO_FATAL_FAILURE(StartApp(GetParam().clock));
  XrunCount xruns;
  app_->window1().play_Action();
  StopAfter(10);
  FailAfter(30'000);
  EXPECT_EQ(app_->RunEventLoop(), 0);
  if (xruns.count > 0)
    GTEST_SKIP() << "JACK missed " << xruns.count << " cycles: no frame to judge by";
  const std::vector<Message> received = Received();
  std::vector<long long> ons, ticks;
  std::ptrdiff_t start = -1, firstOn = -1;
  for (std::size_t i = 0; i < received.size(); ++i) {
    const unsigned status = received[i][0];
    if ((status & 0xF0) == kNoteOn && (ons.empty() || ons.back() != frames_[i])) {
      if (ons.empty()) firstOn = std::ptrdiff_t(i);
      ons.push_back(frames_[i]);
    }
    if (status == 0xF8) ticks.push_back(frames_[i]);
    if (status == 0xFA && start < 0) start = std::ptrdiff_t(i);
  }
  ASSERT_GE(ons.size(), 8u);
#if defined(__SANITIZE_ADDRESS__)
  // Here it runs beside other tests, where a starved callback wakes tens of
  // microseconds late without a missed cycle: a frame or two at 48 kHz. The
  // plain build, which runs it alone, judges the intervals.
  constexpr bool kJudgeIntervals = false;
#else
  constexpr bool kJudgeIntervals = true;
#endif
  for (std::size_t i = 1; kJudgeIntervals && i < ons.size(); ++i) {
    EXPECT_NEAR(ons[i] - ons[i - 1], 12000, 1) << "step " << i;
  }
  EXPECT_EQ(GetParam().clock, !ticks.empty() && start >= 0);
  if (!GetParam().clock) return;
  ASSERT_TRUE(start >= 0 && start < firstOn);
  EXPECT_EQ(frames_[std::size_t(start)], ons.front());
  ASSERT_GE(ticks.size(), 96u);
  EXPECT_EQ(ticks.front(), ons.front());
  for (std::size_t i = 1; kJudgeIntervals && i < ticks.size(); ++i) {
    EXPECT_NEAR(ticks[i] - ticks[i - 1], 1000, 1) << "tick " << i;
  }
  EXPECT_EQ(received.back(), Message{0xFC});
}

INSTANTIATE_TEST_SUITE_P(By, MidiTimingTest,
                         ::testing::Values(Timing{1024, true}, Timing{1024, false}),
                         [](const ::testing::TestParamInfo<Timing>& timing) {
                           return "Period" + std::to_string(timing.param.period) +
                                  (timing.param.clock ? "_WithClock" : "_NoClock");
                         });

// JACK killed while the melody plays: one notice; started again, the port
// comes back connected as it was, with a notice. Quitting, whether the
// server is back or not, exits 0 and leaves nothing sounding.
class MidiServerLossTest : public MidiOutputTest, public ::testing::WithParamInterface<bool> {};

TEST_P(MidiServerLossTest, APortWhoseServerIsKilledComesBackWithIt) {
  const bool restart = GetParam();
  ASSERT_NO_FATAL_FAILURE(StartApp());
  app_->window1().play_Action();
  const auto quit = [this] { app_->menuBar1().FileQuit()->trigger(); };
  // Six steps: the port has looked at its connections since the receiver
  // was connected (it does every half second), so it knows what to connect
  // again.
  When([this] { return StepsHeard() >= 6; },
       [&] {
         // The receiver goes with its server, still connected, as it would
         // when a server dies (one that left first would be forgotten).
         jackd_.Stop(SIGKILL);
         EXPECT_FALSE(Received().empty());
         When([this] { return shown_ == 1; },
              [&] {
                if (!restart) return quit();
                StartServer();
                When([this] { return shown_ == 2 && StepsHeard() >= 4; }, quit);
              });
       });
  FailAfter(60'000);
  EXPECT_EQ(app_->RunEventLoop(), 0);
  app_.reset();
  EXPECT_EQ(shown_, restart ? 2 : 1);
  if (!restart) return;
  // The receiver came back after the port did: what it missed of the notes
  // that were sounding by then is left out.
  std::vector<Message> received = Received();
  std::set<std::pair<unsigned, unsigned>> struck;
  std::erase_if(received, [&](const Message& m) {
    if ((m[0] & 0xF0) == kNoteOn) struck.insert({m[0] & 0x0F, m[1]});
    return (m[0] & 0xF0) == 0x80 && !struck.contains({m[0] & 0x0F, m[1]});
  });
  EXPECT_GE(
      std::ranges::count_if(received, [](const Message& m) { return (m[0] & 0xF0) == kNoteOn; }),
      4);
  EXPECT_EQ(Sounding(received), 0);
}

INSTANTIATE_TEST_SUITE_P(By, MidiServerLossTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& restarted) {
                           return restarted.param ? "ServerRestarted" : "ServerStaysAway";
                         });

}  // namespace
}  // namespace quillotone
