// The MIDI port as a receiving program hears it: jack_midi_dump on a JACK
// server of the test's own (the dummy driver: no sound hardware).
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QProcess>
#include <QTimer>
#include <csignal>
#include <map>
#include <memory>
#include <vector>

#include "app/App.h"
#include "framework/MidiOutput.h"
#include "framework/Random.h"
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
constexpr int kIonianRow = 5;
constexpr std::uint64_t kSeed = 3;
constexpr unsigned kNoteOn = 0x90;
constexpr unsigned kNoteOff = 0x80;
const Message kAllNotesOff[] = {{0xB0, 123, 0}, {0xB1, 123, 0}};

class RecordingSink final : public MessageSink {
 public:
  void Show(const QString& text) override { shown.push_back(text); }
  QStringList shown;
};

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

// The melody's note-ons for this seed, worked out on a virtual clock.
std::vector<Message> MelodyNoteOns() {
  testing::VirtualClock clock;
  Scheduler scheduler(clock);
  ThreadContext thread(scheduler, "expected");
  testing::FakeWindow window(scheduler);
  scheduler.Start(thread,
                  PlayMelody(window, std::make_unique<Random>(kSeed), ModeAt(kIonianRow)->pitches));
  testing::RunUntil(scheduler, clock, 40 * kLongStepMicros);
  std::vector<Message> ons;
  for (const testing::NoteEvent& e : window.notes) {
    const unsigned channel = e.player == kMainPlayer ? 0 : 1;
    if (e.velocity > 0) ons.push_back({kNoteOn | channel, unsigned(e.note), unsigned(e.velocity)});
  }
  return ons;
}

// Voices a receiver that stacks them (and ignores All Notes Off) still
// sounds after `messages`; a note-off for a silent key is reported.
int Sounding(const std::vector<Message>& messages) {
  std::map<std::pair<unsigned, unsigned>, int> voices;
  int sounding = 0;
  for (const Message& m : messages) {
    int& voice = voices[{m[0] & 0x0F, m[1]}];
    if ((m[0] & 0xF0) == kNoteOn) ++voice, ++sounding;
    if ((m[0] & 0xF0) == kNoteOff) {
      EXPECT_GT(voice, 0) << "a note-off for a silent key " << m[1];
      if (voice > 0) --voice, --sounding;
    }
  }
  return sounding;
}

class MidiOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Reached by name only, so a user's own JACK server is never touched.
    setenv("JACK_DEFAULT_SERVER", ("quillotone-test-" + std::to_string(getpid())).c_str(), 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
    jackd_.process.start("jackd", {"--no-realtime", "-d", "dummy", "-r", "48000", "-p", "256"});
    ASSERT_TRUE(WaitForPort("")) << "no JACK server (Debian packages jackd2, jack-tools)";
    // Line-buffered, so what it receives is read as it arrives.
    dump_.process.start("stdbuf", {"-oL", "jack_midi_dump"});
    ASSERT_TRUE(WaitForPort("midi-monitor:input"));
  }

  // No application may exist yet, so this polls without an event loop.
  static bool WaitForPort(const QString& port) {
    for (int attempt = 0; attempt < 100; ++attempt, usleep(100'000)) {
      QProcess lsp;
      lsp.start("jack_lsp", {});
      if (lsp.waitForFinished(2000) && lsp.exitCode() == 0 && lsp.readAll().contains(port.toUtf8()))
        return true;
    }
    return false;
  }

  static void Connect(const std::string& port) {
    ASSERT_EQ(
        QProcess::execute("jack_connect", {QString::fromStdString(port), "midi-monitor:input"}), 0);
  }

  // `quillotone --midi-out --no-synth --mode ionian --seed 3`, its port
  // connected to the receiver, and start pressed.
  void StartPlaying() {
    app_ = std::make_unique<App>(argc_, argv_);
    app_->SetOptions(
        {.seed = kSeed, .sound = false, .mode = kIonianRow, .soundFont = {}, .midiOut = true});
    app_->SetMessageSink(&sink_);
    std::vector<std::function<void()>> steps = app_->StartupSteps();
    steps.pop_back();  // not the event loop
    Main(steps, [](std::exception_ptr) { FAIL() << "start-up failed"; });
    ASSERT_NE(app_->midiOutput(), nullptr) << sink_.shown.join('\n').toStdString();
    ASSERT_EQ(app_->synthHost().synth(), nullptr) << "--no-synth loads no synth";
    ASSERT_NO_FATAL_FAILURE(Connect(app_->midiOutput()->portName()));
    app_->window1().play_Action();
  }

  // Everything received, once JACK has delivered the last of it.
  std::vector<Message> Received() {
    usleep(500'000);
    // As Ctrl+C ends it: it leaves JACK cleanly, which SIGTERM does not.
    kill(static_cast<pid_t>(dump_.process.processId()), SIGINT);
    EXPECT_TRUE(dump_.process.waitForFinished(3000));
    // Lines read "  406528: 91 3c 5a note on (channel 1): ...".
    std::vector<Message> messages;
    for (const QByteArray& line : dump_.process.readAllStandardOutput().split('\n')) {
      Message bytes;
      for (const QByteArray& token : line.mid(line.indexOf(':') + 1).split(' ')) {
        bool ok = false;
        if (token.size() == 2 && (bytes.push_back(token.toUInt(&ok, 16)), !ok)) bytes.pop_back();
        if (token.size() > 2) break;
      }
      if (bytes.size() == 3 && line.contains(':')) messages.push_back(bytes);
    }
    return messages;
  }

  Process jackd_;
  Process dump_;
  int argc_ = 1;
  char name_[18] = "midi_output_tests";
  char* argv_[2] = {name_, nullptr};
  RecordingSink sink_;
  std::unique_ptr<App> app_;
};

// Whichever way the melody ends while notes sound, stop, the Quit item (as
// Ctrl+Q) or SIGTERM (a logout, say), the receiver is left with nothing
// sounding, and All Notes Off comes last.
enum class End { kStop, kQuitItem, kSigterm };
class MidiEndTest : public MidiOutputTest, public ::testing::WithParamInterface<End> {};

TEST_P(MidiEndTest, TheMelodyReachesTheReceiverAndItsEndLeavesNothingSounding) {
  ASSERT_NO_FATAL_FAILURE(StartPlaying());
  QTimer::singleShot(2500, app_.get(), [this] {
    if (GetParam() == End::kStop) app_->window1().stop_Action(), QCoreApplication::exit(0);
    if (GetParam() == End::kQuitItem) app_->menuBar1().FileQuit()->trigger();
    if (GetParam() == End::kSigterm) kill(getpid(), SIGTERM);
  });
  QTimer::singleShot(10'000, app_.get(), [] { QCoreApplication::exit(99); });  // fails, not hangs
  EXPECT_EQ(app_->RunEventLoop(), 0);
  if (GetParam() != End::kStop) app_.reset();
  std::vector<Message> received = Received();

  std::vector<Message> ons;
  std::copy_if(received.begin(), received.end(), std::back_inserter(ons),
               [](const Message& m) { return (m[0] & 0xF0) == kNoteOn; });
  const std::vector<Message> melody = MelodyNoteOns();
  ASSERT_GE(ons.size(), 8u);
  ASSERT_LE(ons.size(), melody.size());
  EXPECT_TRUE(std::equal(ons.begin(), ons.end(), melody.begin())) << "not the melody's notes";
  ASSERT_GE(received.size(), 2u);
  EXPECT_TRUE(std::equal(received.end() - 2, received.end(), kAllNotesOff));
  EXPECT_EQ(Sounding(received), 0);
  // Without what the end sent, notes were sounding.
  while ((received.back()[0] & 0xF0) != kNoteOn) received.pop_back();
  EXPECT_GT(Sounding(received), 0);
}

INSTANTIATE_TEST_SUITE_P(By, MidiEndTest,
                         ::testing::Values(End::kStop, End::kQuitItem, End::kSigterm));

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
