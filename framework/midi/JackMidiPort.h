// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "framework/Clock.h"
#include "framework/midi/MidiPort.h"

namespace quillotone {

class JackClient;

// A MIDI output port on a running JACK server: a client of its own, or the
// one the synth renders in (then each note is written on the frame where
// the synth starts it). Used from one thread.
class JackMidiPort : public MidiPort {
 public:
  // Null if no JACK server runs. `client`: a client with a MIDI port to
  // share, else one is made named `name`; `clock`: the monotonic clock
  // messages are stamped on (the system's if null).
  [[nodiscard]] static std::unique_ptr<JackMidiPort> Open(const std::string& name,
                                                          std::shared_ptr<JackClient> client = {},
                                                          const Clock* clock = nullptr);
  ~JackMidiPort() override;
  JackMidiPort(const JackMidiPort&) = delete;
  JackMidiPort& operator=(const JackMidiPort&) = delete;

  void Send(const TimedMessage& message) override;
  // Notices the server going (the client is then closed as it stands) and,
  // quietly looking for it, coming back: the port is registered anew and
  // connected to what it was connected to before.
  [[nodiscard]] Change Watch() override;
  [[nodiscard]] const char* system() const override { return "JACK"; }
  [[nodiscard]] const std::string& portName() const override { return portName_; }

 private:
  explicit JackMidiPort(std::shared_ptr<JackClient> client);

  std::shared_ptr<JackClient> client_;
  std::string portName_;
  std::uint64_t generation_ = 0;
  bool away_ = false;
};

}  // namespace quillotone
