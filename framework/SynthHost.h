#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
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
// With a synth that plays, the playhead is the synth's own sample clock (its
// sequencer tick), so the lead between what the melody has scheduled and what
// is heard never runs out nor grows. Without one (still loading, failed, or
// an audio output that stopped rendering) it runs on the system clock, and
// the program keeps going silently.
class SynthHost : public QObject, public Playhead {
  Q_OBJECT

 public:
  // How far ahead of the playhead events are scheduled: covers the event
  // loop's lateness, so that lateness never reaches the listener.
  static constexpr double kLeadMicros = 80'000.0;
  // A playing synth whose clock has not moved for this long counts as stopped.
  static constexpr double kStallMicros = 200'000.0;
  static constexpr int kChannels = 16;

  explicit SynthHost(QObject* parent = nullptr);
  ~SynthHost() override;

  // Takes a synth that is ready now (an offline one in tests).
  void Attach(std::unique_ptr<Synth> synth);
  // Makes the synth on a worker thread, so a large SoundFont never delays
  // the window; emits ready() or failed() on this object's thread.
  void LoadInBackground(SynthOptions options);

  [[nodiscard]] Synth* synth() const { return synth_.get(); }

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
  // From the loader's thread: what it made waits in loaded_.
  void loaderDone(QPrivateSignal);

 private:
  void Adopt(std::unique_ptr<Synth> synth);
  void TakeLoaded();

  std::unique_ptr<Synth> synth_;
  // The loader's result, handed to the host's thread under the lock: plain
  // data, so the handover is one the sanitizers can follow.
  std::mutex loadedMutex_;
  std::unique_ptr<Synth> loaded_;
  std::string loadError_;
  std::jthread loader_;
  QElapsedTimer wall_;
  // The playhead's value when the synth took over, minus the synth's tick
  // then, so the playhead stays continuous across the handover.
  double tickOriginMicros_ = 0.0;
  std::array<int, kChannels> programs_{};
  // The playhead never moves backwards; these remember what it last said.
  mutable double lastMicros_ = 0.0;
  mutable std::uint32_t lastTick_ = 0;
  mutable double lastTickWallMicros_ = 0.0;
};

}  // namespace quillotone
