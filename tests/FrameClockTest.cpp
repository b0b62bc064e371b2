// SPDX-License-Identifier: GPL-3.0-or-later
// JACK's frame clock followed against the monotonic clock, on a clock pair
// the test makes: a server whose frames run fast or slow by parts per
// million, read each cycle with the jitter a busy machine adds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ostream>
#include <random>
#include <string>

#include "framework/midi/FrameClock.h"

namespace quillotone {
namespace {

// A server's clock: `firstFrame` at monotonic `startMicros`, `rate` frames a
// second nominally, off by `ppm` against the monotonic clock.
struct ServerClock {
  double rate;
  double ppm;
  FrameClock::Frame firstFrame;
  double startMicros = 0.0;
  [[nodiscard]] double framesPerMicro() const { return rate * (1.0 + ppm * 1e-6) / 1e6; }
  [[nodiscard]] double MicrosOf(double frames) const {
    return startMicros + frames / framesPerMicro();
  }
};

// Runs `seconds` of cycles of `period` frames, each read as its callback
// wakes, up to 100 µs late, and gives the largest error in microseconds of where the clock puts
// a cycle's first frame, and the largest error in frames of the 250 ms
// between two notes once the clock has had kSettleSeconds to measure the
// rate (until then the nominal rate's 200 ppm are 2.4 frames).
constexpr double kSettleSeconds = 20.0;
struct Errors {
  double micros = 0.0;
  double intervalFrames = 0.0;
  FrameClock::Frame nextFrame = 0;  // the first frame not run
};
Errors Follow(FrameClock& clock, const ServerClock& server, int period, double seconds,
              std::minstd_rand& jitter, int unjudgedCycles = 0) {
  std::uniform_real_distribution<double> lateness(0.0, 100.0);
  Errors worst;
  const double step = 250'000.0;  // a long step
  for (double frames = 0.0; server.MicrosOf(frames) < server.startMicros + seconds * 1e6;
       frames += period) {
    const auto frame = server.firstFrame + static_cast<FrameClock::Frame>(frames);
    worst.nextFrame = frame + static_cast<FrameClock::Frame>(period);
    const double micros = server.MicrosOf(frames);
    clock.Observe(frame, micros + lateness(jitter));
    if (unjudgedCycles-- > 0) continue;
    worst.micros = std::max(worst.micros, std::abs(clock.MicrosAt(frame) - micros));
    if (micros < server.startMicros + kSettleSeconds * 1e6) continue;
    const auto interval =
        static_cast<std::int32_t>(clock.FrameAt(micros + step) - clock.FrameAt(micros));
    worst.intervalFrames =
        std::max(worst.intervalFrames, std::abs(interval - step * server.framesPerMicro()));
  }
  return worst;
}

struct Drift {
  double rate;
  double ppm;
  int period;
};
void PrintTo(const Drift& d, std::ostream* out) {
  *out << int(d.rate) << "Hz" << (d.ppm > 0 ? "Fast" : "Slow") << "By" << int(std::abs(d.ppm))
       << "ppmAt" << d.period;
}
class FrameClockTest : public ::testing::TestWithParam<Drift> {};

// Over an hour, started a minute before the frame count wraps: within a
// millisecond throughout, and every step's length within a frame of true.
TEST_P(FrameClockTest, AnHourOfAServerClockOffByPartsPerMillionStaysWithinAMillisecond) {
  const ServerClock server{GetParam().rate, GetParam().ppm,
                           static_cast<FrameClock::Frame>(0u - 60u * 48000u)};
  FrameClock clock(server.rate);
  std::minstd_rand jitter(1);
  const Errors errors = Follow(clock, server, GetParam().period, 3600.0, jitter);
  EXPECT_LT(errors.micros, 1000.0);
  EXPECT_LE(errors.intervalFrames, 1.0);
  EXPECT_NEAR(clock.measuredRate(), server.framesPerMicro() * 1e6, server.rate * 2e-6);
}

INSTANTIATE_TEST_SUITE_P(Servers, FrameClockTest,
                         ::testing::Values(Drift{48000, 200, 256}, Drift{48000, -200, 64},
                                           Drift{44100, 200, 1024}, Drift{44100, -200, 256}),
                         ::testing::PrintToStringParamName());

// What happens to the server while it plays: it restarts (its frames count
// from 0 again), changes its period, changes its rate, stalls (its frames go
// on 68 ms late, as jackd's dummy driver's do on a busy machine). Each is
// followed within a millisecond from its first cycle on, the stall's first
// 100 ms aside.
TEST(FrameClockChangesTest, AServerThatRestartsStallsOrChangesRateIsFollowedAtOnce) {
  enum class Told : std::uint8_t { kNothing, kPeriod, kRate };
  struct Change {
    const char* what;
    ServerClock server;
    int period;
    Told told;
    // Its frames go on from the last run's, after a cycle that ran this late.
    double stalledMicros;
  };
  const Change changes[] = {
      {"playing", {48000, 200, 1000, 0.0}, 256, Told::kNothing, 0.0},
      {"restarted", {48000, 200, 0, 60e6}, 256, Told::kNothing, 0.0},
      {"period changed", {48000, 200, 777777, 120e6}, 1024, Told::kPeriod, 0.0},
      {"rate changed", {44100, -200, 5, 180e6}, 1024, Told::kRate, 0.0},
      {"stalled", {44100, -200, 0, 240e6}, 1024, Told::kNothing, 68e3},
  };
  FrameClock clock(48000);
  std::minstd_rand jitter(2);
  FrameClock::Frame next = 0;
  for (Change change : changes) {
    if (change.told == Told::kRate) clock.Reset(change.server.rate);
    if (change.told == Told::kPeriod) clock.Relock();
    if (change.stalledMicros > 0.0) {
      clock.Observe(next, change.server.startMicros + change.stalledMicros + 20e3);
      change.server.firstFrame = next + static_cast<FrameClock::Frame>(change.period);
      change.server.startMicros += change.stalledMicros;
    }
    // After a stall the cycles are passed over until they have agreed for
    // 100 ms of frames: a server catching up would be back on time by then.
    const Errors errors = Follow(clock, change.server, change.period, 60.0, jitter,
                                 change.stalledMicros > 0.0 ? 5 : 0);
    next = errors.nextFrame;
    EXPECT_LT(errors.micros, 1000.0) << change.what;
    EXPECT_LE(errors.intervalFrames, 1.0) << change.what;
  }
}

}  // namespace
}  // namespace quillotone
