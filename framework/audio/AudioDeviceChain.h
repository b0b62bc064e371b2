// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/audio/AudioDevice.h"

namespace quillotone {

// Ways to the sound, tried in order at every open (the one that works
// changes as sound servers come and go): the first that opens plays.
class AudioDeviceChain final : public AudioDevice {
 public:
  struct Link {
    std::string name;
    std::unique_ptr<AudioDevice> device;
  };
  // What is said when none opens, for each choice of links.
  static const char* const kNoServer;
  static const char* const kNoJack;
  static const char* const kNoAlsa;

  // `none`: one of the above, untranslated.
  AudioDeviceChain(std::vector<Link> links, const char* none = kNoServer)
      : links_(std::move(links)), none_(none) {}

  // Throws SynthError with one line for the user when none opens (`none`,
  // translated); the libraries' reasons follow it with QUILLOTONE_DEBUG=1.
  void Open() override;
  void Close() override;
  [[nodiscard]] bool IsOpen() const override { return open_ != nullptr; }
  [[nodiscard]] double LastRenderedMicros() const override;
  [[nodiscard]] double HeardAtMicros(std::uint64_t frame) const override;
  [[nodiscard]] std::string Said() const override;
  void AwaitTiming(double deadline) override {
    if (open_ != nullptr) open_->AwaitTiming(deadline);
  }
  [[nodiscard]] bool Stale() const override { return open_ != nullptr && open_->Stale(); }
  [[nodiscard]] int UnreportedGraphCycles() const override {
    return last_ != nullptr ? last_->UnreportedGraphCycles() : 0;
  }

 private:
  std::vector<Link> links_;
  const char* none_;
  // The one playing, or the last one that did (what it said stays readable).
  AudioDevice* open_ = nullptr;
  AudioDevice* last_ = nullptr;
};

}  // namespace quillotone
