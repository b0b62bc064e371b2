// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QComboBox>
#include <QPushButton>
#include <QtTest/QTest>
#include <memory>
#include <vector>

#include "framework/Random.h"
#include "framework/audio/Synth.h"
#include "framework/audio/SynthHost.h"
#include "framework/audio/SynthNotePlayer.h"
#include "ui/MenuBar1.h"
#include "ui/MessageSink.h"
#include "ui/Window1.h"

namespace quillotone::testing {

// The real window on real FluidSynth rendered offline (TimGM6mb); a
// QApplication must exist. Each turn of this "event loop" resumes the melody
// threads, then renders one audio block, as the audio thread would
// meanwhile; stop's own yields are such turns too.
class SynthWindow : public MessageSink {
 public:
  static constexpr double kBlockMillis = Synth::kBlockFrames * 1000.0 / 44100.0;

  static SynthOptions Offline() {
    SynthOptions options;
    options.soundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
    return options;
  }

  SynthWindow() {
    host.Attach(std::make_unique<Synth>(Offline()));
    window = std::make_unique<Window1>(WindowServices{
        .scheduler = scheduler,
        .menuBar = *new MenuBar1(),
        .messages = *this,
        .makeNotePlayer = [this](int channel, const QString& name, QObject* parent) -> QObject* {
          return new SynthNotePlayer(host, scheduler, channel, name, parent);
        },
        .makeRandom = [this] { return std::make_unique<Random>(seed); },
        .yield = [this] { Turn(); },
        .afterStopSweep = {},
    });
  }

  void Show(const QString&) override { ++shown; }  // counts the thank-yous
  int Voices() const { return host.synth()->ActiveVoices(); }
  void Turn() {
    scheduler.RunReady();
    scheduler.RunDue();
    host.synth()->Render(left, right);
  }

  // How long a lone note goes on sounding after its note-off: the release.
  static double ReleaseMillis() {
    Synth synth(Offline());
    std::vector<float> l(Synth::kBlockFrames), r(Synth::kBlockFrames);
    synth.NoteNow(0, 60, 100);
    for (int i = 0; i < 100; ++i) synth.Render(l, r);
    synth.NoteNow(0, 60, 0);
    double millis = 0.0;
    for (; synth.ActiveVoices() > 0 && millis < 1e4; millis += kBlockMillis) synth.Render(l, r);
    return millis;
  }

  // Starts the melody of `row`, stops it after `playMillis`, then waits for
  // FluidSynth to fall silent, at most the release and a turn and a block
  // more (a note-off's own delay): true if it did.
  bool StartAndStop(int row, double playMillis, double releaseMillis) {
    window->findChild<QComboBox*>("PopupMenu1")->setCurrentIndex(row);
    QTest::mouseClick(window->findChild<QPushButton*>("play"), Qt::LeftButton);
    for (double done = 0.0; done < playMillis; done += kBlockMillis) Turn();
    QTest::mouseClick(window->findChild<QPushButton*>("stop"), Qt::LeftButton);
    for (double waited = 0.0; waited < releaseMillis + 2 * kBlockMillis + 20.0 && Voices() > 0;
         waited += kBlockMillis)
      Turn();
    return Voices() == 0;
  }

  std::uint64_t seed = 17;
  SynthHost host;
  Scheduler scheduler{host};
  int shown = 0;
  std::unique_ptr<Window1> window;
  std::vector<float> left = std::vector<float>(Synth::kBlockFrames);
  std::vector<float> right = std::vector<float>(Synth::kBlockFrames);
};

}  // namespace quillotone::testing
