#include <gtest/gtest.h>
#include <unistd.h>

#include <QComboBox>
#include <QProcess>
#include <QStandardPaths>
#include <cstdlib>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/App.h"
#include "framework/MidiOutput.h"
#include "framework/Random.h"
#include "melody/Melody.h"
#include "melody/Modes.h"
#include "support/EventLoop.h"
#include "support/FakeWindow.h"
#include "support/VirtualClock.h"
#include "ui/Window1.h"

namespace quillotone {
namespace {

using testing::RunEventLoopFor;

constexpr int kIonianRow = 5;
constexpr std::uint64_t kSeed = 3;
constexpr unsigned kNoteOn = 0x90;
constexpr unsigned kNoteOff = 0x80;
constexpr unsigned kControlChange = 0xB0;
constexpr unsigned kAllNotesOff = 123;

class RecordingSink final : public MessageSink {
 public:
  void Show(const QString& text) override { shown.push_back(text); }
  QStringList shown;
};

// A process that is ended with the test, however it leaves.
class Process {
 public:
  ~Process() {
    if (process.state() == QProcess::NotRunning) return;
    process.terminate();
    if (!process.waitForFinished(3000)) process.kill();
    process.waitForFinished(3000);
  }
  QProcess process;
};

// The three-byte messages jack_midi_dump printed, in order. Its lines read
// "  406528: 91 3c 5a note on (channel 1): ...".
std::vector<std::vector<unsigned>> ParseDump(const QString& dump) {
  std::vector<std::vector<unsigned>> messages;
  for (const QString& line : dump.split('\n')) {
    const qsizetype colon = line.indexOf(':');
    if (colon < 0) continue;
    std::vector<unsigned> bytes;
    for (const QString& token : line.mid(colon + 1).split(' ', Qt::SkipEmptyParts)) {
      bool ok = false;
      const unsigned byte = token.toUInt(&ok, 16);
      if (!ok || token.size() != 2) break;
      bytes.push_back(byte);
    }
    if (!bytes.empty()) messages.push_back(bytes);
  }
  return messages;
}

// What the melody plays for this seed, as MIDI messages: worked out on a
// virtual clock, with no port, no synth and no window.
std::vector<std::vector<unsigned>> ExpectedMessages(int notes) {
  testing::VirtualClock clock;
  Scheduler scheduler(clock);
  ThreadContext thread(scheduler, "expected");
  testing::FakeWindow window(scheduler);
  scheduler.Start(thread,
                  PlayMelody(window, std::make_unique<Random>(kSeed), ModeAt(kIonianRow)->pitches));
  testing::RunUntil(scheduler, clock, notes * kLongStepMicros);
  std::vector<std::vector<unsigned>> messages;
  for (const testing::NoteEvent& e : window.notes) {
    const unsigned channel = e.player == kMainPlayer ? 0 : 1;
    const unsigned status = (e.velocity > 0 ? kNoteOn : kNoteOff) | channel;
    messages.push_back({status, static_cast<unsigned>(e.note), static_cast<unsigned>(e.velocity)});
  }
  return messages;
}

// A JACK server of our own with the dummy driver (no sound hardware), and
// jack_midi_dump as the receiving client.
class MidiOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* program : {"jackd", "jack_midi_dump", "jack_connect", "jack_lsp", "stdbuf"}) {
      if (QStandardPaths::findExecutable(program).isEmpty()) {
        GTEST_SKIP() << program << " is not installed (Debian packages jackd2, jack-tools)";
      }
    }
    // Reached by name only, so a user's own JACK server is never touched.
    server_ = QStringLiteral("quillotone-test-%1").arg(getpid());
    setenv("JACK_DEFAULT_SERVER", server_.toLocal8Bit().constData(), 1);
    setenv("JACK_NO_START_SERVER", "1", 1);

    jackd_.process.start(QStringLiteral("jackd"),
                         {"--no-realtime", "-d", "dummy", "-r", "48000", "-p", "256"});
    ASSERT_TRUE(jackd_.process.waitForStarted(5000));
    ASSERT_TRUE(WaitForPort(QString())) << "the JACK server did not come up:\n"
                                        << jackd_.process.readAll().toStdString();
    // Line-buffered, so what it receives is read as it arrives.
    dump_.process.start(QStringLiteral("stdbuf"), {"-oL", "jack_midi_dump"});
    ASSERT_TRUE(dump_.process.waitForStarted(5000));
    ASSERT_TRUE(WaitForPort(QStringLiteral("midi-monitor:input")));
  }

  void TearDown() override {
    unsetenv("JACK_DEFAULT_SERVER");
    unsetenv("JACK_NO_START_SERVER");
  }

  // True once jack_lsp lists `port` (any answer at all, for an empty name).
  // No application exists yet, so this polls without an event loop.
  static bool WaitForPort(const QString& port) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      QProcess lsp;
      lsp.start(QStringLiteral("jack_lsp"), {});
      if (lsp.waitForFinished(2000) && lsp.exitCode() == 0 &&
          (port.isEmpty() || QString::fromLocal8Bit(lsp.readAll()).contains(port))) {
        return true;
      }
      usleep(100'000);
    }
    return false;
  }

  // The program as `quillotone --midi-out --no-synth --mode ionian --seed 3`
  // would start it, its port connected to the receiving client.
  void StartProgram() {
    app_ = std::make_unique<App>(argc_, argv_);
    App::Options options;
    options.seed = kSeed;
    options.sound = false;
    options.mode = kIonianRow;
    options.midiOut = true;
    app_->SetOptions(options);
    app_->SetMessageSink(&sink_);
    std::vector<std::function<void()>> steps = app_->StartupSteps();
    steps.pop_back();  // not the event loop
    Main(steps, [](std::exception_ptr) { FAIL() << "start-up failed"; });
    ASSERT_NE(app_->midiOutput(), nullptr) << sink_.shown.join('\n').toStdString();
    EXPECT_EQ(app_->midiOutput()->system(), "JACK");
    EXPECT_TRUE(sink_.shown.isEmpty()) << sink_.shown.join('\n').toStdString();
    EXPECT_EQ(app_->synthHost().synth(), nullptr) << "--no-synth loads no synth";
    ASSERT_EQ(QProcess::execute(QStringLiteral("jack_connect"),
                                {"Quillotone:Quillotone", "midi-monitor:input"}),
              0);
  }

  // Everything the client received, once JACK has delivered the last of it.
  std::vector<std::vector<unsigned>> Received() {
    RunEventLoopFor(500);
    dump_.process.terminate();
    EXPECT_TRUE(dump_.process.waitForFinished(3000));
    return ParseDump(QString::fromLocal8Bit(dump_.process.readAllStandardOutput()));
  }

  QString server_;
  Process jackd_;
  Process dump_;
  int argc_ = 1;
  char name_[18] = "midi_output_tests";
  char* argv_[2] = {name_, nullptr};
  RecordingSink sink_;
  std::unique_ptr<App> app_;
};

TEST_F(MidiOutputTest, AJackClientReceivesTheMelodyOnBothChannelsAndTheStop) {
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  Window1& window = app_->window1();
  EXPECT_EQ(window.findChild<QComboBox*>("PopupMenu1")->currentIndex(), kIonianRow);
  window.play_Action();
  RunEventLoopFor(3000);
  window.stop_Action();
  const std::vector<std::vector<unsigned>> received = Received();
  // The stop's All Notes Off on both channels comes last.
  ASSERT_GT(received.size(), 2u);
  EXPECT_EQ(received[received.size() - 2],
            (std::vector<unsigned>{kControlChange | 0, kAllNotesOff, 0}));
  EXPECT_EQ(received.back(), (std::vector<unsigned>{kControlChange | 1, kAllNotesOff, 0}));

  // Before it, the first messages of what the melody plays for this seed, in
  // order and on their channels, then the stop's sweep. Note-offs go out
  // only for notes that sound, so each note is ended once and none is left.
  const std::vector<std::vector<unsigned>> melody = ExpectedMessages(40);
  const auto heard = [&](std::size_t played, bool* leftSounding) {
    std::vector<std::vector<unsigned>> out;
    std::set<std::pair<unsigned, unsigned>> sounding;
    const auto send = [&](const std::vector<unsigned>& message) {
      const std::pair<unsigned, unsigned> key{message[0] & 0x0F, message[1]};
      if ((message[0] & 0xF0) == kNoteOn) {
        sounding.insert(key);
        out.push_back(message);
      } else if (sounding.erase(key) == 1) {
        out.push_back(message);
      }
    };
    for (std::size_t i = 0; i < played; ++i) send(melody[i]);
    const bool stoppedWhileSounding = !sounding.empty();
    // The sweep: note by note, the main player's channel, then the held one's.
    for (unsigned note = 1; note <= 127; ++note) {
      send({kNoteOff | 0, note, 0});
      send({kNoteOff | 1, note, 0});
    }
    *leftSounding = !sounding.empty();
    out.push_back({kControlChange | 0, kAllNotesOff, 0});
    out.push_back({kControlChange | 1, kAllNotesOff, 0});
    return std::make_pair(out, stoppedWhileSounding);
  };
  std::size_t played = 0;
  bool leftSounding = true;
  while (played <= melody.size() && heard(played, &leftSounding).first != received) ++played;
  ASSERT_LE(played, melody.size()) << "what was received is no prefix of the melody and a stop";
  EXPECT_TRUE(heard(played, &leftSounding).second) << "stop came while notes sounded";
  EXPECT_FALSE(leftSounding);
  int noteOns = 0;
  for (std::size_t i = 0; i < played; ++i) noteOns += (melody[i][0] & 0xF0) == kNoteOn;
  EXPECT_GE(noteOns, 8);
}

TEST_F(MidiOutputTest, AfterEveryStopNothingSoundsEvenForAReceiverDeafToAllNotesOff) {
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  Window1& window = app_->window1();
  std::mt19937 random(kSeed);
  constexpr int kPairs = 12;
  for (int pair = 0; pair < kPairs; ++pair) {
    window.play_Action();
    RunEventLoopFor(std::uniform_int_distribution<int>(0, 700)(random));
    window.stop_Action();
  }
  const std::vector<std::vector<unsigned>> received = Received();

  std::set<std::pair<unsigned, unsigned>> sounding;
  int stops = 0;
  int notes = 0;
  for (const std::vector<unsigned>& message : received) {
    ASSERT_EQ(message.size(), 3u);
    const unsigned kind = message[0] & 0xF0;
    const std::pair<unsigned, unsigned> key{message[0] & 0x0F, message[1]};
    if (kind == kNoteOn && message[2] > 0) {
      sounding.insert(key);
      ++notes;
    } else if (kind == kNoteOff) {
      EXPECT_EQ(sounding.erase(key), 1u) << "a note-off for a note not sounding";
    } else if (kind == kControlChange && message[1] == kAllNotesOff) {
      // Only after the stop's note-offs, which leave nothing sounding.
      EXPECT_TRUE(sounding.empty()) << "stop " << stops;
      stops += (message[0] & 0x0F) == 1;
    } else {
      ADD_FAILURE() << "unexpected message " << message[0];
    }
  }
  EXPECT_EQ(stops, kPairs);
  EXPECT_TRUE(sounding.empty());
  EXPECT_GT(notes, kPairs);
}

}  // namespace
}  // namespace quillotone
