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
constexpr const char* kNoAnswerLine = QT_TRANSLATE_NOOP(
    "AudioOutput",
    "the sound server does not answer (stopped or hung?). Playing on silently until it does");
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

bool AudioOutput::Request() {
  // A stream still open after a stop holds periods of what it last played
  // (the release, then silence), which a first note would wait behind: a
  // fresh one starts with the thread's first note. The synth's voices go on
  // into it.
  if (state_ == State::kOpen) Close();
  return Ask(true);
}

bool AudioOutput::Ask(bool evenIfTriedLately) {
  const double now = clock_.MonotonicMicros();
  if (Renders()) return false;
  if (state_ == State::kLost && !evenIfTriedLately && now - triedAt_ < audio::kRetryMicros) {
    return false;
  }
  // From closing too: the stream opens again once it has closed.
  state_ = State::kOpening;
  usedAt_ = now;
  openWanted_ = true;
  return true;
}

void AudioOutput::Open() {
  const bool wanted = std::exchange(openWanted_, false);
  if (!wanted || state_ != State::kOpening || device_->IsOpen()) return;
  const double now = clock_.MonotonicMicros();
  triedAt_ = watchedAt_ = judgedFrom_ = openAskedAt_ = now;
  // An open still under way (stuck) answers for this one too.
  if (std::exchange(awaitingOpen_, true)) return;
  device_->Open();
}

void AudioOutput::Opened(const std::optional<std::string>& error) {
  awaitingOpen_ = false;
  const double now = clock_.MonotonicMicros();
  if (error) {
    if (state_ != State::kOpening) return;  // already lost, and told
    // Nothing takes what was sent meanwhile off the queue.
    listener_.Silence();
    Lose(*error, *error);
    return;
  }
  // An open that outlasted its wait still plays while the melody does.
  if (state_ != State::kOpening && (state_ != State::kLost || Idle(now))) {
    Stop();
    return;
  }
  state_ = State::kOpening;
  watchedAt_ = judgedFrom_ = now;
  renderedAtOpen_ = device_->LastRenderedMicros();
}

void AudioOutput::Closed() {
  if (state_ == State::kClosing) state_ = State::kClosed;
}

void AudioOutput::Watch() {
  if (!Watching()) return;
  const double now = clock_.MonotonicMicros();
  const double late = now - watchedAt_ - audio::kWatchMicros;
  watchedAt_ = now;
  if (late > audio::kFrozenMicros) {
    judgedFrom_ = now;
    usedAt_ += late;
    openAskedAt_ += late;
    closeAskedAt_ += late;
  }
  if (state_ == State::kClosing) {
    // A close that does not end is left to the stream's thread.
    if (now - closeAskedAt_ >= audio::kCloseAnswerMicros) state_ = State::kClosed;
    return;
  }
  if (awaitingOpen_) {
    if (Idle(now)) {
      Close();
    } else if (state_ == State::kOpening && now - openAskedAt_ >= audio::kOpenAnswerMicros) {
      listener_.Silence();
      Lose(Tr(kNoAnswerLine), Tr(kServerSilentText));
    }
    return;
  }
  if (!device_->IsOpen()) return;
  if (state_ == State::kOpen && device_->Stale()) {
    // Closed and opened again, with nothing told: the playhead waits on the
    // monotonic clock meanwhile, and the synth keeps what is scheduled.
    Close();
    Ask(true);
    return;
  }
  const double rendered = device_->LastRenderedMicros();
  const bool started = rendered != renderedAtOpen_;
  if (started && state_ == State::kOpening) {
    state_ = State::kOpen;
    if (std::exchange(lossTold_, false)) listener_.Back(Tr(kBackLine), Tr(kBackNotice));
  }
  if (Idle(now)) {
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

void AudioOutput::Lose(const std::string& line, const std::string& notice) {
  state_ = State::kLost;
  if (std::exchange(lossTold_, true)) return;
  listener_.Lost(line, notice);
}

bool AudioOutput::Stop() {
  openWanted_ = false;
  if (!device_->IsOpen() && !awaitingOpen_) return false;
  // The close overtakes an open under way, whose answer no longer comes.
  awaitingOpen_ = false;
  closeAskedAt_ = clock_.MonotonicMicros();
  listener_.ClockChange([this] { device_->Close(); });
  return true;
}

void AudioOutput::Close() {
  const bool closing = Stop();
  if (!Renders()) return;
  state_ = lossTold_ ? State::kLost : closing ? State::kClosing : State::kClosed;
}

}  // namespace quillotone
