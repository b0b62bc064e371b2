// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "framework/midi/MidiPort.h"
#include "framework/midi/MidiSchedule.h"

class RtMidiOut;

namespace quillotone {

// A MIDI output port on the ALSA sequencer, opened through RtMidi. A thread
// of its own sleeps until each message's time and sends it then.
class AlsaMidiPort : public MidiPort {
 public:
  // Null, with `error` set to what ALSA said, where there is no sequencer.
  [[nodiscard]] static std::unique_ptr<AlsaMidiPort> Open(const std::string& name,
                                                          std::string& error);
  ~AlsaMidiPort() override;
  AlsaMidiPort(const AlsaMidiPort&) = delete;
  AlsaMidiPort& operator=(const AlsaMidiPort&) = delete;

  void Send(const TimedMessage& message) override;
  [[nodiscard]] const char* system() const override { return "ALSA"; }
  [[nodiscard]] const std::string& portName() const override { return portName_; }

 private:
  AlsaMidiPort(std::unique_ptr<RtMidiOut> out, std::string name);
  void Run(std::stop_token stop);

  std::unique_ptr<RtMidiOut> out_;
  std::string portName_;
  std::mutex mutex_;
  std::condition_variable_any wake_;
  MidiSchedule schedule_;  // under mutex_
  bool added_ = false;     // under mutex_
  std::jthread sender_;    // last: it goes first
};

}  // namespace quillotone
