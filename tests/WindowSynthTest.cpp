// The real window playing through real FluidSynth, rendered offline: stop is
// pressed at the awkward moments of a melody, and then hundreds of times at
// random ones, and what counts is what FluidSynth itself says is still
// sounding once the release has passed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QtTest/QTest>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "framework/Synth.h"
#include "framework/SynthHost.h"
#include "framework/SynthNotePlayer.h"
#include "melody/Melody.h"
#include "melody/Modes.h"
#include "support/EventLoop.h"
#include "support/ResidentMemory.h"
#include "ui/MenuBar1.h"
#include "ui/MessageSink.h"
#include "ui/Window1.h"

namespace quillotone {
namespace {

constexpr const char* kSmallSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
constexpr double kSampleRate = 44100.0;
// FluidSynth renders, and applies scheduled events, in blocks of this size.
constexpr std::size_t kBlockFrames = 64;
constexpr double kBlockMillis = kBlockFrames * 1000.0 / kSampleRate;

SynthOptions Offline() {
  SynthOptions options;
  options.soundFont = kSmallSoundFont;
  options.audioOutput = false;
  options.sampleRate = kSampleRate;
  return options;
}

// What the melody has asked the players for, so a test can press stop at the
// moment it wants. The checks themselves ask FluidSynth.
struct MelodyWatch {
  // Held notes on NotePlayer2 not yet let go, and the logical time the
  // first of them was played.
  std::set<int> held;
  double heldSince = 0.0;
  // The last note of a notes-off sweep of NotePlayer2 under way; 0 if none.
  int sweptUpTo = 0;
  // Note-ons a melody thread has played (scheduled ahead on the synth).
  std::size_t noteOns = 0;
};

class WatchedPlayer final : public SynthNotePlayer {
 public:
  WatchedPlayer(SynthHost& host, const Scheduler& scheduler, int channel, const QString& name,
                QObject* parent, MelodyWatch& watch)
      : SynthNotePlayer(host, scheduler, channel, name, parent),
        scheduler_(scheduler),
        watch_(watch),
        held_(name.toStdString() == kHeldPlayer) {}

  void PlayNote(int note, int velocity) override {
    if (scheduler_.Current() != nullptr) {
      if (velocity > 0) ++watch_.noteOns;
      if (held_ && velocity > 0) {
        if (watch_.held.empty()) watch_.heldSince = scheduler_.Now();
        watch_.held.insert(note);
      }
      if (held_ && velocity == 0) {
        watch_.held.erase(note);
        watch_.sweptUpTo = note == watch_.sweptUpTo + 1 && note < kHighestSweptNote ? note : 0;
      }
    }
    SynthNotePlayer::PlayNote(note, velocity);
  }

 private:
  const Scheduler& scheduler_;
  MelodyWatch& watch_;
  bool held_;
};

class CountingSink final : public MessageSink {
 public:
  void Show(const QString&) override { ++shown; }
  int shown = 0;
};

// The window with an offline synth. Each turn of this "event loop" resumes
// the melody threads, then renders one audio block, as the audio thread would
// meanwhile; stop's own yields are such turns too.
class SynthWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::EnsureApplication<QApplication>(); }

  SynthWindowTest() {
    host.Attach(std::make_unique<Synth>(Offline()));
    window = std::make_unique<Window1>(WindowServices{
        .scheduler = scheduler,
        .menuBar = *new MenuBar1(),
        .messages = sink,
        .makeNotePlayer = [this](int channel, const QString& name, QObject* parent) -> QObject* {
          return new WatchedPlayer(host, scheduler, channel, name, parent, watch);
        },
        .makeRandom = [this] { return std::make_unique<Random>(seed); },
        .yield = [this] { Turn(); },
        .afterStopSweep = {},
    });
    window->show();
  }

  int Voices() const { return host.synth()->ActiveVoices(); }

  void Drive() {
    scheduler.RunReady();
    scheduler.RunDue();
  }
  void RenderBlock() { host.synth()->Render(left, right); }
  void Turn() {
    Drive();
    RenderBlock();
  }
  void Render(double millis) {
    for (double done = 0.0; done < millis; done += kBlockMillis) Turn();
  }
  // Turns until `moment` holds after the threads have run; false after `limitMillis`.
  bool RunUntil(const std::function<bool()>& moment, double limitMillis) {
    for (double done = 0.0; done < limitMillis; done += kBlockMillis) {
      Drive();
      if (moment()) return true;
      RenderBlock();
    }
    return false;
  }

  void Play(int row) {
    window->findChild<QComboBox*>("PopupMenu1")->setCurrentIndex(row);
    QTest::mouseClick(window->findChild<QPushButton*>("play"), Qt::LeftButton);
  }
  void Stop() { QTest::mouseClick(window->findChild<QPushButton*>("stop"), Qt::LeftButton); }

  // How long a lone note goes on sounding after its note-off: the release.
  static double ReleaseMillis() {
    Synth synth(Offline());
    std::vector<float> l(kBlockFrames), r(kBlockFrames);
    synth.NoteNow(0, 60, 100);
    for (int i = 0; i < 100; ++i) synth.Render(l, r);
    synth.NoteNow(0, 60, 0);
    double millis = 0.0;
    while (synth.ActiveVoices() > 0 && millis < 10'000.0) {
      synth.Render(l, r);
      millis += kBlockMillis;
    }
    return millis;
  }

  // A note-off comes at most one turn and one block after stop reaches it.
  static constexpr double kSlackMillis = 2 * kBlockMillis + 20.0;

  // Presses stop now, then renders until the release has passed, and says
  // whether a voice started after the sweep and how many still sound.
  struct AfterStop {
    int voicesAtStop;
    bool voiceStarted;
    int voicesAfterRelease;
  };
  AfterStop StopAndListen(double releaseMillis) {
    AfterStop result{Voices(), false, 0};
    Stop();
    int last = Voices();
    for (double done = 0.0; done < releaseMillis + kSlackMillis; done += kBlockMillis) {
      Turn();
      result.voiceStarted |= Voices() > last;  // voices rise only at a note-on
      last = Voices();
    }
    result.voicesAfterRelease = Voices();
    return result;
  }

  std::uint64_t seed = 17;
  SynthHost host;
  Scheduler scheduler{host};
  CountingSink sink;
  MelodyWatch watch;
  std::unique_ptr<Window1> window;
  std::vector<float> left = std::vector<float>(kBlockFrames);
  std::vector<float> right = std::vector<float>(kBlockFrames);
};

TEST_F(SynthWindowTest, StopLeavesNoVoiceWhateverTheMelodyWasDoing) {
  const double release = ReleaseMillis();
  ASSERT_GT(release, 0.0);
  ASSERT_LT(release, 5000.0);

  struct Moment {
    const char* what;
    std::function<bool()> reached;
    int fewestVoices;  // at the press: proof the moment was met
  };
  std::size_t onsBefore = 0;
  const std::vector<Moment> moments = {
      {"during a wait, a note sounding", [&] { return watch.noteOns > 0 && Voices() > 0; }, 1},
      {"with held notes on NotePlayer2, sounding",
       [&] {
         return !watch.held.empty() &&
                host.Microseconds() > watch.heldSince + SynthHost::kLeadMicros + 10'000.0;
       },
       2},
      {"in the middle of the coin's sweep",
       [&] { return watch.sweptUpTo >= kHighestSweptNote / 2; }, 0},
      {"with note-ons scheduled ahead, not yet heard", [&] { return watch.noteOns > onsBefore; },
       0},
  };
  int row = 0;
  for (const Moment& moment : moments) {
    SCOPED_TRACE(moment.what);
    Play(row++ % static_cast<int>(kModes.size()));
    Render(300.0);
    onsBefore = watch.noteOns;
    ASSERT_TRUE(RunUntil(moment.reached, 120'000.0)) << "the melody never got there";
    const AfterStop after = StopAndListen(release);
    EXPECT_GE(after.voicesAtStop, moment.fewestVoices);
    EXPECT_FALSE(after.voiceStarted) << "a note started after stop";
    EXPECT_EQ(after.voicesAfterRelease, 0)
        << "voices still active " << release << " ms after the sweep";
    watch = {};
  }
  EXPECT_EQ(sink.shown, static_cast<int>(moments.size()));
}

TEST_F(SynthWindowTest, TwoHundredStartsAndStopsAtRandomMomentsLeaveNothingSounding) {
  constexpr int kPairs = 200;
  constexpr int kFirstPairs = 100;
  constexpr double kLongestPlayMillis = 1500.0;
  const double release = ReleaseMillis();
  std::mt19937 draw(2024);
  std::uniform_int_distribution<int> row(0, static_cast<int>(kModes.size()) - 1);
  std::uniform_real_distribution<double> playFor(0.0, kLongestPlayMillis);

  long residentAfterFirst = 0;
  for (int pair = 1; pair <= kPairs; ++pair) {
    seed = draw();
    Play(row(draw));
    Render(playFor(draw));
    Stop();
    // Done as soon as FluidSynth is silent, within the release.
    double waited = 0.0;
    while (Voices() > 0 && waited < release + kSlackMillis) {
      Turn();
      waited += kBlockMillis;
    }
    ASSERT_EQ(Voices(), 0) << "pair " << pair << ": a voice outlasted the release";
    if (pair == kFirstPairs) residentAfterFirst = testing::ResidentBytes();
  }
  EXPECT_EQ(sink.shown, kPairs);
  if (!testing::kResidentMemoryMeaningful) {
    GTEST_SKIP() << "resident memory is not measured under AddressSanitizer, whose quarantine "
                    "holds freed memory back";
  }
  const long growth = testing::ResidentBytes() - residentAfterFirst;
  EXPECT_LT(std::abs(growth), testing::kFlatMemoryBytes)
      << "resident memory grew by " << growth << " bytes";
}

}  // namespace
}  // namespace quillotone
