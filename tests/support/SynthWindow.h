#pragma once

#include <QComboBox>
#include <QPushButton>
#include <QtTest/QTest>
#include <functional>
#include <memory>
#include <set>
#include <vector>

#include "framework/Random.h"
#include "framework/Synth.h"
#include "framework/SynthHost.h"
#include "framework/SynthNotePlayer.h"
#include "melody/Melody.h"
#include "ui/MenuBar1.h"
#include "ui/MessageSink.h"
#include "ui/Window1.h"

namespace quillotone::testing {

inline constexpr const char* kSmallSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
inline constexpr double kSampleRate = 44100.0;
// FluidSynth renders, and applies scheduled events, in blocks of this size.
inline constexpr std::size_t kBlockFrames = 64;
inline constexpr double kBlockMillis = kBlockFrames * 1000.0 / kSampleRate;

inline SynthOptions Offline() {
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

// The real window with an offline synth; a QApplication must exist. Each turn
// of this "event loop" resumes the melody threads, then renders one audio
// block, as the audio thread would meanwhile; stop's own yields are such
// turns too.
class SynthWindow {
 public:
  SynthWindow() {
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

  // Starts and stops the melody of `row` after `playMillis`, then waits for
  // FluidSynth to fall silent, at most the release: true if it did.
  bool StartAndStop(int row, double playMillis, double releaseMillis) {
    Play(row);
    Render(playMillis);
    Stop();
    for (double waited = 0.0; Voices() > 0 && waited < releaseMillis + kSlackMillis;
         waited += kBlockMillis) {
      Turn();
    }
    return Voices() == 0;
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

}  // namespace quillotone::testing
