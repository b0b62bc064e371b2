// SPDX-License-Identifier: GPL-3.0-or-later
// More than a day of melody, rendered offline through the program's own
// path (scheduler, synth host, note players, the synth's event queue and
// clock), with the click SoundFont: every step's onset is found in the audio
// and checked against the ideal grid. The synth's frame count passes 2^32
// (FluidSynth's own 32-bit sample counter wraps there, about 27 hours in at
// 44.1 kHz); no step may go missing or off the grid, before or after.
//
//   soak_bench [hours]     default 28.5
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "ClickSoundFont.h"
#include "framework/Random.h"
#include "framework/audio/SynthHost.h"
#include "framework/audio/SynthNotePlayer.h"
#include "melody/Melody.h"
#include "melody/Modes.h"

using namespace quillotone;

namespace {

constexpr double kRate = 44100.0;
// Rendered between turns of the scheduler, as the audio thread renders a
// period while the event loop sleeps.
constexpr std::size_t kPeriodFrames = 2048;
constexpr int kStepsPerCycle = kLongSteps + kShortSteps;
constexpr double kLongFrames = kRate * 0.25;
constexpr double kShortFrames = kRate * 0.125;
// Off the grid: further from it than one of the synth's blocks.
constexpr double kTolerance = 64.0;
// Louder than this is a note (the click peaks near 0.1; the reverb's floor
// between notes is below 1e-7).
constexpr float kSound = 1e-5f;
constexpr std::size_t kQuietFrames = static_cast<std::size_t>(kRate / 50);

// The window as the melody sees it while playing: start disabled, stop
// enabled, and the two note players.
class PlayingWindow final : public ControlLookup {
 public:
  PlayingWindow(NotePlayer& first, NotePlayer& second) : first_(first), second_(second) {}
  NotePlayer* FindNotePlayer(std::string_view name) override {
    if (name == "NotePlayer1") return &first_;
    if (name == "NotePlayer2") return &second_;
    return nullptr;
  }
  std::optional<bool> FindEnabled(std::string_view name) override {
    if (name == "play") return false;
    if (name == "stop") return true;
    return std::nullopt;
  }

 private:
  NotePlayer& first_;
  NotePlayer& second_;
};

}  // namespace

int main(int argc, char** argv) {
  const double hours = argc > 1 ? std::atof(argv[1]) : 28.5;
  QCoreApplication app(argc, argv);
  const std::string font = (std::filesystem::temp_directory_path() /
                            ("quillotone-soak-" + std::to_string(getpid()) + ".sf2"))
                               .string();
  if (!bench::WriteClickSoundFont(font)) return 1;

  SynthOptions options;
  options.soundFont = font;
  options.sampleRate = kRate;
  SynthHost host;
  host.Attach(std::make_unique<Synth>(options));
  std::filesystem::remove(font);
  Scheduler scheduler(host);
  SynthNotePlayer player1(host, scheduler, 0, "NotePlayer1");
  SynthNotePlayer player2(host, scheduler, 1, "NotePlayer2");
  PlayingWindow window(player1, player2);
  ThreadContext thread(scheduler, "dorian1");
  scheduler.Start(thread, PlayMelody(window, std::make_unique<Random>(1), kModes[0].pitches));

  const auto total = static_cast<std::uint64_t>(hours * 3600.0 * kRate);
  std::vector<float> left(kPeriodFrames), right(kPeriodFrames);
  std::uint64_t frame = 0;
  std::size_t quiet = 0;
  std::uint64_t steps = 0, offGrid = 0, missing = 0;
  double first = -1, last = -1, ideal = 0;
  double worstInterval = 0, worstDrift = 0;
  std::map<long, std::uint64_t> histogram;  // interval error, frames
  const auto wall = std::chrono::steady_clock::now();
  double nextReport = 3600.0;
  while (frame < total) {
    // Every turn the event loop would give before the next period.
    scheduler.RunDue();
    while (scheduler.HasReady()) scheduler.RunReady();
    host.synth()->Render(left, right);
    for (std::size_t i = 0; i < kPeriodFrames; ++i) {
      const float level = std::max(std::abs(left[i]), std::abs(right[i]));
      if (level < kSound) {
        ++quiet;
        continue;
      }
      if (quiet >= kQuietFrames) {
        const double at = static_cast<double>(frame + i);
        if (first < 0) {
          first = at;
        } else {
          const double step =
              ((steps - 1) % kStepsPerCycle) < kLongSteps ? kLongFrames : kShortFrames;
          const double interval = at - last;
          // A step that went missing leaves an interval of two or more.
          if (interval > 1.5 * step) ++missing;
          ideal += step;
          const double error = interval - step;
          const double drift = (at - first) - ideal;
          worstInterval = std::max(worstInterval, std::abs(error));
          worstDrift = std::max(worstDrift, std::abs(drift));
          if (std::abs(error) > kTolerance || std::abs(drift) > kTolerance) ++offGrid;
          ++histogram[std::lround(error)];
        }
        last = at;
        ++steps;
      }
      quiet = 0;
    }
    frame += kPeriodFrames;
    if (static_cast<double>(frame) / kRate >= nextReport) {
      std::fprintf(stderr, "%5.1f h rendered, %llu steps, worst interval error %.1f frames\n",
                   nextReport / 3600.0, static_cast<unsigned long long>(steps), worstInterval);
      nextReport += 3600.0;
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
  const double expectedSteps = (static_cast<double>(total) - first) / kRate / 8.0 * kStepsPerCycle;
  std::printf("rendered %.2f h of melody (%llu frames; 2^32 passed: %s) in %.0f s\n", hours,
              static_cast<unsigned long long>(host.synth()->Frames()),
              host.synth()->Frames() > (std::uint64_t{1} << 32) ? "yes" : "no", seconds);
  std::printf("steps heard %llu (about %.0f expected), missing %llu, off the grid %llu\n",
              static_cast<unsigned long long>(steps), expectedSteps,
              static_cast<unsigned long long>(missing), static_cast<unsigned long long>(offGrid));
  std::printf(
      "worst interval error %.1f frames, worst drift from the grid %.1f frames,\n"
      "drift at the end %.1f frames\n",
      worstInterval, worstDrift, (last - first) - ideal);
  std::printf("interval errors (frames: count):");
  for (const auto& [error, count] : histogram) {
    std::printf(" %ld: %llu", error, static_cast<unsigned long long>(count));
  }
  std::printf("\n");
  return missing == 0 && offGrid == 0 ? 0 : 1;
}
