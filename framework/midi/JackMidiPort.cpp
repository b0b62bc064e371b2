// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/midi/JackMidiPort.h"

#include "framework/jack/JackClient.h"

namespace quillotone {

std::unique_ptr<JackMidiPort> JackMidiPort::Open(const std::string& name,
                                                 std::shared_ptr<JackClient> client,
                                                 const Clock* clock) {
  if (!client) client = JackClient::Make({.name = name, .midi = true}, clock);
  if (!client->Open()) return nullptr;
  return std::unique_ptr<JackMidiPort>(new JackMidiPort(std::move(client)));
}

JackMidiPort::JackMidiPort(std::shared_ptr<JackClient> client)
    : client_(std::move(client)),
      portName_(client_->midiPortName()),
      generation_(client_->generation()) {}

// The client, shared or not, sends what it was given before it closes.
JackMidiPort::~JackMidiPort() = default;

void JackMidiPort::Send(const TimedMessage& message) { client_->Send(message); }

MidiPort::Change JackMidiPort::Watch() {
  if (!away_ && client_->lost()) {
    away_ = true;
    client_->Forget();
    return Change::kLost;
  }
  if (away_ || client_->generation() != generation_) {
    // Registered again here, or by the synth's output on the same client.
    if (!client_->Open()) return Change::kNone;
    away_ = false;
    generation_ = client_->generation();
    portName_ = client_->midiPortName();
    return Change::kBack;
  }
  client_->KeepConnections();
  return Change::kNone;
}

}  // namespace quillotone
