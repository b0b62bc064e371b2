// SPDX-License-Identifier: GPL-3.0-or-later
// The MIDI port as a receiving program hears it: jack_midi_dump on a JACK
// server of the test's own (the dummy driver: no sound hardware).
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QAction>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <map>
#include <memory>
#include <vector>

#include "app/App.h"
#include "framework/Random.h"
#include "framework/midi/MidiOutput.h"
#include "melody/Melody.h"
#include "melody/Modes.h"
#include "support/EventLoop.h"
#include "support/FakeWindow.h"
#include "support/VirtualClock.h"
#include "ui/MenuBar1.h"
#include "ui/Window1.h"

namespace quillotone {
namespace {

using Message = std::vector<unsigned>;
constexpr unsigned kNoteOn = 0x90;
const Message kAllNotesOff[] = {{0xB0, 123, 0}, {0xB1, 123, 0}};

// A process ended with the test, however it leaves.
struct Process {
  ~Process() {
    process.terminate();
    if (process.waitForFinished(5000)) return;
    process.kill();
    process.waitForFinished(1000);
  }
  QProcess process;
};

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
  void Show(const QString& /*text*/) override {}
  void SetUp() override {
    // Reached by name only, so a user's own JACK server is never touched.
    setenv("JACK_DEFAULT_SERVER", ("quillotone-test-" + std::to_string(getpid())).c_str(), 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
    // Should this test die, its server goes too, leaving JACK's one slot free.
    jackd_.process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
    jackd_.process.start("jackd", {"--no-realtime", "-d", "dummy", "-r", "48000", "-p", "256"});
    ASSERT_EQ(QProcess::execute("jack_wait", {"-w", "-t", "10"}), 0) << "no JACK server (jackd2)";
    // Line-buffered, so what it receives is read as it arrives.
    dump_.process.start("stdbuf", {"-oL", "jack_midi_dump"});
  }

  // Once the receiver's port is there (no application may exist yet: this
  // polls without an event loop).
  static void Connect(const std::string& port) {
    const QStringList ports = {QString::fromStdString(port), "midi-monitor:input"};
    for (int attempt = 0; QProcess::execute("jack_connect", ports) != 0; ++attempt) {
      ASSERT_LT(attempt, 50) << "could not connect " << port;
      usleep(100'000);
    }
  }

  // Everything received, once JACK has delivered the last of it.
  std::vector<Message> Received() {
    usleep(500'000);
    // As Ctrl+C ends it: it leaves JACK cleanly, which SIGTERM does not.
    kill(static_cast<pid_t>(dump_.process.processId()), SIGINT);
    EXPECT_TRUE(dump_.process.waitForFinished(3000));
    // Lines read "  406528: 91 3c 5a note on (channel 1): ...".
    static const QRegularExpression kLine(R"(: ((?:[0-9a-f]{2} ){3}))");
    std::vector<Message> messages;
    for (auto lines = kLine.globalMatch(dump_.process.readAllStandardOutput()); lines.hasNext();) {
      const QByteArray bytes = QByteArray::fromHex(lines.next().captured(1).toLatin1());
      messages.emplace_back(reinterpret_cast<const unsigned char*>(bytes.data()),
                            reinterpret_cast<const unsigned char*>(bytes.data()) + bytes.size());
    }
    return messages;
  }

  Process jackd_;
  Process dump_;
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
  // `quillotone --midi-out --no-synth --mode ionian --seed 3`, connected.
  app_ = std::make_unique<App>(argc_, argv_);
  app_->SetOptions({.seed = 3, .sound = false, .mode = 5, .soundFont = {}, .midiOut = true});
  app_->SetMessageSink(this);
  std::vector<std::function<void()>> steps = app_->StartupSteps();
  steps.pop_back();  // not the event loop
  Main(steps, [](std::exception_ptr) { FAIL() << "start-up failed"; });
  ASSERT_NE(app_->midiOutput(), nullptr);
  ASSERT_NO_FATAL_FAILURE(Connect(app_->midiOutput()->portName()));
  app_->window1().play_Action();
  QTimer::singleShot(2500, app_.get(), [this] {
    if (GetParam() == kStop) app_->window1().stop_Action(), QCoreApplication::exit(0);
    if (GetParam() == kQuitItem) app_->menuBar1().FileQuit()->trigger();
    if (GetParam() > 0) kill(getpid(), GetParam());
  });
  QTimer::singleShot(10'000, app_.get(), [] { QCoreApplication::exit(99); });  // fails, not hangs
  EXPECT_EQ(app_->RunEventLoop(), 0);
  if (GetParam() != kStop) app_.reset();
  std::vector<Message> received = Received();

  std::vector<Message> ons = received;
  std::erase_if(ons, [](const Message& m) { return (m[0] & 0xF0) != kNoteOn; });
  std::vector<Message> melody = MelodyNoteOns();
  melody.resize(ons.size());
  EXPECT_GE(ons.size(), 8u);
  EXPECT_EQ(ons, melody);
  ASSERT_GE(received.size(), 2u);
  EXPECT_TRUE(std::equal(received.end() - 2, received.end(), kAllNotesOff));
  EXPECT_EQ(Sounding(received), 0);
  // Without what the end sent, notes were sounding.
  while ((received.back()[0] & 0xF0) != kNoteOn) received.pop_back();
  EXPECT_GT(Sounding(received), 0);
}

INSTANTIATE_TEST_SUITE_P(By, MidiEndTest,
                         ::testing::Values(kStop, kQuitItem, SIGTERM, SIGINT, SIGHUP));

TEST_F(MidiOutputTest, ASecondPortIsNamedAsJackNamedItAndEndsARestruckNoteFirst) {
  MidiOutput first("Quillotone");
  MidiOutput second("Quillotone");
  EXPECT_EQ(first.portName(), "Quillotone:Quillotone");
  ASSERT_EQ(second.portName(), "Quillotone-01:Quillotone");
  ASSERT_NO_FATAL_FAILURE(Connect(second.portName()));
  for (const int velocity : {100, 90, 0}) second.Note(0, 60, velocity);
  EXPECT_EQ(Received(),
            (std::vector<Message>{{0x90, 60, 100}, {0x80, 60, 0}, {0x90, 60, 90}, {0x80, 60, 0}}));
}

}  // namespace
}  // namespace quillotone
