// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include "framework/NotePlayer.h"
#include "framework/audio/SynthHost.h"
#include "framework/threads/Scheduler.h"

namespace quillotone {

class MidiOutput;

// A note player on one MIDI channel of the shared synth. Notes played by a
// melody thread are stamped with its logical time and sound at that time on
// the synth's clock; notes played outside a thread (the stop button's
// silencing sweep) apply at once. With a MIDI output, every note and program
// also goes out there, a thread's notes to be heard when the synth's are.
class SynthNotePlayer : public QObject, public NotePlayer {
  Q_OBJECT

 public:
  SynthNotePlayer(SynthHost& host, const Scheduler& scheduler, int channel, const QString& name,
                  QObject* parent = nullptr, MidiOutput* midi = nullptr);

  void PlayNote(int note, int velocity) override;
  [[nodiscard]] int Instrument() const override { return instrument_; }
  void SetInstrument(int instrument) override;

 private:
  SynthHost& host_;
  const Scheduler& scheduler_;
  int channel_;
  MidiOutput* midi_;
  int instrument_ = 1;
};

}  // namespace quillotone
