// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "framework/audio/AudioDevice.h"

namespace quillotone {

class JackClient;
class Synth;

// The synth played by a JACK client's audio ports, rendered in its process
// callback at the server's rate and period: no resampling, no buffer of its
// own. The client (and its ports, and what they are connected to) stays
// while the output is closed, which only stops the rendering; a MIDI port
// may share it.
class JackAudio final : public AudioDevice {
 public:
  JackAudio(Synth& synth, std::shared_ptr<JackClient> client);
  ~JackAudio() override;
  JackAudio(const JackAudio&) = delete;
  JackAudio& operator=(const JackAudio&) = delete;

  // Throws SynthError when no JACK server runs.
  void Open() override;
  void Close() override;
  [[nodiscard]] bool IsOpen() const override;
  [[nodiscard]] double LastRenderedMicros() const override;
  [[nodiscard]] double HeardAtMicros(std::uint64_t frame) const override;
  [[nodiscard]] std::string Said() const override { return said_; }
  // The server's rate changed: the synth takes it when it next opens.
  [[nodiscard]] bool Stale() const override;

 private:
  Synth& synth_;
  std::shared_ptr<JackClient> client_;
  std::string said_;
};

}  // namespace quillotone
