// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "framework/midi/MidiPort.h"
#include "framework/threads/Worker.h"

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
//
// The port is opened, watched, registered again and closed by a worker
// thread that owns it: a JACK server that hangs holds up that thread, never
// the caller's. The caller's thread hands it messages through a lock-free
// queue and reads only what the worker's answers brought.
class JackClient;

class MidiOutput {
 public:
  // Opens a port named `name` for a client of the same name, on `system`,
  // on the worker; `opened` runs on this thread with the answer: none, or
  // why the port could not be opened. With `clock`, the port also sends MIDI
  // clock: Start with the first note after silence, Timing Clock 24 times a
  // quarter note at 120 bpm, Stop at StopClock. Messages sent before the
  // answer go out once the port is open. With `synthClient`, the JACK
  // client the synth renders in, the port is that client's.
  MidiOutput(const std::string& name, bool clock, MidiSystem system,
             std::function<void(const std::optional<MidiOutputError>& error)> opened,
             std::shared_ptr<JackClient> synthClient = {});
  // What was sent goes out first; a worker stuck on its server is waited
  // for at most kQuitWaitMs.
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
  // every message keeps from then on, so that they stay in order; and the
  // synth's frame it is heard at, which a port on the synth's own JACK
  // client writes it on.
  struct Heard {
    double micros = 0.0;
    int graphCycles = 0;
    std::optional<std::uint64_t> synthFrame;
  };
  void Note(int channel, int note, int velocity, std::optional<Heard> heard = {});
  // Ends every note still sounding, on every channel.
  void EndSoundingNotes();
  // Program counted from 0.
  void ProgramChange(int channel, int program);
  void AllNotesOff(int channel);
  // The melody ended: MIDI Stop, if the clock runs.
  void StopClock();

  // Called now and then: whether the MIDI system went away or came back,
  // as the worker last said. Notes sounding when it went are forgotten; when
  // it is back, the programs are sent again and All Notes Off ends whatever
  // a receiver still holds.
  [[nodiscard]] MidiPort::Change Watch();

  // The port opened (its answer came, and said so).
  [[nodiscard]] bool open() const { return open_; }
  // "ALSA" or "JACK", once open.
  [[nodiscard]] const std::string& system() const { return system_; }
  // Why that system was chosen, for QUILLOTONE_DEBUG=1, once open.
  [[nodiscard]] const std::string& why() const { return why_; }
  // The port as other programs see it, once open: JACK names a second
  // client of the same name "Quillotone-01", and its port
  // "Quillotone-01:Quillotone".
  [[nodiscard]] const std::string& portName() const { return portName_; }

  // How long the worker's own watch waits between looks at the server.
  static constexpr int kWatchMs = 500;
  // How long going away waits at most for the worker to send the last
  // messages and close the port.
  static constexpr int kQuitWaitMs = 1000;

 private:
  // The worker's: the port, and the queue into it.
  struct Owned;

  void Send(std::initializer_list<unsigned char> message, const std::optional<Heard>& heard = {});

  std::shared_ptr<Owned> owned_;
  bool open_ = false;
  std::string system_;
  std::string why_;
  std::string portName_;
  // The worker's news, in the order it came.
  std::deque<MidiPort::Change> changes_;
  std::array<std::bitset<128>, 16> sounding_;
  std::array<int, 16> programs_{};
  bool clock_ = false;
  bool clockRunning_ = false;
  // Between the worker's word that the server went and that it is back.
  bool away_ = false;
  // The latest time sent: nothing goes out before what was sent earlier.
  double lastMicros_ = 0.0;
  std::optional<std::uint64_t> lastFrame_;
  std::uint8_t graphCycles_ = 0;
  // Last: it goes first, and its replies with it.
  Worker worker_;
};

}  // namespace quillotone
