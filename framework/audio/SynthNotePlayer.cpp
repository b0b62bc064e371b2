// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/audio/SynthNotePlayer.h"

#include "framework/midi/MidiOutput.h"

namespace quillotone {

SynthNotePlayer::SynthNotePlayer(SynthHost& host, const Scheduler& scheduler, int channel,
                                 const QString& name, QObject* parent, MidiOutput* midi)
    : QObject(parent), host_(host), scheduler_(scheduler), channel_(channel), midi_(midi) {
  setObjectName(name);
  SetInstrument(instrument_);
}

void SynthNotePlayer::PlayNote(int note, int velocity) {
  if (const ThreadContext* thread = scheduler_.Current()) {
    const double now = scheduler_.Now();
    const std::optional<std::uint64_t> frame =
        host_.Schedule(now, channel_, note, velocity, thread->id());
    // The port sends it to be heard together with the synth's own, on the
    // same frame.
    if (midi_ != nullptr) {
      midi_->Note(channel_, note, velocity,
                  MidiOutput::Heard{.micros = host_.HeardAtMonotonicMicros(now),
                                    .graphCycles = host_.UnreportedGraphCycles(),
                                    .synthFrame = frame});
    }
  } else {
    if (midi_ != nullptr) midi_->Note(channel_, note, velocity);
    host_.SendNow(channel_, note, velocity);
  }
}

void SynthNotePlayer::SetInstrument(int instrument) {
  instrument_ = instrument;
  // General MIDI programs are counted from 1 by people, from 0 on the wire.
  // Below 1 there is no program (and no subtracting from INT_MIN).
  const int program = instrument > 0 ? instrument - 1 : -1;
  host_.SetProgram(channel_, program);
  if (midi_ != nullptr) midi_->ProgramChange(channel_, program);
}

}  // namespace quillotone
