// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/audio/AudioDeviceChain.h"

#include <QCoreApplication>

#include "framework/audio/FluidLog.h"
#include "framework/audio/SynthError.h"

namespace quillotone {

// Told in the user's language.
const char* const AudioDeviceChain::kNoServer = QT_TRANSLATE_NOOP(
    "AudioOutput",
    "No sound server to play on: start PulseAudio or PipeWire (packages pulseaudio, "
    "pipewire-pulse). Quillotone plays on silently until one is there.");
const char* const AudioDeviceChain::kNoJack = QT_TRANSLATE_NOOP(
    "AudioOutput",
    "No JACK server to play on: start jackd (package jackd2), or run Quillotone under pw-jack. "
    "Quillotone plays on silently until one is there.");
const char* const AudioDeviceChain::kNoAlsa = QT_TRANSLATE_NOOP(
    "AudioOutput",
    "The sound card could not be opened with ALSA: another program may hold it. Quillotone "
    "plays on silently until it opens.");

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
                                               silent ? kServerSilentText : none_)
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
