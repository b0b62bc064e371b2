// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

#include "framework/midi/MidiSchedule.h"

namespace quillotone {

// One MIDI output port on a MIDI system, which sends each message at the
// time it carries. Used from one thread.
class MidiPort {
 public:
  enum class Change : std::uint8_t { kNone, kLost, kBack };

  virtual ~MidiPort() = default;

  // Queued to go out at message.micros (at once if that is past). Dropped
  // while the system is gone.
  virtual void Send(const TimedMessage& message) = 0;
  // Called now and then: notices the system going and, quietly looking for
  // it, coming back, with the port registered again.
  [[nodiscard]] virtual Change Watch() { return Change::kNone; }

  // "ALSA" or "JACK".
  [[nodiscard]] virtual const char* system() const = 0;
  // The port as other programs see it.
  [[nodiscard]] virtual const std::string& portName() const = 0;
};

}  // namespace quillotone
