// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/audio/AudioDeviceChain.h"

#include <QCoreApplication>
#include <string_view>

#include "framework/audio/FluidLog.h"
#include "framework/audio/SynthError.h"

namespace quillotone {
namespace {

// Told in the user's language.
constexpr std::string_view kNoServer = QT_TRANSLATE_NOOP(
    "AudioOutput",
    "No sound server to play on: start PulseAudio or PipeWire (packages pulseaudio, "
    "pipewire-pulse). Quillotone plays on silently until one is there.");
static_assert(kNoServer.size() <= 150, "one short line");

}  // namespace

void AudioDeviceChain::Open() {
  if (open_ != nullptr) return;
  std::string tried;
  bool silent = false;
  for (Link& link : links_) {
    try {
      link.device->Open();
      open_ = last_ = link.device.get();
      return;
    } catch (const ServerSilentError& e) {
      // The links after it would reach the same server, and wait on it
      // without a bound.
      tried += (tried.empty() ? "" : "; ") + link.name + ": " + e.what();
      silent = true;
      break;
    } catch (const SynthError& e) {
      tried += (tried.empty() ? "" : "; ") + link.name + ": " + e.what();
    }
  }
  throw SynthError(QCoreApplication::translate("AudioOutput",
                                               silent ? kServerSilentText : kNoServer.data())
                       .toStdString() +
                   (WantsLibraryDetails() ? " (" + tried + ")" : std::string()));
}

void AudioDeviceChain::Close() {
  if (open_ != nullptr) open_->Close();
  open_ = nullptr;
}

double AudioDeviceChain::LastRenderedMicros() const {
  return last_ != nullptr ? last_->LastRenderedMicros() : 0.0;
}

double AudioDeviceChain::HeardAtMicros(std::uint64_t frame) const {
  return last_ != nullptr ? last_->HeardAtMicros(frame) : 0.0;
}

std::string AudioDeviceChain::Said() const { return last_ != nullptr ? last_->Said() : ""; }

}  // namespace quillotone
