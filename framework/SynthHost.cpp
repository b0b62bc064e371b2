#include "framework/SynthHost.h"

#include <QMetaObject>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
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

bool SynthHost::OpenOutput() {
  if (!synth_ || !synth_->playsOut()) return false;
  if (!synth_->HasAudioOutput()) {
    const double now = Microseconds();
    try {
      synth_->OpenOutput();
    } catch (const SynthError& e) {
      failedOpenMicros_ = WallMicros();
      if (!failureReported_) {
        failureReported_ = true;
        emit failed(QString::fromStdString(e.what()));
      }
      return false;
    }
    Rebase(now);
    framesAtOpen_ = synth_->Frames();
    if (failureReported_) {
      failureReported_ = false;
      emit restored();
    }
  }
  idle_.start();
  if (!watch_.isActive()) watch_.start();  // restarting it at every note would starve it
  return true;
}

void SynthHost::CheckOutput() {
  if (!outputOpen()) {
    watch_.stop();
    return;
  }
  const double sinceRendered = std::chrono::duration<double, std::micro>(
                                   std::chrono::steady_clock::now() - synth_->LastRendered())
                                   .count();
  const bool started = synth_->Frames() != framesAtOpen_;
  if (sinceRendered < (started ? kLostMicros : kFirstRenderMicros)) return;
  CloseOutput();
  // What was sounding or due when it stopped must not all come out at once
  // when it opens again: the melody's note-offs meanwhile went nowhere.
  synth_->Silence();
  // Notes try to open it again from now on, quietly, as after a failed open.
  failedOpenMicros_ = WallMicros();
  failureReported_ = true;
  emit lost(QStringLiteral(
      "The sound output stopped: the sound server went away, or the audio device was removed. "
      "Quillotone keeps playing silently, and is heard again as soon as the sound server is "
      "back."));
}

void SynthHost::CloseOutput() {
  idle_.stop();
  watch_.stop();
  if (!outputOpen()) return;
  const double now = Microseconds();
  synth_->CloseOutput();
  Rebase(now);
}

bool SynthHost::OnSynthClock() const {
  return synth_ && (!synth_->playsOut() || synth_->HasAudioOutput());
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

void SynthHost::DropScheduled(std::uint32_t source) {
  if (synth_) synth_->DropScheduled(source);
}

void SynthHost::KeepOpen() {
  if (!synth_->playsOut()) return;
  if (synth_->HasAudioOutput() || WallMicros() - failedOpenMicros_ >= kRetryMicros) OpenOutput();
}

void SynthHost::Schedule(double micros, int channel, int note, int velocity, std::uint32_t source) {
  if (!synth_) return;
  KeepOpen();
  if (!OnSynthClock()) return;  // no output to play it on
  const double frames =
      std::round((micros + kLeadMicros - originMicros_) * synth_->sampleRate() / kMicrosPerSecond);
  if (std::isnan(frames)) return;
  // Already due (a thread running late) is applied with the next audio block.
  const double frame = std::clamp(static_cast<double>(originFrame_) + frames, 0.0, kMaxFrame);
  synth_->NoteAt(static_cast<std::uint64_t>(frame), channel, note, velocity, source);
}

void SynthHost::SendNow(int channel, int note, int velocity) {
  if (!synth_) return;
  KeepOpen();
  // With no output nothing sounds (a lost one was silenced), and nothing
  // would take the event off the queue.
  if (!OnSynthClock()) return;
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
  if (synth_->HasAudioOutput()) {
    framesAtOpen_ = synth_->Frames();
    idle_.start();
    watch_.start();
  } else if (synth_->playsOut()) {
    // No output yet: said once, and tried again as notes come.
    failedOpenMicros_ = WallMicros();
    failureReported_ = true;
    emit failed(QString::fromStdString(synth_->outputProblem()));
  }
  emit ready();
}

}  // namespace quillotone
