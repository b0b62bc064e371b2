// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/audio/SynthHost.h"

#include <QMetaObject>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <iostream>
#include <limits>
#include <stop_token>
#include <utility>

namespace quillotone {
namespace {

constexpr double kMicrosPerSecond = 1'000'000.0;
constexpr double kNanosPerMicro = 1'000.0;
constexpr int kMaxProgram = 127;
// Frames beyond this are as good as never; it keeps the conversion defined.
constexpr double kMaxFrame = 0x1p62;
// A period whose render may be under way by the time an event reaches the
// audio thread is too late for that event.
constexpr double kRenderMarginMicros = 5'000.0;

constexpr const char* kStoppedNotice =
    "The sound output stopped: the sound server went away, or the audio device was removed. "
    "Quillotone plays on silently, and is heard again as soon as the sound server is back.";
constexpr const char* kBackNotice = "The sound output is back: Quillotone is heard again.";

}  // namespace

SynthHost::SynthHost(QObject* parent) : QObject(parent) {
  wall_.start();
  connect(this, &SynthHost::loaderDone, this, &SynthHost::TakeLoaded, Qt::QueuedConnection);
  idle_.setSingleShot(true);
  idle_.setInterval(kIdleCloseMs);
  connect(&idle_, &QTimer::timeout, this, &SynthHost::CloseOutput);
  watch_.setInterval(kWatchMs);
  connect(&watch_, &QTimer::timeout, this, &SynthHost::CheckOutput);
}

SynthHost::~SynthHost() {
  // A SoundFont still loading is waited for: the worker refers to this host.
  // What it may have posted already is dropped by Qt along with this object.
  if (loader_.joinable()) {
    loader_.request_stop();
    loader_.join();
  }
}

void SynthHost::Attach(std::unique_ptr<Synth> synth) { Adopt(std::move(synth)); }

void SynthHost::LoadInBackground(SynthOptions options) {
  loader_ = std::jthread([this, options = std::move(options)](std::stop_token stop) {
    std::unique_ptr<Synth> synth;
    std::string error;
    try {
      synth = std::make_unique<Synth>(options);
    } catch (const std::exception& e) {
      error = e.what();
    } catch (...) {
      error = "The synthesizer could not be started (unknown error).";
    }
    if (stop.stop_requested()) return;  // The host is going away; so does the synth.
    {
      const std::lock_guard lock(loadedMutex_);
      loaded_ = std::move(synth);
      loadError_ = std::move(error);
    }
    emit loaderDone(QPrivateSignal());
  });
}

void SynthHost::TakeLoaded() {
  std::unique_ptr<Synth> synth;
  std::string error;
  {
    const std::lock_guard lock(loadedMutex_);
    synth = std::move(loaded_);
    error = std::move(loadError_);
  }
  if (synth) {
    Adopt(std::move(synth));
  } else {
    emit failed(QString::fromStdString(error));
  }
}

void SynthHost::Use(bool noteOn) {
  if (!synth_->playsOut()) return;
  if (output_ == Output::kOpening || output_ == Output::kOpen) {
    idle_.start();
  } else if (noteOn) {
    RequestOutput(false);
  }
}

void SynthHost::RequestOutput(bool evenIfTriedLately) {
  if (!synth_ || !synth_->playsOut()) return;
  if (output_ == Output::kOpening || output_ == Output::kOpen) return;
  if (output_ == Output::kLost && !evenIfTriedLately &&
      WallMicros() - triedMicros_ < kRetryMicros) {
    return;
  }
  // From here the synth's next frame is the playhead's present; the clock
  // stands still while the driver starts rather than skip what it is sent.
  Rebase(Microseconds());
  output_ = Output::kOpening;
  idle_.start();
  QMetaObject::invokeMethod(this, &SynthHost::OpenNow, Qt::QueuedConnection);
}

void SynthHost::OpenNow() {
  if (output_ != Output::kOpening || !synth_ || synth_->HasAudioOutput()) return;
  triedMicros_ = WallMicros();
  try {
    synth_->OpenOutput();
  } catch (const SynthError& e) {
    // Nothing takes what was sent meanwhile off the queue.
    synth_->Silence();
    Lose(e.what(), QString::fromStdString(e.what()));
    return;
  }
  framesAtOpen_ = synth_->Frames();
  watch_.start();
}

void SynthHost::CheckOutput() {
  if (!outputOpen()) {
    watch_.stop();
    return;
  }
  const bool started = synth_->Frames() != framesAtOpen_;
  if (started && output_ == Output::kOpening) {
    output_ = Output::kOpen;
    if (lossTold_) {
      lossTold_ = false;
      std::cerr << "quillotone: the sound output is back\n";
      emit outputBack(QString::fromLatin1(kBackNotice));
    }
  }
  const double sinceRendered = std::chrono::duration<double, std::micro>(
                                   std::chrono::steady_clock::now() - synth_->LastRendered())
                                   .count();
  if (sinceRendered < (started ? kLostMicros : kFirstRenderMicros)) return;
  CloseOutput();
  // What was sounding or due when it stopped must not all come out at once
  // when it opens again: the melody's note-offs meanwhile went nowhere.
  synth_->Silence();
  const std::string said =
      synth_->outputLog().empty() ? "it rendered nothing" : synth_->outputLog();
  Lose("the sound output stopped (" + said + "); playing on silently until it is back",
       QString::fromLatin1(kStoppedNotice));
}

void SynthHost::Lose(const std::string& line, const QString& notice) {
  output_ = Output::kLost;
  if (lossTold_) return;
  lossTold_ = true;
  std::cerr << "quillotone: " << line << '\n';
  emit outputLost(notice);
}

void SynthHost::CloseOutput() {
  idle_.stop();
  watch_.stop();
  if (outputOpen()) {
    const double now = Microseconds();
    synth_->CloseOutput();
    Rebase(now);
  }
  if (output_ == Output::kOpening || output_ == Output::kOpen) {
    output_ = lossTold_ ? Output::kLost : Output::kClosed;
  }
}

bool SynthHost::OnSynthClock() const {
  return synth_ && (!synth_->playsOut() || synth_->HasAudioOutput());
}

bool SynthHost::Renders() const {
  return synth_ && (!synth_->playsOut() || output_ == Output::kOpening || output_ == Output::kOpen);
}

double SynthHost::WallMicros() const {
  return static_cast<double>(wall_.nsecsElapsed()) / kNanosPerMicro;
}

void SynthHost::Rebase(double now) {
  originMicros_ = now;
  originFrame_ = synth_ ? synth_->Frames() : 0;
  wallOffsetMicros_ = now - WallMicros();
}

double SynthHost::Microseconds() const {
  const double wallMicros = WallMicros();
  double now = wallMicros + wallOffsetMicros_;
  if (OnSynthClock()) {
    const std::uint64_t frame = synth_->Frames();
    now = originMicros_ +
          static_cast<double>(frame - originFrame_) * kMicrosPerSecond / synth_->sampleRate();
    if (synth_->HasAudioOutput()) {
      // Between periods the clock stands still; the playhead goes on at the
      // system clock's pace for up to one period, so threads wake on time
      // rather than a period late.
      const double sinceRendered = std::chrono::duration<double, std::micro>(
                                       std::chrono::steady_clock::now() - synth_->LastRendered())
                                       .count();
      now += std::clamp(sinceRendered, 0.0, synth_->PeriodSeconds() * kMicrosPerSecond);
      // An output that stopped rendering must not stop the melody: past the
      // stall allowance the playhead goes on with the system clock. Should the
      // output come back, the playhead waits (never going back) until the
      // synth has played what was scheduled meanwhile.
      now += std::max(0.0, sinceRendered - kStallMicros);
    }
  }
  lastMicros_ = std::max(lastMicros_, now);
  return lastMicros_;
}

double SynthHost::BeginThread() {
  RequestOutput(true);  // a start always looks for a server, however lately tried
  const double now = Microseconds();
  if (!synth_ || !synth_->playsOut() || !Renders()) return now;
  // The melody's clock begins a lead before the output's next period, so its
  // first note is rendered with that period; the notes after it keep the
  // whole lead, as the thread wakes that much earlier for each.
  double next = originMicros_ + static_cast<double>(synth_->Frames() - originFrame_) *
                                    kMicrosPerSecond / synth_->sampleRate();
  const double period = synth_->PeriodSeconds() * kMicrosPerSecond;
  if (!synth_->HasAudioOutput()) {
    // A stream that starts may stumble once over its first period (seen with
    // PulseAudio: 5 ms of silence inserted), which would stretch the first
    // step: the melody begins with the second.
    next += period;
  } else {
    const double sinceRendered = std::chrono::duration<double, std::micro>(
                                     std::chrono::steady_clock::now() - synth_->LastRendered())
                                     .count();
    if (sinceRendered > period - kRenderMarginMicros) next += period;
  }
  return std::min(now, next - kLeadMicros);
}

void SynthHost::DropScheduled(std::uint32_t source) {
  if (synth_) synth_->DropScheduled(source);
}

void SynthHost::Schedule(double micros, int channel, int note, int velocity, std::uint32_t source) {
  if (!synth_) return;
  Use(velocity > 0);
  if (!Renders()) return;  // no output to play it on
  const double frames =
      std::round((micros + kLeadMicros - originMicros_) * synth_->sampleRate() / kMicrosPerSecond);
  if (std::isnan(frames)) return;
  // Already due (a thread running late) is applied with the next audio block.
  const double frame = std::clamp(static_cast<double>(originFrame_) + frames, 0.0, kMaxFrame);
  synth_->NoteAt(static_cast<std::uint64_t>(frame), channel, note, velocity, source);
}

void SynthHost::SendNow(int channel, int note, int velocity) {
  if (!synth_) return;
  Use(velocity > 0);
  // With no output nothing sounds (a lost one was silenced), and nothing
  // would take the event off the queue.
  if (!Renders()) return;
  synth_->NoteNow(channel, note, velocity);
}

void SynthHost::SetProgram(int channel, int program) {
  if (channel < 0 || channel >= kChannels || program < 0 || program > kMaxProgram) return;
  programs_[static_cast<std::size_t>(channel)] = program;
  if (synth_) synth_->ProgramChange(channel, program);
}

void SynthHost::Adopt(std::unique_ptr<Synth> synth) {
  if (!synth) return;
  const double now = Microseconds();
  synth_ = std::move(synth);
  Rebase(now);
  for (int channel = 0; channel < kChannels; ++channel) {
    synth_->ProgramChange(channel, programs_[static_cast<std::size_t>(channel)]);
  }
  emit ready();
}

}  // namespace quillotone
