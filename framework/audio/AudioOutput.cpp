// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/audio/AudioOutput.h"

#include <QCoreApplication>
#include <algorithm>
#include <utility>

#include "framework/audio/AudioTiming.h"
#include "framework/audio/FluidLog.h"
#include "framework/audio/SynthError.h"

namespace quillotone {
namespace {

// The lines and notices are told in the user's language.
constexpr const char* kStoppedLine = QT_TRANSLATE_NOOP(
    "AudioOutput",
    "the sound output stopped: the sound server went away. Playing on silently until it is back");
constexpr const char* kStoppedNotice = QT_TRANSLATE_NOOP(
    "AudioOutput",
    "The sound output stopped: the sound server went away, or the audio device was removed. "
    "Quillotone plays on silently, and is heard again as soon as the sound server is back.");
constexpr const char* kBackLine = QT_TRANSLATE_NOOP("AudioOutput", "the sound output is back");
constexpr const char* kBackNotice =
    QT_TRANSLATE_NOOP("AudioOutput", "The sound output is back: Quillotone is heard again.");

std::string Tr(const char* text) {
  return QCoreApplication::translate("AudioOutput", text).toStdString();
}

}  // namespace

AudioOutput::AudioOutput(std::unique_ptr<AudioDevice> device, const Clock& clock,
                         Listener& listener)
    : device_(std::move(device)), clock_(clock), listener_(listener) {}

AudioOutput::~AudioOutput() { device_->Close(); }

void AudioOutput::NoteSent(bool noteOn) {
  if (Renders()) {
    usedAt_ = clock_.MonotonicMicros();
  } else if (noteOn) {
    Ask(false);
  }
}

bool AudioOutput::Request() { return Ask(true); }

bool AudioOutput::Ask(bool evenIfTriedLately) {
  const double now = clock_.MonotonicMicros();
  if (Renders()) return false;
  if (state_ == State::kLost && !evenIfTriedLately && now - triedAt_ < audio::kRetryMicros) {
    return false;
  }
  state_ = State::kOpening;
  usedAt_ = now;
  openWanted_ = true;
  return true;
}

void AudioOutput::Open() {
  const bool wanted = std::exchange(openWanted_, false);
  if (!wanted || state_ != State::kOpening || device_->IsOpen()) return;
  const double now = clock_.MonotonicMicros();
  triedAt_ = watchedAt_ = judgedFrom_ = now;
  try {
    device_->Open();
  } catch (const SynthError& e) {
    // Nothing takes what was sent meanwhile off the queue.
    listener_.Silence();
    Lose(e.what(), e.what());
    return;
  }
  renderedAtOpen_ = device_->LastRenderedMicros();
}

void AudioOutput::Watch() {
  if (!device_->IsOpen()) return;
  const double now = clock_.MonotonicMicros();
  const double late = now - watchedAt_ - audio::kWatchMicros;
  watchedAt_ = now;
  if (late > audio::kFrozenMicros) {
    judgedFrom_ = now;
    usedAt_ += late;
  }
  const double rendered = device_->LastRenderedMicros();
  const bool started = rendered != renderedAtOpen_;
  if (started && state_ == State::kOpening) {
    state_ = State::kOpen;
    if (std::exchange(lossTold_, false)) listener_.Back(Tr(kBackLine), Tr(kBackNotice));
  }
  if (now - usedAt_ >= audio::kIdleCloseMicros) {
    Close();
    return;
  }
  const double silent = now - std::max(rendered, judgedFrom_);
  if (silent < (started ? audio::kLostMicros : audio::kFirstRenderMicros)) return;
  Stop();
  listener_.Silence();
  std::string line = Tr(kStoppedLine);
  if (WantsLibraryDetails() && !device_->Said().empty()) line += " (" + device_->Said() + ")";
  Lose(line, Tr(kStoppedNotice));
}

void AudioOutput::AwaitTiming() {
  if (device_->IsOpen()) device_->AwaitTiming(clock_.MonotonicMicros() + audio::kTimingWaitMicros);
}

void AudioOutput::Lose(const std::string& line, const std::string& notice) {
  state_ = State::kLost;
  if (std::exchange(lossTold_, true)) return;
  listener_.Lost(line, notice);
}

void AudioOutput::Stop() {
  openWanted_ = false;
  if (device_->IsOpen()) listener_.ClockChange([this] { device_->Close(); });
}

void AudioOutput::Close() {
  Stop();
  if (Renders()) state_ = lossTold_ ? State::kLost : State::kClosed;
}

}  // namespace quillotone
