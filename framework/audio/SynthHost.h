// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "framework/Playhead.h"
#include "framework/SystemClock.h"
#include "framework/audio/AudioOutput.h"
#include "framework/audio/AudioSystem.h"
#include "framework/audio/Synth.h"
#include "framework/audio/SynthPlayhead.h"
#include "framework/midi/Midi.h"
#include "framework/threads/Worker.h"

namespace quillotone {

// The program's sound on the event loop: loads the synth on a worker thread,
// plays it through its audio output (made with the synth, opened when a note
// wants it, never at launch) and is the playhead threads are paced by.
class AudioDeviceWorker;
class JackClient;

class SynthHost : public QObject, public Playhead, public AudioOutput::Listener {
  Q_OBJECT

 public:
  explicit SynthHost(QObject* parent = nullptr, const Clock* clock = nullptr);
  ~SynthHost() override;

  // Where the synth loaded next plays; with kJack, the client it renders in.
  void PlayOn(AudioSystem system, std::shared_ptr<JackClient> jack = {});
  // Takes a synth rendered offline (by a test, say), ready now.
  void Attach(std::unique_ptr<Synth> synth);
  // Makes the synth on a worker thread, so a large SoundFont never delays
  // the window, with the programs set so far (where loading their samples
  // may block); emits ready() or failed() on this object's thread. A host
  // that goes first leaves the worker to finish alone.
  void LoadInBackground(SynthOptions options);

  [[nodiscard]] Synth* synth() const { return synth_.get(); }
  // Null before the synth is ready, and for a synth rendered offline.
  [[nodiscard]] const AudioOutput* output() const { return output_.get(); }

  // Playhead.
  [[nodiscard]] double Microseconds() const override { return playhead_.Microseconds(); }
  [[nodiscard]] double HeardAtMonotonicMicros(double micros) const override {
    return playhead_.HeardAtMonotonicMicros(micros);
  }
  double BeginThread() override;
  void DropScheduled(std::uint32_t source) override;
  // Whether anything (a MIDI port) relies on HeardAtMonotonicMicros: then
  // the output, opening, waits briefly until it knows when its frames are
  // heard before it says it is open.
  void SetTimingWanted(bool wanted);
  // Cycles of the sound server's graph that HeardAtMonotonicMicros leaves out.
  [[nodiscard]] int UnreportedGraphCycles() const { return playhead_.UnreportedGraphCycles(); }

  // The note players' way in. Scheduled events are stamped with the thread's
  // logical time and applied a lead later on the synth's clock.
  // Returns the synth's frame the event is applied at, if it is scheduled.
  std::optional<std::uint64_t> Schedule(double micros, int channel, int note, int velocity,
                                        std::uint32_t source);
  void SendNow(int channel, int note, int velocity);
  // General MIDI program counted from 0. Applied to the synth where loading
  // may block, never on the audio thread: at once while no output renders,
  // else when it closes.
  void SetProgram(int channel, int program);

 signals:
  void ready();
  // The synth could not be made: what is missing and how to fix it.
  void failed(const QString& message);
  // The output could not be opened, or stopped; the melody goes on silently.
  void outputLost(const QString& message);
  // Heard again after outputLost.
  void outputBack(const QString& message);

 private:
  void Adopt(std::shared_ptr<Synth> synth, bool playsOut);
  void ApplyPrograms();
  // Runs `job` on the synth once nothing renders it: at once without an
  // output, else on the output's worker while the stream is closed.
  void WhileSilent(std::function<void(Synth&)> job);
  // A note is sent; false if nothing would render it.
  bool Use(bool noteOn);
  // A request answered: opens the output if wanted, on the next turn.
  void AfterRequest(bool openWanted);
  void OpenOutput();
  void WatchWhileWatching();
  void Watch();

  // AudioOutput::Listener: the output's news, for this object alone.
  void ClockChange(const std::function<void()>& change) override;
  void Silence() override;
  void Lost(const std::string& line, const std::string& notice) override;
  void Back(const std::string& line, const std::string& notice) override;

  const Clock& clock_;
  SynthPlayhead playhead_{clock_};
  std::array<int, midi::kChannels> programs_{};
  bool programsPending_ = false;
  bool timingWanted_ = false;
  AudioSystem audioSystem_ = AudioSystem::kAny;
  std::shared_ptr<JackClient> jack_;
  // Declaration order is creation order: the output (its audio thread) goes
  // before the synth it renders, which a stream left to a stuck thread keeps.
  std::shared_ptr<Synth> synth_;
  std::unique_ptr<AudioOutput> output_;
  // The output's stream, as the output owns it.
  AudioDeviceWorker* stream_ = nullptr;
  QTimer watch_;
  Worker loader_;
};

}  // namespace quillotone
