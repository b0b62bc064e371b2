#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numbers>
#include <set>
#include <string>
#include <vector>

#include "app/App.h"
#include "melody/Modes.h"
#include "support/EventLoop.h"
#include "support/PulseDaemon.h"
#include "support/Spectrum.h"
#include "ui/MessageSink.h"
#include "ui/Texts.h"
#include "ui/Window1.h"

namespace quillotone {
namespace {

using testing::Child;
using testing::PulseDaemon;
using testing::ReadText;
using testing::RunEventLoopFor;
using testing::RunEventLoopUntil;

namespace fs = std::filesystem;

constexpr int kRate = 44100;
constexpr int kBytesPerSample = 2;  // s16le, one channel
constexpr int kPentatonicRow = 7;

class RecordingSink final : public MessageSink {
 public:
  void Show(const QString& text) override { shown.push_back(text); }
  std::vector<QString> shown;
};

// Whole samples recorded so far: where "now" falls in the recording.
std::size_t SamplesSoFar(const fs::path& path) {
  std::error_code error;
  const auto bytes = fs::file_size(path, error);
  return error ? 0 : static_cast<std::size_t>(bytes) / kBytesPerSample;
}

std::vector<double> ReadSamples(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<double> samples;
  unsigned char bytes[2];
  while (in.read(reinterpret_cast<char*>(bytes), 2)) {
    samples.push_back(static_cast<std::int16_t>(bytes[0] | (bytes[1] << 8)));
  }
  return samples;
}

struct Level {
  double rms = 0.0;
  double maxAbs = 0.0;
};

Level Measure(const std::vector<double>& samples, std::size_t begin, std::size_t end) {
  end = std::min(end, samples.size());
  Level level;
  if (begin >= end) return level;
  double sum = 0.0;
  for (std::size_t i = begin; i < end; ++i) {
    sum += samples[i] * samples[i];
    level.maxAbs = std::max(level.maxAbs, std::abs(samples[i]));
  }
  level.rms = std::sqrt(sum / static_cast<double>(end - begin));
  return level;
}

// A playback stream that runs dry is filled with exact zeros by the server,
// and the synth's audio resumes after the gap: each gap shifts the phase of
// every sounding note, smearing it over the neighbouring semitones. While
// the melody plays nothing is that silent, so such runs are gaps.
constexpr std::size_t kShortestGap = 8;

struct Spliced {
  std::vector<double> samples;
  int gaps = 0;
  std::size_t gapSamples = 0;
};

Spliced WithoutGaps(const std::vector<double>& samples, std::size_t begin, std::size_t end) {
  end = std::min(end, samples.size());
  Spliced out;
  std::size_t i = begin;
  while (i < end) {
    std::size_t j = i;
    while (j < end && samples[j] == 0.0) ++j;
    if (j - i >= kShortestGap) {
      ++out.gaps;
      out.gapSamples += j - i;
    } else {
      out.samples.insert(out.samples.end(), samples.begin() + static_cast<std::ptrdiff_t>(i),
                         samples.begin() + static_cast<std::ptrdiff_t>(j));
    }
    if (j < end) out.samples.push_back(samples[j]);
    i = j + 1;
  }
  return out;
}

constexpr const char* kPitchNames[12] = {"C",  "C#", "D",  "D#", "E",  "F",
                                         "F#", "G",  "G#", "A",  "A#", "B"};

class SoundServerTest : public ::testing::Test {
 protected:
  SoundServerTest() { setenv("QT_QPA_PLATFORM", "offscreen", 0); }
  ~SoundServerTest() override { unsetenv("PULSE_SERVER"); }

  // The daemon, then the program on it with `seed`, its synth loaded.
  void StartProgram(std::uint64_t seed) {
    ASSERT_TRUE(daemon.Start()) << "pulseaudio could not be started (is it installed?):\n"
                                << daemon.log();
    // Before the synth exists: FluidSynth's driver finds the server here.
    setenv("PULSE_SERVER", daemon.server().c_str(), 1);
    app = std::make_unique<App>(argc, argv);
    app->SetMessageSink(&sink);
    App::Options options;
    options.seed = seed;
    app->SetOptions(options);
    QObject::connect(&app->synthHost(), &SynthHost::ready, [this] { ready = true; });
    QObject::connect(&app->synthHost(), &SynthHost::failed,
                     [this](const QString& m) { failure = m; });
    std::string reported;
    auto steps = app->StartupSteps();
    steps.pop_back();  // the event loop: the tests turn it themselves
    Main(steps, [&](std::exception_ptr e) {
      try {
        std::rethrow_exception(e);
      } catch (const std::exception& x) {
        reported = x.what();
      } catch (...) {
        reported = "an unknown error";
      }
    });
    ASSERT_EQ(reported, "");
    ASSERT_TRUE(RunEventLoopUntil([&] { return ready || !failure.isEmpty(); }, 15000))
        << "the synth never loaded";
    ASSERT_TRUE(ready) << failure.toStdString() << "\nserver log:\n" << daemon.log();
  }

  // Records the daemon's sink into `recording` from now on. A short latency
  // keeps what it holds close to the moment.
  void StartRecording(const fs::path& recording) {
    ASSERT_TRUE(recorder.Start(
        {"parec", "--server=" + daemon.server(), "-d",
         std::string(PulseDaemon::kSinkName) + ".monitor", "--format=s16le", "--rate=44100",
         "--channels=1", "--raw", "--latency-msec=20", recording.string()},
        {}, daemon.dir() / "parec.log"))
        << "parec could not be started: is pulseaudio-utils installed?";
    ASSERT_TRUE(RunEventLoopUntil([&] { return SamplesSoFar(recording) > kRate / 5; }, 5000))
        << "the monitor delivers nothing: " << ReadText(daemon.dir() / "parec.log");
  }

  int argc = 1;
  char name[19] = "sound_server_tests";
  char* argv[2] = {name, nullptr};
  RecordingSink sink;
  bool ready = false;
  QString failure;
  // Declared so that they go in reverse: the recorder, the program (so the
  // synth leaves the server before it stops), then the daemon.
  PulseDaemon daemon;
  std::unique_ptr<App> app;
  Child recorder;
};

TEST_F(SoundServerTest, PlaysTheChosenModeThroughTheServerAndFallsSilentAfterStop) {
  QElapsedTimer wall;
  wall.start();
  ASSERT_NO_FATAL_FAILURE(StartProgram(12345));
  ASSERT_NE(app->synthHost().synth(), nullptr);
  EXPECT_EQ(app->synthHost().synth()->audioDriver(), "pulseaudio");
  // One recording throughout; "now" is marked by how much it holds.
  const fs::path recording = daemon.dir() / "monitor.raw";
  ASSERT_NO_FATAL_FAILURE(StartRecording(recording));

  Window1& window = app->window1();
  auto* popup = window.findChild<QComboBox*>("PopupMenu1");
  auto* play = window.findChild<QPushButton*>("play");
  auto* stop = window.findChild<QPushButton*>("stop");
  ASSERT_NE(popup, nullptr);
  ASSERT_NE(play, nullptr);
  ASSERT_NE(stop, nullptr);
  popup->setCurrentIndex(kPentatonicRow);
  const Mode* mode = ModeAt(kPentatonicRow);
  ASSERT_NE(mode, nullptr);
  std::set<int> modeClasses;
  for (int pitch : mode->pitches) modeClasses.insert(pitch % 12);

  const std::size_t beforePlay = SamplesSoFar(recording);
  QTest::mouseClick(play, Qt::LeftButton);
  RunEventLoopFor(1000);
  const std::size_t listenFrom = SamplesSoFar(recording);
  const std::uint64_t framesFrom = app->synthHost().synth()->Frames();
  QElapsedTimer listening;
  listening.start();
  RunEventLoopFor(4000);
  const std::size_t stopAt = SamplesSoFar(recording);
  std::printf("synth clock: %.0f frames per second of wall time\n",
              static_cast<double>(app->synthHost().synth()->Frames() - framesFrom) * 1000.0 /
                  static_cast<double>(listening.elapsed()));
  QTest::mouseClick(stop, Qt::LeftButton);
  RunEventLoopFor(2500);
  recorder.Stop();

  const std::vector<double> samples = ReadSamples(recording);
  ASSERT_GT(samples.size(), stopAt + 2 * kRate) << "the recording stopped short";
  // Before play: the floor of the server and of the synth.
  const Level floor = Measure(samples, 0, beforePlay);
  const Level playing = Measure(samples, listenFrom, stopAt);
  std::printf("floor before play: rms %.2f max %.0f\n", floor.rms, floor.maxAbs);
  std::printf("playing (%.2f s): rms %.1f max %.0f\n",
              static_cast<double>(stopAt - listenFrom) / kRate, playing.rms, playing.maxAbs);
  // The floor here is digital silence; FluidSynth's default gain leaves the
  // melody near -40 dBFS; a fifth of that still means it sounds.
  EXPECT_GT(playing.rms, 50.0);
  EXPECT_GT(playing.rms, 20.0 * std::max(floor.rms, 1.0));

  const Spliced heard = WithoutGaps(samples, listenFrom, stopAt);
  std::printf("gaps in the stream while playing: %d, %.0f ms in all\n", heard.gaps,
              1000.0 * static_cast<double>(heard.gapSamples) / kRate);
  const std::array<double, 12> chroma = testing::Chroma(heard.samples, kRate);
  std::vector<int> order(12);
  for (int i = 0; i < 12; ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](int a, int b) { return chroma[a] > chroma[b]; });
  double total = 0.0;
  double inMode = 0.0;
  for (int pc = 0; pc < 12; ++pc) {
    total += chroma[pc];
    if (modeClasses.count(pc) != 0) inMode += chroma[pc];
  }
  ASSERT_GT(total, 0.0);
  std::printf("chroma, share of energy, strongest first (* = not in the mode):");
  for (int pc : order) {
    std::printf(" %s %.3f%s", kPitchNames[pc], chroma[pc] / total,
                modeClasses.count(pc) != 0 ? "" : "*");
  }
  std::printf("\nshare in the mode: %.3f\n", inMode / total);
  // The three strongest are notes the melody played. Below them come the
  // piano's harmonics: the 3rd (a fifth up) and 5th (a third up) land
  // outside the mode, e.g. E from A.
  for (int rank = 0; rank < 3; ++rank) {
    EXPECT_EQ(modeClasses.count(order[rank]), 1u)
        << kPitchNames[order[rank]] << " ranks " << rank + 1 << " but is not in the "
        << mode->popupText;
  }
  // Seven classes outside the mode share what harmonics and reverb leave;
  // chance would give them 7/12.
  EXPECT_GT(inMode / total, 0.75);

  // Stopping: the thank-you box, then silence once the piano has released.
  ASSERT_FALSE(sink.shown.empty());
  EXPECT_EQ(sink.shown.back(), ThankYouText());
  std::printf("rms after stop, per 100 ms:");
  for (std::size_t from = stopAt; from + kRate / 10 <= samples.size(); from += kRate / 10) {
    std::printf(" %.0f", Measure(samples, from, from + kRate / 10).rms);
  }
  std::size_t lastSound = stopAt;
  for (std::size_t i = stopAt; i < samples.size(); ++i) {
    if (std::abs(samples[i]) > 1.0) lastSound = i;
  }
  std::printf("\nlast sample above 1 LSB: %.3f s after stop\n",
              static_cast<double>(lastSound - stopAt) / kRate);
  // 0.5 s for the notes to end, and as long again for the piano's release and
  // the reverb (measured here: below 1 LSB 0.55-0.75 s after the click).
  const Level after = Measure(samples, stopAt + kRate, stopAt + 2 * kRate);
  std::printf("1.0-2.0 s after stop: rms %.2f max %.0f\n", after.rms, after.maxAbs);
  EXPECT_LT(after.rms, 1.0);
  EXPECT_LE(after.maxAbs, 2.0);
  std::printf("wall time %.1f s\n", static_cast<double>(wall.elapsed()) / 1000.0);
}

TEST_F(SoundServerTest, LosingTheServerWhilePlayingIsToldOnceAndTheNextStartIsHeard) {
  ASSERT_NO_FATAL_FAILURE(StartProgram(777));
  SynthHost& host = app->synthHost();
  Window1& window = app->window1();
  auto* play = window.findChild<QPushButton*>("play");
  auto* stop = window.findChild<QPushButton*>("stop");
  ASSERT_NE(play, nullptr);
  ASSERT_NE(stop, nullptr);

  QTest::mouseClick(play, Qt::LeftButton);
  ASSERT_TRUE(
      RunEventLoopUntil([&] { return host.outputOpen() && host.synth()->Frames() > kRate; }, 8000))
      << "never played through the server";
  const std::size_t shownBefore = sink.shown.size();

  daemon.Stop();
  ASSERT_TRUE(RunEventLoopUntil([&] { return !host.outputOpen(); }, 5000))
      << "the lost output was never noticed";
  // Then the melody keeps its time on the system clock, its notes going
  // nowhere, and the user is told once.
  QElapsedTimer wall;
  wall.start();
  const double playheadAfterLoss = host.Microseconds();
  RunEventLoopFor(3000);
  const double ratio = (host.Microseconds() - playheadAfterLoss) / (1000.0 * wall.elapsed());
  EXPECT_GT(ratio, 0.95);
  EXPECT_LT(ratio, 1.05);
  ASSERT_EQ(sink.shown.size(), shownBefore + 1) << "told once, and only once";
  EXPECT_TRUE(sink.shown.back().contains("sound output stopped"))
      << sink.shown.back().toStdString();
  ASSERT_TRUE(stop->isEnabled()) << "still playing";
  QTest::mouseClick(stop, Qt::LeftButton);
  EXPECT_EQ(sink.shown.back(), ThankYouText());
  EXPECT_TRUE(play->isEnabled());

  // The server comes back: the next start is heard, with no restart.
  ASSERT_TRUE(daemon.Start()) << "pulseaudio did not come back:\n" << daemon.log();
  const fs::path recording = daemon.dir() / "after.raw";
  ASSERT_NO_FATAL_FAILURE(StartRecording(recording));
  const std::size_t from = SamplesSoFar(recording);
  QTest::mouseClick(play, Qt::LeftButton);
  RunEventLoopFor(4000);
  QTest::mouseClick(stop, Qt::LeftButton);
  const std::vector<double> samples = ReadSamples(recording);
  ASSERT_GT(samples.size(), from + 3 * kRate);
  const Level heard = Measure(samples, from + kRate, from + 3 * kRate);
  std::printf("after the server came back: rms %.0f max %.0f\n", heard.rms, heard.maxAbs);
  EXPECT_GT(heard.rms, 100.0);
  EXPECT_EQ(sink.shown.size(), shownBefore + 3) << "the loss and two thank-yous, nothing more";
}

}  // namespace
}  // namespace quillotone
