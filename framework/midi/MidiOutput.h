// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <bitset>
#include <initializer_list>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "framework/midi/MidiPort.h"

namespace quillotone {

// Which MIDI system the port is on. kAny: JACK when a JACK server runs (a
// musician who runs one plays through it, and its port writes each message
// on its exact frame), else the ALSA sequencer.
enum class MidiSystem { kAny, kJack, kAlsa };

// The output port could not be opened; the message says why and what to do.
class MidiOutputError : public std::runtime_error {
 public:
  // The message, in English; %1 stands for the reason the ALSA sequencer
  // gave, if any. The window shows it in the user's language (context
  // "MidiOutput").
  static const char* const kText;

  // `reason`: the ALSA sequencer's, as " (...)", or empty. With kAny, the
  // message is kText; for a system the user asked for, it names that one.
  MidiOutputError(MidiSystem asked, const std::string& reason);
  [[nodiscard]] const std::string& reason() const { return reason_; }

 private:
  std::string reason_;
};

// A MIDI output port that other programs (a DAW, a hardware synth's driver)
// connect to, on JACK or the ALSA sequencer.
// Each message goes out at the time it is to be heard, given on the
// monotonic clock; one without a time goes at once, but never before one
// sent earlier.
class MidiOutput {
 public:
  // Opens a port named `name` for a client of the same name. With `clock`,
  // the port also sends MIDI clock: Start with the first note after silence,
  // Timing Clock 24 times a quarter note at 120 bpm, Stop at StopClock.
  // Throws MidiOutputError when `system` (or, for kAny, neither) has no port.
  explicit MidiOutput(const std::string& name, bool clock = false,
                      MidiSystem system = MidiSystem::kAny);
  ~MidiOutput();
  MidiOutput(const MidiOutput&) = delete;
  MidiOutput& operator=(const MidiOutput&) = delete;

  // Channels from 0; velocity 0 sends a note-off, but only for a note that
  // sounds: a receiver's buffer (JACK's holds a period's worth) is never
  // flooded by sweeps of note-offs for notes that are not playing. A note
  // struck again while it sounds is ended first, as receivers that stack
  // voices would otherwise keep one. Values outside MIDI's ranges are not
  // sent. `graphCycles` goes with a time heard: the cycles of the sound
  // server's graph it leaves out (SynthHost::UnreportedGraphCycles), which
  // every message keeps from then on, so that they stay in order.
  void Note(int channel, int note, int velocity, std::optional<double> heardAtMicros = {},
            int graphCycles = 0);
  // Ends every note still sounding, on every channel.
  void EndSoundingNotes();
  // Program counted from 0.
  void ProgramChange(int channel, int program);
  void AllNotesOff(int channel);
  // The melody ended: MIDI Stop, if the clock runs.
  void StopClock();

  // Called now and then: whether the MIDI system went away or came back
  // since the last call. Notes sounding when it went are forgotten; when it
  // is back, the programs are sent again and All Notes Off ends whatever a
  // receiver still holds.
  [[nodiscard]] MidiPort::Change Watch();

  // "ALSA" or "JACK".
  [[nodiscard]] const char* system() const { return port_->system(); }
  // Why that system was chosen, for QUILLOTONE_DEBUG=1.
  [[nodiscard]] const std::string& why() const { return why_; }
  // The port as other programs see it: JACK names a second client of the
  // same name "Quillotone-01", and its port "Quillotone-01:Quillotone".
  [[nodiscard]] const std::string& portName() const { return port_->portName(); }

 private:
  void Send(std::initializer_list<unsigned char> message, std::optional<double> heardAtMicros = {});

  std::unique_ptr<MidiPort> port_;
  std::string why_;
  std::array<std::bitset<128>, 16> sounding_;
  std::array<int, 16> programs_{};
  bool clock_ = false;
  bool clockRunning_ = false;
  // The latest time sent: nothing goes out before what was sent earlier.
  double lastMicros_ = 0.0;
  std::uint8_t graphCycles_ = 0;
};

}  // namespace quillotone
