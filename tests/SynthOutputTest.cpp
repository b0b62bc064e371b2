// The audio output's life on a real sound server: it closes when nothing has
// been sent for a while and opens again for the next note, and the playhead
// runs on across both without a jump.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
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

TEST(SynthOutputTest, ClosesWhenIdleAndOpensAgainForTheNextNote) {
  PulseDaemon daemon;
  ASSERT_TRUE(daemon.Start()) << "pulseaudio could not be started:\n" << daemon.log();
  setenv("PULSE_SERVER", daemon.server().c_str(), 1);
  int argc = 1;
  char name[] = "sound_server_tests";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);

  SynthHost host;
  SynthOptions options;
  options.soundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
  options.audioDriver = "pulseaudio";
  bool ready = false;
  QString failure;
  QObject::connect(&host, &SynthHost::ready, [&] { ready = true; });
  QObject::connect(&host, &SynthHost::failed, [&](const QString& m) { failure = m; });
  host.LoadInBackground(options);
  ASSERT_TRUE(RunEventLoopUntil([&] { return ready || !failure.isEmpty(); }, 15000));
  ASSERT_TRUE(ready) << failure.toStdString() << "\n" << daemon.log();
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
  unsetenv("PULSE_SERVER");
}

}  // namespace
}  // namespace quillotone
