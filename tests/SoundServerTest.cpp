// SPDX-License-Identifier: GPL-3.0-or-later
// The program on a private sound server, run once on PulseAudio and once on
// PipeWire: the server comes and goes, the program is heard or falls silent
// on a recording of the null sink (parec, measured by sox), and what it says
// is counted, on stderr and in notices.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <cstdio>
#include <memory>
#include <string>

#include "app/App.h"
#include "framework/SystemClock.h"
#include "framework/audio/AudioTiming.h"
#include "support/EventLoop.h"
#include "support/Program.h"
#include "ui/Texts.h"
#include "ui/Window1.h"

namespace quillotone {
namespace {

using testing::RunEventLoopFor;
using testing::RunEventLoopUntil;

constexpr double kHeardDb = -50.0;   // the melody peaks near -20 dBFS
constexpr double kSilentDb = -80.0;  // one LSB is -90

std::string Output(const std::string& command) {
  std::string out(4096, '\0');
  const std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  out.resize(pipe ? std::fread(out.data(), 1, out.size(), pipe.get()) : 0);
  return out;
}

// Messages are kept; notices too, and shown in the program's real boxes.
class Sink final : public MessageSink {
 public:
  void Show(const QString& text) override { shown.push_back(text); }
  void Notice(const QString& text) override { notices.push_back(text), boxes.Notice(text); }
  std::vector<QString> shown, notices;
  MessageBoxSink boxes;
};

// This process's stderr goes to `path` while it lives; Lines() are those the
// program and its libraries wrote, not the offscreen platform's note on each
// box shown.
struct StderrTo {
  explicit StderrTo(std::string file) : path(std::move(file)) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, STDERR_FILENO), close(fd);
  }
  ~StderrTo() { dup2(saved, STDERR_FILENO), close(saved); }
  int Lines() const { return std::atoi(Output("grep -vc propagateSizeHints " + path).c_str()); }
  std::string path;
  int saved = dup(STDERR_FILENO);
};

class SoundServerTest : public ::testing::TestWithParam<const char*> {
 protected:
  SoundServerTest() { setenv("PULSE_SERVER", ("unix:" + dir + "/pulse/native").c_str(), 1); }
  ~SoundServerTest() override { Server("stop " + dir); }

  static void Server(const std::string& args) {
    ASSERT_EQ(std::system((QUILLOTONE_SOUND_SERVER " " + args).c_str()), 0) << args;
  }
  void StartServer() {
    Server("start " + (GetParam() + (" " + dir)) + " " + std::to_string(getpid()));
  }
  // The program, its synth loaded; the test turns the event loop.
  void Launch() {
    app = std::make_unique<App>(argc, argv);
    testing::StartUp(*app, {.seed = 7, .soundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2"}, &sink);
    sink.boxes.SetParent(&app->window1());
    ASSERT_TRUE(RunEventLoopUntil([&] { return app->synthHost().synth() != nullptr; }, 15000));
  }
  // Records the sink's monitor into `file` from now on, until the server goes.
  std::string Record(const std::string& file) {
    Output(
        "parec --latency-msec=10 -d quillotone_test.monitor --format=s16le --rate=44100 "
        "--channels=1 --raw " +
        file + " >/dev/null 2>&1 &");
    // Recording once the monitor's (silent) samples arrive, however slowly
    // a busy machine starts parec.
    EXPECT_TRUE(RunEventLoopUntil(
        [&] { return QFileInfo(QString::fromStdString(file)).size() > 0; }, 10000))
        << "parec records nothing";
    return file;
  }
  // The loudest sample of the recording's stretch sox's `trim` picks, in dBFS.
  static double PeakDb(const std::string& file, const std::string& trim) {
    return std::atof(Output("sox -t raw -r 44100 -e signed -b 16 -c 1 " + file + " -n trim " +
                            trim + " stats 2>&1 | awk '/Pk lev dB/ {print $4}'")
                         .c_str());
  }

  QTemporaryDir tmp;
  std::string dir = tmp.path().toStdString();
  int argc = 1;
  char name[19] = "sound_server_tests";
  char* argv[2] = {name, nullptr};
  Sink sink;
  std::unique_ptr<App> app;
};

// Each finding of a user's on a desktop, in one story: a server that comes
// after launch, one lost and back in the middle of a melody.
TEST_P(SoundServerTest, ComesAfterLaunchGoesAndComesBackMidMelodyAndStopAlwaysStops) {
  ASSERT_NO_FATAL_FAILURE(Launch());
  const StderrTo errors(dir + "/stderr");
  RunEventLoopFor(500);
  EXPECT_EQ(app->synthHost().output()->state(), AudioOutput::State::kClosed) << "opened at launch";
  ASSERT_NO_FATAL_FAILURE(StartServer());
  std::string recording = Record(dir + "/first.raw");
  // As with a MIDI port: a melody opens the stream before its first note.
  app->synthHost().SetTimingWanted(true);
  testing::Click(*app, "play");
  RunEventLoopFor(1500);
  EXPECT_GT(PeakDb(recording, "-1.2"), kHeardDb) << "the first start silent";
  // The server's word on when the frame rendered next is heard: after what
  // the stream buffers, and well within a second.
  const double untilHeard =
      app->synthHost().output()->device().HeardAtMicros(app->synthHost().synth()->Frames()) -
      SystemClock().MonotonicMicros();
  EXPECT_GT(untilHeard, 0.0);
  EXPECT_LT(untilHeard, 500'000.0);
  // What the desktop's mixer reads of the stream: the program's name, its
  // icon as installed, its role and its own title.
  const std::string stream = Output("pactl list sink-inputs");
  for (const char* property :
       {"application.name = \"Quillotone\"", "application.id = \"example.quillotone.Quillotone\"",
        "application.icon_name = \"example.quillotone.Quillotone\"", "media.role = \"music\"",
        "media.name = \"Melody\""}) {
    EXPECT_NE(stream.find(property), std::string::npos) << property << " not in\n" << stream;
  }

  ASSERT_NO_FATAL_FAILURE(Server("stop " + dir));
  ASSERT_TRUE(RunEventLoopUntil([&] { return !sink.notices.empty(); }, 6000)) << "loss untold";
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the notice blocks the window";
  RunEventLoopFor(static_cast<int>(3 * audio::kRetryMicros / 1000));  // looking for it
  ASSERT_NO_FATAL_FAILURE(StartServer());
  recording = Record(dir + "/back.raw");
  ASSERT_TRUE(RunEventLoopUntil([&] { return sink.notices.size() == 2; }, 8000)) << "return untold";
  EXPECT_EQ(sink.boxes.notice()->text(), sink.notices.back()) << "the loss notice stays";
  RunEventLoopFor(1000);
  EXPECT_GT(PeakDb(recording, "-0.8"), kHeardDb) << "not heard again";

  testing::Click(*app, "stop");
  EXPECT_EQ(sink.shown, std::vector{ThankYouText()});
  // The note-offs go out a lead ahead and are heard after the stream's
  // buffer; the piano's release and the reverb then fall to the last bit in
  // about a second (0.9 to 1.0 s as recorded on Debian 13). Then nothing.
  RunEventLoopFor(static_cast<int>(audio::kLeadMicros / 1000) + 2500);
  EXPECT_LT(PeakDb(recording, "-0.9"), kSilentDb) << "still sounding after stop";
  EXPECT_EQ(errors.Lines(), 2) << "one line for the loss, one for the return:\n"
                               << Output("cat " + errors.path);
}

INSTANTIATE_TEST_SUITE_P(On, SoundServerTest, ::testing::Values("pulseaudio", "pipewire"),
                         [](const ::testing::TestParamInfo<const char*>& server) {
                           return server.param == std::string("pulseaudio") ? "PulseAudio"
                                                                            : "PipeWire";
                         });

}  // namespace
}  // namespace quillotone
