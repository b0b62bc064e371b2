#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "framework/Playhead.h"
#include "framework/Synth.h"

namespace quillotone {

// Owns the program's one synth and is the playhead threads are paced by.
//
// With a synth that plays, the playhead is the synth's own sample clock, so
// the lead between what the melody has scheduled and what is heard never runs
// out nor grows. Without one (still loading, failed, its output closed while
// idle, or an output that stopped rendering) it runs on the system clock, and
// the program keeps going silently.
class SynthHost : public QObject, public Playhead {
  Q_OBJECT

 public:
  // How far ahead of the playhead events are scheduled: covers one audio
  // period (the audio thread renders a period at a time, so it must hold
  // every event due within it) and the event loop's lateness, so that
  // lateness never reaches the listener.
  static constexpr double kLeadMicros = 120'000.0;
  // A playing synth whose clock has not moved for this long counts as stopped.
  static constexpr double kStallMicros = 200'000.0;
  // An open output with nothing sent to it for this long is closed: an open
  // stream costs CPU even when silent. Longer than any release and reverb.
  static constexpr int kIdleCloseMs = 4000;
  static constexpr double kRetryMicros = 1'000'000.0;
  // An open output that has rendered nothing for this long is lost (its
  // sound server went away); one that never rendered gets longer to start.
  // Long enough that a machine too busy to feed the audio is not taken for
  // a lost server (and if it is, the output comes back by itself).
  static constexpr double kLostMicros = 2'000'000.0;
  static constexpr double kFirstRenderMicros = 5'000'000.0;
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

  // The audio output's life. Events open it when it is closed (trying again
  // at most every kRetryMicros after a failure, so sound comes back by itself
  // when the server does); it closes itself after kIdleCloseMs without
  // events, or when it stops rendering (lost()). Opening reports a failure
  // through failed(), once until an open succeeds, and returns false. The
  // playhead stays continuous throughout.
  bool OpenOutput();
  void CloseOutput();
  [[nodiscard]] bool outputOpen() const { return synth_ && synth_->HasAudioOutput(); }

  // Playhead.
  [[nodiscard]] double Microseconds() const override;
  void DropScheduled(std::uint32_t source) override;

  // The note players' way in. Scheduled events are stamped with the thread's
  // logical time and applied kLeadMicros later on the synth's clock.
  void Schedule(double micros, int channel, int note, int velocity, std::uint32_t source);
  void SendNow(int channel, int note, int velocity);
  // General MIDI program counted from 0; remembered and applied on attach.
  void SetProgram(int channel, int program);

 signals:
  void ready();
  // What is missing and how to fix it, in words for the user.
  void failed(const QString& message);
  // The output stopped rendering while open; the melody goes on silently.
  void lost(const QString& message);
  // An output is open again after a failure or a loss.
  void restored();
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
  [[nodiscard]] double WallMicros() const;
  void KeepOpen();
  // Closes an open output that stopped rendering, and says so once.
  void CheckOutput();

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
  // The clock when the output last opened: not yet moved means starting.
  std::uint64_t framesAtOpen_ = 0;
  // The playhead on the synth's clock is originMicros_ at originFrame_; on
  // the system clock it is the wall time plus wallOffsetMicros_.
  double originMicros_ = 0.0;
  std::uint64_t originFrame_ = 0;
  double wallOffsetMicros_ = 0.0;
  // When events last tried to open the output and failed; whether that
  // failure has been reported.
  double failedOpenMicros_ = -kRetryMicros;
  bool failureReported_ = false;
  std::array<int, kChannels> programs_{};
  // The playhead never moves backwards; this remembers what it last said.
  mutable double lastMicros_ = 0.0;
};

}  // namespace quillotone
