// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "framework/Playhead.h"
#include "framework/audio/Synth.h"

namespace quillotone {

// Owns the program's one synth, its audio output and the playhead threads
// are paced by.
//
// With a synth that plays, the playhead is the synth's own sample clock, so
// the lead between what the melody has scheduled and what is heard never runs
// out nor grows. Without one (still loading, failed, its output closed while
// idle, or an output that stopped rendering) it runs on the system clock, and
// the program keeps going silently.
//
// The output's life is one state, changed only here:
//   closed  --a note-on or a thread starting-->  opening
//   opening --the first period rendered-->  open
//   opening, open --nothing sent for kIdleCloseMs-->  closed
//   opening --no server, or nothing rendered-->  lost
//   open --nothing rendered for kLostMicros (the server went away)-->  lost
//   lost --a thread starting, or a note-on kRetryMicros after the last try-->  opening
// A loss is told once (a line on stderr, outputLost), and so is the return
// from it (outputBack); FluidSynth's and ALSA's own messages stay off the
// terminal. It never opens before a note wants it, so never at launch.
class SynthHost : public QObject, public Playhead {
  Q_OBJECT

 public:
  enum class Output : std::uint8_t { kClosed, kOpening, kOpen, kLost };

  // How far ahead of the playhead events are scheduled: covers one audio
  // period (the audio thread renders a period at a time, so it must hold
  // every event due within it) and the event loop's lateness, so that
  // lateness never reaches the listener. A thread's first note does without
  // it (BeginThread).
  static constexpr double kLeadMicros = 120'000.0;
  // A playing synth whose clock has not moved for this long counts as stopped.
  static constexpr double kStallMicros = 200'000.0;
  // An open output with nothing sent to it for this long is closed: an open
  // stream costs CPU even when silent. Longer than any release and reverb.
  static constexpr int kIdleCloseMs = 4000;
  // How often a melody that plays on with the output lost looks for it.
  static constexpr double kRetryMicros = 1'000'000.0;
  // An open output that has rendered nothing for this long is lost (its
  // sound server went away); one that never rendered gets longer to start.
  // Long enough that a machine too busy to feed the audio is not taken for
  // a lost server (and if it is, the output comes back by itself).
  static constexpr double kLostMicros = 2'000'000.0;
  static constexpr double kFirstRenderMicros = 3'000'000.0;
  // How often an open output is checked for that.
  static constexpr int kWatchMs = 250;
  static constexpr int kChannels = 16;

  explicit SynthHost(QObject* parent = nullptr);
  ~SynthHost() override;

  // Takes a synth that is ready now (an offline one in tests).
  void Attach(std::unique_ptr<Synth> synth);
  // Makes the synth on a worker thread, so a large SoundFont never delays
  // the window; emits ready() or failed() on this object's thread.
  void LoadInBackground(SynthOptions options);

  [[nodiscard]] Synth* synth() const { return synth_.get(); }
  [[nodiscard]] Output output() const { return output_; }
  // An audio driver exists (opening or open).
  [[nodiscard]] bool outputOpen() const { return synth_ && synth_->HasAudioOutput(); }

  // Playhead.
  [[nodiscard]] double Microseconds() const override;
  double BeginThread() override;
  void DropScheduled(std::uint32_t source) override;

  // The note players' way in. Scheduled events are stamped with the thread's
  // logical time and applied kLeadMicros later on the synth's clock.
  void Schedule(double micros, int channel, int note, int velocity, std::uint32_t source);
  void SendNow(int channel, int note, int velocity);
  // General MIDI program counted from 0; remembered and applied on attach.
  void SetProgram(int channel, int program);

 signals:
  void ready();
  // The synth could not be made: what is missing and how to fix it.
  void failed(const QString& message);
  // The output could not be opened, or stopped; the melody goes on silently.
  void outputLost(const QString& message);
  // Heard again after outputLost.
  void outputBack(const QString& message);
  // From the loader's thread: what it made waits in loaded_.
  void loaderDone(QPrivateSignal);

 private:
  void Adopt(std::unique_ptr<Synth> synth);
  void TakeLoaded();
  // Makes the synth's clock (or, without one, the system clock) continue
  // from where the playhead is now.
  void Rebase(double now);
  // Whether the synth's clock paces the playhead now.
  [[nodiscard]] bool OnSynthClock() const;
  // Whether events sent now will be rendered (the output may be opening).
  [[nodiscard]] bool Renders() const;
  [[nodiscard]] double WallMicros() const;
  // A note is sent: keeps the output open, or (a note-on) has it opened.
  void Use(bool noteOn);
  // Moves to opening; the driver starts on the event loop's next turn, so
  // that what the thread asking schedules on this turn is queued before the
  // first period renders.
  void RequestOutput(bool evenIfTriedLately);
  void OpenNow();
  void CloseOutput();
  void CheckOutput();
  void Lose(const std::string& line, const QString& notice);

  std::unique_ptr<Synth> synth_;
  // The loader's result, handed to the host's thread under the lock: plain
  // data, so the handover is one the sanitizers can follow.
  std::mutex loadedMutex_;
  std::unique_ptr<Synth> loaded_;
  std::string loadError_;
  std::jthread loader_;
  QElapsedTimer wall_;
  QTimer idle_;
  QTimer watch_;
  Output output_ = Output::kClosed;
  // A loss has been told and its return not yet.
  bool lossTold_ = false;
  // When an open was last tried, on the system clock.
  double triedMicros_ = 0.0;
  // The clock when the output last opened: not yet moved means starting.
  std::uint64_t framesAtOpen_ = 0;
  // The playhead on the synth's clock is originMicros_ at originFrame_; on
  // the system clock it is the wall time plus wallOffsetMicros_.
  double originMicros_ = 0.0;
  std::uint64_t originFrame_ = 0;
  double wallOffsetMicros_ = 0.0;
  std::array<int, kChannels> programs_{};
  // The playhead never moves backwards; this remembers what it last said.
  mutable double lastMicros_ = 0.0;
};

}  // namespace quillotone
