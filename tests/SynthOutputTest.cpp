// The audio output's life on a real sound server: it closes when nothing has
// been sent for a while and opens again for the next note, and the playhead
// runs on across both without a jump.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <cstdlib>

#include "framework/SynthHost.h"
#include "support/EventLoop.h"
#include "support/PulseDaemon.h"

namespace quillotone {
namespace {

using testing::PulseDaemon;
using testing::RunEventLoopFor;
using testing::RunEventLoopUntil;

constexpr int kA4 = 69;

// A synth host playing through a private PulseAudio daemon, whose failures
// are kept.
class SynthOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(daemon.Start()) << "pulseaudio could not be started:\n" << daemon.log();
    setenv("PULSE_SERVER", daemon.server().c_str(), 1);
    QObject::connect(&host, &SynthHost::ready, [this] { ready = true; });
    QObject::connect(&host, &SynthHost::failed, [this](const QString& m) { failures << m; });
  }
  void TearDown() override { unsetenv("PULSE_SERVER"); }

  // Loads the synth (TimGM6mb, for speed) and waits until it is ready.
  void Load() {
    SynthOptions options;
    options.soundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
    options.audioDriver = "pulseaudio";
    host.LoadInBackground(options);
    ASSERT_TRUE(RunEventLoopUntil([&] { return ready; }, 15000))
        << failures.join('\n').toStdString() << "\n"
        << daemon.log();
  }

  PulseDaemon daemon;
  int argc = 1;
  char name[19] = "sound_server_tests";
  char* argv[2] = {name, nullptr};
  QCoreApplication app{argc, argv};
  SynthHost host;
  bool ready = false;
  QStringList failures;
};

TEST_F(SynthOutputTest, ClosesWhenIdleAndOpensAgainForTheNextNote) {
  ASSERT_NO_FATAL_FAILURE(Load());
  EXPECT_TRUE(failures.isEmpty()) << failures.join('\n').toStdString();
  EXPECT_TRUE(host.outputOpen());

  // Closed by hand: the playhead goes on with the system clock.
  host.CloseOutput();
  EXPECT_FALSE(host.outputOpen());
  const double closedAt = host.Microseconds();
  RunEventLoopFor(200);
  const double closedMoved = host.Microseconds() - closedAt;
  EXPECT_GT(closedMoved, 150'000.0);
  EXPECT_LT(closedMoved, 1'000'000.0);

  // A note opens it again, at once, and the synth renders and sounds it.
  const double beforeOpen = host.Microseconds();
  host.SendNow(0, kA4, 100);
  EXPECT_TRUE(host.outputOpen());
  const double afterOpen = host.Microseconds();
  EXPECT_GE(afterOpen, beforeOpen);
  EXPECT_LT(afterOpen - beforeOpen, 100'000.0) << "the playhead jumped on opening";
  const std::uint64_t framesAtOpen = host.synth()->Frames();
  EXPECT_TRUE(RunEventLoopUntil([&] { return host.synth()->ActiveVoices() > 0; }, 3000));
  EXPECT_TRUE(
      RunEventLoopUntil([&] { return host.synth()->Frames() > framesAtOpen + 44'100; }, 5000))
      << "the output opened again but does not render";
  host.SendNow(0, kA4, 0);

  // Left alone, it closes by itself once the note has died away.
  EXPECT_TRUE(
      RunEventLoopUntil([&] { return !host.outputOpen(); }, SynthHost::kIdleCloseMs + 2000));
}

TEST_F(SynthOutputTest, WithoutAServerAtStartTheSynthIsMadeAndPlaysOnceOneComes) {
  daemon.Stop();  // its socket is where the server will be
  ASSERT_NO_FATAL_FAILURE(Load());
  ASSERT_EQ(failures.size(), 1);
  EXPECT_TRUE(failures[0].contains("No audio output could be opened")) << failures[0].toStdString();
  EXPECT_FALSE(host.outputOpen());

  // Notes with no server: nothing opens, nothing more is said, time goes on.
  const double before = host.Microseconds();
  for (int i = 0; i < 10; ++i) {
    host.SendNow(0, kA4, 100);
    host.SendNow(0, kA4, 0);
    RunEventLoopFor(150);
  }
  EXPECT_FALSE(host.outputOpen());
  EXPECT_EQ(failures.size(), 1) << "told once";
  EXPECT_GT(host.Microseconds() - before, 1'000'000.0);

  // The server comes: the next notes open the output, and it renders.
  ASSERT_TRUE(daemon.Start()) << daemon.log();
  bool restored = false;
  QObject::connect(&host, &SynthHost::restored, [&] { restored = true; });
  EXPECT_TRUE(RunEventLoopUntil(
      [&] {
        host.SendNow(0, kA4, 100);
        return host.outputOpen();
      },
      3 * static_cast<int>(SynthHost::kRetryMicros / 1000)));
  EXPECT_TRUE(restored);
  const std::uint64_t framesAtOpen = host.synth()->Frames();
  EXPECT_TRUE(
      RunEventLoopUntil([&] { return host.synth()->Frames() > framesAtOpen + 44'100; }, 8000))
      << "opened but does not render";
  host.SendNow(0, kA4, 0);
  EXPECT_EQ(failures.size(), 1);
  host.CloseOutput();
}

}  // namespace
}  // namespace quillotone
