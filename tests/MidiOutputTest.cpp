#include <gtest/gtest.h>
#include <unistd.h>

#include <QComboBox>
#include <QProcess>
#include <QStandardPaths>
#include <cstdlib>
#include <set>
#include <utility>
#include <string>
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

  QString server_;
  Process jackd_;
  Process dump_;
};

TEST_F(MidiOutputTest, AJackClientReceivesTheMelodyOnBothChannelsAndTheStop) {
  int argc = 1;
  char name[] = "midi_output_tests";
  char* argv[] = {name, nullptr};
  App app(argc, argv);
  RecordingSink sink;
  App::Options options;
  options.seed = kSeed;
  options.sound = false;
  options.mode = kIonianRow;
  options.midiOut = true;
  app.SetOptions(options);
  app.SetMessageSink(&sink);
  std::vector<std::function<void()>> steps = app.StartupSteps();
  steps.pop_back();  // not the event loop
  Main(steps, [](std::exception_ptr) { FAIL() << "start-up failed"; });
  ASSERT_NE(app.midiOutput(), nullptr) << sink.shown.join('\n').toStdString();
  EXPECT_EQ(app.midiOutput()->system(), "JACK");
  EXPECT_TRUE(sink.shown.isEmpty()) << sink.shown.join('\n').toStdString();
  EXPECT_EQ(app.synthHost().synth(), nullptr) << "--no-synth loads no synth";

  ASSERT_EQ(QProcess::execute(QStringLiteral("jack_connect"),
                              {"Quillotone:Quillotone", "midi-monitor:input"}),
            0);
  Window1& window = app.window1();
  EXPECT_EQ(window.findChild<QComboBox*>("PopupMenu1")->currentIndex(), kIonianRow);
  window.play_Action();
  RunEventLoopFor(3000);
  window.stop_Action();
  RunEventLoopFor(500);  // JACK delivers within a period or two

  dump_.process.terminate();
  ASSERT_TRUE(dump_.process.waitForFinished(3000));
  const std::vector<std::vector<unsigned>> received =
      ParseDump(QString::fromLocal8Bit(dump_.process.readAllStandardOutput()));
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

}  // namespace
}  // namespace quillotone
