// Real FluidSynth rendered offline: the tests hear what a listener would,
// sample for sample, with no audio device and no wall clock involved.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <numbers>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "framework/Synth.h"
#include "framework/SynthHost.h"
#include "framework/SynthNotePlayer.h"
#include "framework/Task.h"
#include "framework/Thread.h"

namespace quillotone {
namespace {

constexpr const char* kSmallSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
constexpr double kSampleRate = 44100.0;
// FluidSynth renders, and applies scheduled events, in blocks of this size.
constexpr std::size_t kBlockFrames = 64;
constexpr double kLeadMillis = SynthHost::kLeadMicros / 1000.0;

// General MIDI instruments, counted from 1.
constexpr int kPiano = 1;
constexpr int kChurchOrgan = 20;
constexpr int kFlute = 74;
constexpr int kWoodblock = 116;  // a sharp attack and a short decay: clear onsets

constexpr int kA4 = 69;  // 440 Hz
constexpr int kE5 = 76;  // 659.26 Hz
constexpr int kC4 = 60;
constexpr int kVelocity = 100;
constexpr int kOff = 0;

// Louder than this is sound; the notes here peak around 0.01 to 0.06.
constexpr double kAudible = 1e-3;
// Quieter than this is silence: the synth's own floor is far below.
constexpr double kSilent = 1e-5;

double FrequencyOf(int note) { return 440.0 * std::pow(2.0, (note - kA4) / 12.0); }

SynthOptions Offline() {
  SynthOptions options;
  options.soundFont = kSmallSoundFont;
  options.audioOutput = false;
  options.sampleRate = kSampleRate;
  return options;
}

std::size_t FrameAt(double millis) {
  return static_cast<std::size_t>(std::llround(millis * kSampleRate / 1000.0));
}

double MillisAt(std::size_t frame) { return static_cast<double>(frame) * 1000.0 / kSampleRate; }

// An offline synth on a host with two players, the scheduler driven between
// audio blocks the way the event loop drives it while the audio plays.
struct Rig {
  enum class Start { kWithSynth, kWithoutSynth };

  explicit Rig(Start start = Start::kWithSynth, SynthOptions options = Offline()) {
    if (start == Start::kWithSynth) AttachSynth(options);
  }

  void AttachSynth(const SynthOptions& options = Offline()) {
    host.Attach(std::make_unique<Synth>(options));
  }

  void Render(double millis) {
    const std::size_t end = audio.size() + FrameAt(millis);
    std::vector<float> left(kBlockFrames);
    std::vector<float> right(kBlockFrames);
    while (audio.size() < end) {
      scheduler.RunReady();
      scheduler.RunDue();
      host.synth()->Render(left, right);
      for (std::size_t i = 0; i < kBlockFrames; ++i) audio.push_back(0.5f * (left[i] + right[i]));
    }
  }

  [[nodiscard]] std::span<const float> Window(double fromMillis, double toMillis) const {
    const std::size_t from = std::min(FrameAt(fromMillis), audio.size());
    const std::size_t to = std::clamp(FrameAt(toMillis), from, audio.size());
    return std::span<const float>(audio).subspan(from, to - from);
  }

  SynthHost host;
  Scheduler scheduler{host};
  SynthNotePlayer first{host, scheduler, 0, "first"};
  SynthNotePlayer second{host, scheduler, 1, "second"};
  std::vector<float> audio;
};

double Rms(std::span<const float> samples) {
  if (samples.empty()) return 0.0;
  double sum = 0.0;
  for (const float s : samples) sum += static_cast<double>(s) * s;
  return std::sqrt(sum / static_cast<double>(samples.size()));
}

double Peak(std::span<const float> samples) {
  double peak = 0.0;
  for (const float s : samples) peak = std::max(peak, static_cast<double>(std::abs(s)));
  return peak;
}

// The spectrum at single frequencies (Goertzel) over a Hann-windowed stretch.
class Spectrum {
 public:
  explicit Spectrum(std::span<const float> samples) : windowed_(samples.size()) {
    const double n = static_cast<double>(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
      const double hann = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / (n - 1.0));
      windowed_[i] = samples[i] * hann;
    }
  }

  [[nodiscard]] double Magnitude(double hz) const {
    const double coefficient = 2.0 * std::cos(2.0 * std::numbers::pi * hz / kSampleRate);
    double s1 = 0.0;
    double s2 = 0.0;
    for (const double x : windowed_) {
      const double s0 = x + coefficient * s1 - s2;
      s2 = s1;
      s1 = s0;
    }
    return std::sqrt(std::max(0.0, s1 * s1 + s2 * s2 - coefficient * s1 * s2));
  }

  // The strongest frequency in [lowHz, highHz]: a coarse scan, then a fine one.
  [[nodiscard]] double Dominant(double lowHz, double highHz) const {
    constexpr double kCoarseHz = 2.0;
    constexpr double kFineHz = 0.1;
    const double coarse = Strongest(lowHz, highHz, kCoarseHz);
    return Strongest(coarse - kCoarseHz, coarse + kCoarseHz, kFineHz);
  }

 private:
  [[nodiscard]] double Strongest(double lowHz, double highHz, double stepHz) const {
    double best = lowHz;
    double bestMagnitude = -1.0;
    for (double hz = lowHz; hz <= highHz; hz += stepHz) {
      if (const double m = Magnitude(hz); m > bestMagnitude) {
        bestMagnitude = m;
        best = hz;
      }
    }
    return best;
  }

  std::vector<double> windowed_;
};

// Frames where the sound rises through a level after a quiet stretch: where
// notes begin, each note counted once. Levels are relative to the loudest
// sample, so the synth's gain does not matter.
std::vector<std::size_t> Onsets(std::span<const float> audio) {
  const double peak = Peak(audio);
  const double kLevel = 0.1 * peak;
  const double kQuiet = 0.05 * peak;
  const std::size_t quietFrames = FrameAt(30.0);
  std::vector<std::size_t> onsets;
  bool armed = true;
  std::size_t quietFor = 0;
  for (std::size_t i = 0; i < audio.size(); ++i) {
    const double level = std::abs(audio[i]);
    quietFor = level < kQuiet ? quietFor + 1 : 0;
    if (quietFor >= quietFrames) armed = true;
    if (armed && level >= kLevel) {
      onsets.push_back(i);
      armed = false;
    }
  }
  return onsets;
}

struct Step {
  int note;
  int velocity;
  double waitMicros;
};

// A melody thread's body in miniature: notes at set logical times.
Task PlaySteps(NotePlayer& player, std::vector<Step> steps) {
  for (const Step& step : steps) {
    player.PlayNote(step.note, step.velocity);
    if (step.waitMicros > 0.0) co_await Wait(step.waitMicros);
  }
}

Thread::Handler Steps(NotePlayer& player, std::vector<Step> steps) {
  return [&player, steps] { return PlaySteps(player, steps); };
}

// --- What a note sounds like -----------------------------------------------

class SynthPitchTest : public ::testing::TestWithParam<int> {};

TEST_P(SynthPitchTest, NoteOutsideAThreadSoundsAtOnceAtItsPitch) {
  const int note = GetParam();
  Rig rig;
  rig.first.PlayNote(note, kVelocity);
  rig.Render(500);

  // At once: well before the lead that scheduled notes get.
  EXPECT_GT(Rms(rig.Window(0, kLeadMillis / 2)), kAudible);
  const double expected = FrequencyOf(note);
  EXPECT_NEAR(Spectrum(rig.Window(50, 500)).Dominant(100, 2000), expected, 3.0) << "note " << note;
}

INSTANTIATE_TEST_SUITE_P(Notes, SynthPitchTest, ::testing::Values(57, kA4, kE5, 81));

TEST(SynthSoundTest, PlayerFallsSilentAfterItsNoteOffAndRelease) {
  Rig rig;
  rig.first.PlayNote(kA4, kVelocity);
  rig.Render(300);
  rig.first.PlayNote(kA4, kOff);
  rig.Render(1500);

  EXPECT_GT(Rms(rig.Window(0, 300)), kAudible);
  EXPECT_LT(Rms(rig.Window(1300, 1800)), kSilent);
}

TEST(SynthSoundTest, SilenceEndsWhatSoundsAndForgetsWhatIsDue) {
  Synth synth(Offline());
  std::vector<float> left(FrameAt(200));
  std::vector<float> right(left.size());
  synth.NoteNow(0, kA4, kVelocity);
  synth.NoteAt(synth.Frames() + FrameAt(500), 1, kA4 + 7, kVelocity, 1);
  synth.Render(left, right);
  const double sounding = Peak(left);
  ASSERT_GT(sounding, kAudible);

  // No note-off: the voice is cut with no release (the reverb's tail fades),
  // and the note due 300 ms into this render never starts.
  synth.Silence();
  left.assign(FrameAt(500), 0.0f);
  right.assign(left.size(), 0.0f);
  synth.Render(left, right);
  const std::span<const float> heard(left);
  EXPECT_LT(Peak(heard.subspan(FrameAt(50), FrameAt(150))), 0.1 * sounding);
  EXPECT_LT(Peak(heard.subspan(FrameAt(300), FrameAt(200))), kAudible);
  EXPECT_EQ(synth.ActiveVoices(), 0);
}

TEST(SynthSoundTest, NoteOffEndsTheNoteOnItsOwnPlayerOnly) {
  Rig rig;
  rig.second.SetInstrument(kChurchOrgan);  // holds its tone as long as the key is down
  rig.first.PlayNote(kA4, kVelocity);
  rig.second.PlayNote(kA4, kVelocity);
  rig.Render(200);
  rig.first.PlayNote(kA4, kOff);
  rig.Render(1500);
  EXPECT_GT(Rms(rig.Window(1300, 1700)), kAudible) << "the second player's note was cut";

  rig.second.PlayNote(kA4, kOff);
  rig.Render(1500);
  EXPECT_LT(Rms(rig.Window(3000, 3200)), kSilent);
}

// Renders note A4 on channel 0 of a synth the way `prepare` set it up.
template <typename Prepare>
std::vector<float> RenderA4(Prepare prepare) {
  Rig rig;
  prepare(rig);
  rig.first.PlayNote(kA4, kVelocity);
  rig.Render(300);
  return rig.audio;
}

double MaxDifference(const std::vector<float>& a, const std::vector<float>& b) {
  double most = 0.0;
  for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
    most = std::max(most, static_cast<double>(std::abs(a[i] - b[i])));
  }
  return most;
}

TEST(SynthSoundTest, InstrumentChosenBeforeTheSynthArrivesIsApplied) {
  const std::vector<float> piano = RenderA4([](Rig&) {});
  const std::vector<float> flute = RenderA4([](Rig& rig) { rig.first.SetInstrument(kFlute); });

  Rig rig(Rig::Start::kWithoutSynth);
  rig.first.SetInstrument(kFlute);
  rig.AttachSynth();
  rig.first.PlayNote(kA4, kVelocity);
  rig.Render(300);

  EXPECT_GT(MaxDifference(piano, flute), kAudible) << "the instrument makes no difference";
  EXPECT_LT(MaxDifference(rig.audio, flute), kSilent);
}

// --- When scheduled notes sound ----------------------------------------------

// Where the synth's clock starts: at zero, and just before its frame count
// passes 32 bits (about 27 hours in at 44.1 kHz), so that the wrap falls
// between the third and fourth notes.
class SynthClockTest : public ::testing::TestWithParam<std::uint64_t> {};

TEST_P(SynthClockTest, OnsetsKeepTheThreadsIntervalsToWithinOneBlock) {
  // TimGM6mb's woodblock strikes a second time, 140 ms on, when FluidSynth
  // loads its samples on demand; loaded whole it strikes once. (The piano
  // sounds the same either way.)
  SynthOptions whole = Offline();
  whole.loadAllSamples = true;
  whole.startFrame = GetParam();
  Rig rig(Rig::Start::kWithSynth, whole);
  rig.first.SetInstrument(kWoodblock);
  // Each note ends where the next starts, as in a melody; one pair is 125 ms apart.
  const std::vector<double> gapsMillis = {250, 250, 125, 125, 250};
  std::vector<Step> steps;
  for (const double gap : gapsMillis) {
    steps.push_back({kC4, kVelocity, gap * 1000.0});
    steps.push_back({kC4, kOff, 0.0});
  }
  steps.push_back({kC4, kVelocity, 100'000.0});
  steps.push_back({kC4, kOff, 0.0});
  Thread thread(rig.scheduler, "melody", Steps(rig.first, steps));
  thread.Run();
  rig.Render(1400);

  const std::vector<std::size_t> onsets = Onsets(rig.audio);
  ASSERT_EQ(onsets.size(), gapsMillis.size() + 1);
  // The thread started with the first block; its notes sound one lead later,
  // within a block, plus the woodblock's rise to the onset level.
  constexpr double kAttackMillis = 5.0;
  EXPECT_GE(MillisAt(onsets[0]), kLeadMillis);
  EXPECT_LE(MillisAt(onsets[0]), kLeadMillis + MillisAt(kBlockFrames) + kAttackMillis);
  for (std::size_t i = 0; i < gapsMillis.size(); ++i) {
    const double interval = static_cast<double>(onsets[i + 1] - onsets[i]);
    EXPECT_NEAR(interval, static_cast<double>(FrameAt(gapsMillis[i])), kBlockFrames)
        << "between onsets " << i << " and " << i + 1;
  }
  EXPECT_EQ(rig.host.synth()->Frames(), GetParam() + rig.audio.size());
}

INSTANTIATE_TEST_SUITE_P(Starts, SynthClockTest,
                         ::testing::Values(0, (std::uint64_t{1} << 32) - FrameAt(700),
                                           (std::uint64_t{1} << 32) - FrameAt(700) + 17));

// Two steps of 250 ms on the same notes; between them each note ends and, if
// `strikeAgain`, starts again at the same logical time. Gives the loudness of
// each step over the same stretch of the notes' envelope.
std::pair<double, double> StepRms(const std::vector<int>& chord, bool strikeAgain) {
  constexpr double kStepMicros = 250'000.0;
  Rig rig;
  rig.first.SetInstrument(kChurchOrgan);  // holds its tone, then stops within ~100 ms
  std::vector<Step> steps;
  for (const int note : chord) steps.push_back({note, kVelocity, 0.0});
  steps.back().waitMicros = kStepMicros;
  for (const int note : chord) {
    steps.push_back({note, kOff, 0.0});
    if (strikeAgain) steps.push_back({note, kVelocity, 0.0});
  }
  steps.back().waitMicros = kStepMicros;
  for (const int note : chord) steps.push_back({note, kOff, 0.0});
  Thread thread(rig.scheduler, "melody", Steps(rig.first, steps));
  thread.Run();
  rig.Render(700);
  auto stepRms = [&](double stepMillis) {
    return Rms(rig.Window(stepMillis + 120.0, stepMillis + 240.0));
  };
  return {stepRms(kLeadMillis), stepRms(kLeadMillis + kStepMicros / 1000.0)};
}

TEST(SynthSchedulingTest, NoteStruckAgainAtItsNoteOffTickIsHeard) {
  const double released = StepRms({kC4}, false).second;
  const auto [first, second] = StepRms({kC4}, true);
  EXPECT_GT(second, 5.0 * released) << "the note-off at the same tick cut the new note";
  EXPECT_NEAR(second, first, 0.1 * first);

  // Many events on one tick: still every note-off before its note-on.
  const auto [chordFirst, chordSecond] = StepRms({60, 62, 64, 65, 67, 69, 71, 72}, true);
  EXPECT_NEAR(chordSecond, chordFirst, 0.1 * chordFirst);
}

TEST(SynthSchedulingTest, ScheduledNoteLastsItsLogicalDuration) {
  constexpr double kHeldMillis = 250.0;
  Rig rig;
  rig.first.SetInstrument(kChurchOrgan);
  Thread thread(rig.scheduler, "melody",
                Steps(rig.first, {{kC4, kVelocity, kHeldMillis * 1000.0}, {kC4, kOff, 0.0}}));
  thread.Run();
  rig.Render(kLeadMillis + kHeldMillis + 300.0);

  const double end = kLeadMillis + kHeldMillis;
  const double held = Rms(rig.Window(end - 130.0, end - 80.0));
  EXPECT_GT(held, kAudible);
  EXPECT_GT(Rms(rig.Window(end - 50.0, end - 2.0)), 0.8 * held) << "the note ended early";
  EXPECT_LT(Rms(rig.Window(end + 200.0, end + 300.0)), 0.05 * held) << "the note did not end";
}

TEST(SynthSchedulingTest, NotesOfAKilledThreadNeverSound) {
  Rig rig;
  bool scheduled = false;
  Thread thread(rig.scheduler, "melody", [&] {
    return [](NotePlayer& player, bool& done) -> Task {
      player.PlayNote(kA4, kVelocity);
      co_await Wait(40'000.0);  // still within the lead
      player.PlayNote(kE5, kVelocity);
      done = true;
      co_await Wait(1'000'000.0);
      player.PlayNote(kA4, kOff);
      player.PlayNote(kE5, kOff);
    }(rig.first, scheduled);
  });
  thread.Run();
  rig.Render(50);
  ASSERT_TRUE(scheduled);
  thread.Kill();
  rig.Render(500);

  EXPECT_LT(Peak(rig.audio), kSilent);
}

TEST(SynthSchedulingTest, KillingOneThreadKeepsTheNotesOfAnother) {
  Rig rig;
  Thread killed(rig.scheduler, "killed",
                Steps(rig.first, {{kA4, kVelocity, 300'000.0}, {kA4, kOff, 0.0}}));
  Thread kept(rig.scheduler, "kept",
              Steps(rig.second, {{kE5, kVelocity, 300'000.0}, {kE5, kOff, 0.0}}));
  killed.Run();
  kept.Run();
  rig.Render(10);
  killed.Kill();
  rig.Render(400);

  const Spectrum spectrum(rig.Window(kLeadMillis + 10.0, kLeadMillis + 300.0));
  EXPECT_NEAR(spectrum.Dominant(100, 2000), FrequencyOf(kE5), 3.0);
  EXPECT_LT(spectrum.Magnitude(FrequencyOf(kA4)), 0.05 * spectrum.Magnitude(FrequencyOf(kE5)));
}

// --- Values out of range -------------------------------------------------------

TEST(SynthRobustnessTest, NotesOutOfRangeHaveNoEffect) {
  Rig rig;
  const std::vector<std::pair<int, int>> bad = {
      {-1, kVelocity}, {128, kVelocity}, {300, kVelocity}, {INT_MIN, kVelocity},
      {kA4, -5},       {kA4, 200},       {kA4, INT_MAX},   {INT_MAX, INT_MIN}};
  for (const auto& [note, velocity] : bad) rig.first.PlayNote(note, velocity);
  std::vector<Step> steps;
  for (const auto& [note, velocity] : bad) steps.push_back({note, velocity, 0.0});
  Thread thread(rig.scheduler, "melody", Steps(rig.second, steps));
  thread.Run();
  rig.Render(300);

  EXPECT_LT(Peak(rig.audio), kSilent);
}

TEST(SynthRobustnessTest, InstrumentsOutOfRangeKeepTheLastGoodOne) {
  const std::vector<float> flute = RenderA4([](Rig& rig) { rig.first.SetInstrument(kFlute); });
  const std::vector<float> afterBad = RenderA4([](Rig& rig) {
    rig.first.SetInstrument(kFlute);
    // 129 is program 128, which FluidSynth itself would take (and go silent).
    for (const int instrument : {0, -1, 129, 500, INT_MIN, INT_MAX}) {
      rig.first.SetInstrument(instrument);
    }
    for (const int program : {-1, 128, 500}) rig.host.synth()->ProgramChange(0, program);
  });
  EXPECT_LT(MaxDifference(afterBad, flute), kSilent);
}

TEST(SynthRobustnessTest, HostIgnoresChannelsAndTimesOutOfRange) {
  Rig rig;
  for (const int channel : {-1, SynthHost::kChannels, INT_MIN, INT_MAX}) {
    rig.host.SetProgram(channel, 0);
    rig.host.SendNow(channel, kA4, kVelocity);
    rig.host.Schedule(0.0, channel, kA4, kVelocity, 1);
  }
  rig.host.SetProgram(0, -1);
  rig.host.SetProgram(0, 128);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (const double micros : {nan, inf, -inf, 1e300, -1e300}) {
    rig.host.Schedule(micros, 0, kA4, kVelocity, 1);
  }
  rig.Render(300);
  // The one that was due (-1e300 is long past) plays; nothing crashed.
  EXPECT_GT(Rms(rig.audio), kAudible);
}

TEST(SynthRobustnessTest, DroppingAnySourceLeavesOtherSourcesAlone) {
  Synth synth(Offline());
  constexpr std::uint32_t kSource = 7;
  synth.NoteAt(FrameAt(50), 0, kA4, kVelocity, kSource);
  // Ids that a plain narrowing to the sequencer's short would turn into its
  // wildcard, -1.
  for (const std::uint32_t source : {0xFFFFu, 0xFFFFFFFFu}) {
    synth.DropScheduled(source);
  }
  std::vector<float> left(FrameAt(200));
  std::vector<float> right(left.size());
  synth.Render(left, right);
  EXPECT_GT(Rms(left), kAudible);
}

TEST(SynthRobustnessTest, SampleRatesOutOfReachAreRefusedInWords) {
  for (const double rate : {0.0, -44100.0, 1e9, std::numeric_limits<double>::quiet_NaN()}) {
    SynthOptions options = Offline();
    options.sampleRate = rate;
    EXPECT_THROW(Synth{options}, SynthError) << rate;
  }
}

// --- SoundFonts ------------------------------------------------------------------

TEST(SynthSoundFontTest, ASoundFontThatWillNotLoadIsNamedInTheError) {
  const std::filesystem::path text =
      std::filesystem::temp_directory_path() / "quillotone-synth-test-not-a-soundfont.sf2";
  std::ofstream(text) << "This is no SoundFont.\n";
  for (const std::string& path : {std::string("/nonexistent/quillotone-test.sf2"), text.string()}) {
    SynthOptions options = Offline();
    options.soundFont = path;
    try {
      Synth synth(options);
      ADD_FAILURE() << "a synth was made from " << path;
    } catch (const SynthError& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
  }
  std::filesystem::remove(text);
}

// --- The playhead ------------------------------------------------------------------

TEST(SynthHostPlayheadTest, NeverGoesBackAcrossAttach) {
  SynthHost host;
  double last = host.Microseconds();
  for (int i = 0; i < 1000; ++i) {
    const double now = host.Microseconds();
    ASSERT_GE(now, last);
    last = now;
  }
  // A synth that has rendered a second already must not move the playhead.
  auto synth = std::make_unique<Synth>(Offline());
  std::vector<float> left(FrameAt(1000));
  std::vector<float> right(left.size());
  synth->Render(left, right);
  ASSERT_EQ(synth->Frames(), FrameAt(1000));
  const double before = host.Microseconds();
  host.Attach(std::move(synth));
  const double after = host.Microseconds();
  EXPECT_GE(after, before);
  EXPECT_LT(after - before, 500'000.0) << "the playhead jumped on attach";
}

TEST(SynthHostPlayheadTest, OfflineSynthAloneMovesThePlayhead) {
  SynthHost host;
  host.Attach(std::make_unique<Synth>(Offline()));
  const double start = host.Microseconds();
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(host.Microseconds(), start) << "the wall clock moved an offline playhead";

  std::vector<float> left(FrameAt(100));
  std::vector<float> right(left.size());
  host.synth()->Render(left, right);
  const double moved = host.Microseconds() - start;
  EXPECT_NEAR(moved, 1e6 * static_cast<double>(FrameAt(100)) / kSampleRate, 0.01);
}

// --- Loading on a worker -------------------------------------------------------------

class SynthHostLoadingTest : public ::testing::Test {
 protected:
  // Runs the event loop until the host reports, or gives up after a while.
  void AwaitReport(SynthHost& host) {
    QEventLoop loop;
    QObject::connect(&host, &SynthHost::ready, &loop, &QEventLoop::quit);
    QObject::connect(&host, &SynthHost::failed, &loop, &QEventLoop::quit);
    QTimer::singleShot(std::chrono::seconds(20), &loop, &QEventLoop::quit);
    loop.exec();
  }

  int argc_ = 1;
  char name_[16] = "synth_tests";
  char* argv_[2] = {name_, nullptr};
  QCoreApplication app_{argc_, argv_};
};

TEST_F(SynthHostLoadingTest, LoadedSynthIsAdoptedOnTheHostsThread) {
  SynthHost host;
  bool ready = false;
  QObject::connect(&host, &SynthHost::ready, [&] {
    ready = true;
    EXPECT_EQ(QThread::currentThread(), host.thread());
  });
  host.LoadInBackground(Offline());
  AwaitReport(host);
  ASSERT_TRUE(ready);
  ASSERT_NE(host.synth(), nullptr);
  EXPECT_EQ(host.synth()->soundFont(), kSmallSoundFont);
}

TEST_F(SynthHostLoadingTest, FailureIsReportedInWords) {
  SynthHost host;
  QString message;
  QObject::connect(&host, &SynthHost::failed, [&](const QString& m) { message = m; });
  SynthOptions options = Offline();
  options.soundFont = "/nonexistent/quillotone-test.sf2";
  host.LoadInBackground(options);
  AwaitReport(host);
  EXPECT_TRUE(message.contains(QString::fromStdString(options.soundFont))) << message.toStdString();
  EXPECT_EQ(host.synth(), nullptr);
}

TEST_F(SynthHostLoadingTest, HostMayGoBeforeItsSynthArrives) {
  bool adopted = false;
  {
    SynthHost host;  // gone while the SoundFont loads
    QObject::connect(&host, &SynthHost::ready, [&] { adopted = true; });
    host.LoadInBackground(Offline());
  }
  {
    SynthHost host;  // gone most likely with the synth posted to it, not yet delivered
    QObject::connect(&host, &SynthHost::ready, [&] { adopted = true; });
    host.LoadInBackground(Offline());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
  EXPECT_FALSE(adopted);
}

}  // namespace
}  // namespace quillotone
