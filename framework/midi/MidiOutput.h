// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <bitset>
#include <memory>
#include <stdexcept>
#include <string>

class RtMidiOut;

namespace quillotone {

// The output port could not be opened; the message says why and what to do.
class MidiOutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A MIDI output port that other programs (a DAW, a hardware synth's driver)
// connect to: on the ALSA sequencer where the system has one, else on JACK.
// Messages go out the moment they are sent.
class MidiOutput {
 public:
  // Opens a port named `name` for a client of the same name.
  explicit MidiOutput(const std::string& name);  // throws MidiOutputError
  ~MidiOutput();
  MidiOutput(const MidiOutput&) = delete;
  MidiOutput& operator=(const MidiOutput&) = delete;

  // Channels from 0; velocity 0 sends a note-off, but only for a note that
  // sounds: a receiver's buffer (JACK's holds a period's worth) is never
  // flooded by sweeps of note-offs for notes that are not playing. A note
  // struck again while it sounds is ended first, as receivers that stack
  // voices would otherwise keep one. Values outside MIDI's ranges are not
  // sent.
  void Note(int channel, int note, int velocity);
  // Ends every note still sounding, on every channel.
  void EndSoundingNotes();
  // Program counted from 0.
  void ProgramChange(int channel, int program);
  void AllNotesOff(int channel);

  // "ALSA" or "JACK".
  [[nodiscard]] const std::string& system() const { return system_; }
  // The port as other programs see it: JACK names a second client of the
  // same name "Quillotone-01", and its port "Quillotone-01:Quillotone".
  [[nodiscard]] const std::string& portName() const { return portName_; }

 private:
  void Send(std::initializer_list<unsigned char> message);

  std::string name_;
  std::unique_ptr<RtMidiOut> port_;
  std::array<std::bitset<128>, 16> sounding_;
  std::string system_;
  std::string portName_;
};

}  // namespace quillotone
