#include "framework/SynthHost.h"

#include <QMetaObject>
#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <stop_token>
#include <utility>

namespace quillotone {
namespace {

constexpr double kMicrosPerTick = 1'000'000.0 / Synth::kTicksPerSecond;
constexpr double kNanosPerMicro = 1'000.0;
constexpr int kMaxProgram = 127;
constexpr double kMaxTick = std::numeric_limits<std::uint32_t>::max();

}  // namespace

SynthHost::SynthHost(QObject* parent) : QObject(parent) {
  wall_.start();
  connect(this, &SynthHost::loaderDone, this, &SynthHost::TakeLoaded, Qt::QueuedConnection);
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

double SynthHost::Microseconds() const {
  const double wallMicros = static_cast<double>(wall_.nsecsElapsed()) / kNanosPerMicro;
  double now = wallMicros;
  if (synth_) {
    const std::uint32_t tick = synth_->Tick();
    now = tickOriginMicros_ + tick * kMicrosPerTick;
    if (synth_->HasAudioOutput()) {
      if (tick != lastTick_) {
        lastTick_ = tick;
        lastTickWallMicros_ = wallMicros;
      }
      // An output that stopped rendering must not stop the melody: past the
      // stall allowance the playhead goes on with the system clock. Should the
      // output come back, the playhead waits (never going back) until the
      // synth has played what was scheduled meanwhile.
      now += std::max(0.0, wallMicros - lastTickWallMicros_ - kStallMicros);
    }
  }
  lastMicros_ = std::max(lastMicros_, now);
  return lastMicros_;
}

void SynthHost::DropScheduled(std::uint32_t source) {
  if (synth_) synth_->DropScheduled(source);
}

void SynthHost::Schedule(double micros, int channel, int note, int velocity, std::uint32_t source) {
  if (!synth_) return;
  const double tick = std::round((micros + kLeadMicros - tickOriginMicros_) / kMicrosPerTick);
  if (std::isnan(tick)) return;
  // Already due (a thread running late) is applied with the next audio block.
  synth_->NoteAt(static_cast<std::uint32_t>(std::clamp(tick, 0.0, kMaxTick)), channel, note,
                 velocity, source);
}

void SynthHost::SendNow(int channel, int note, int velocity) {
  if (synth_) synth_->NoteNow(channel, note, velocity);
}

void SynthHost::SetProgram(int channel, int program) {
  if (channel < 0 || channel >= kChannels || program < 0 || program > kMaxProgram) return;
  programs_[static_cast<std::size_t>(channel)] = program;
  if (synth_) synth_->ProgramChange(channel, program);
}

void SynthHost::Adopt(std::unique_ptr<Synth> synth) {
  if (!synth) return;
  const double now = Microseconds();
  const std::uint32_t tick = synth->Tick();
  synth_ = std::move(synth);
  tickOriginMicros_ = now - tick * kMicrosPerTick;
  lastTick_ = tick;
  lastTickWallMicros_ = static_cast<double>(wall_.nsecsElapsed()) / kNanosPerMicro;
  for (int channel = 0; channel < kChannels; ++channel) {
    synth_->ProgramChange(channel, programs_[static_cast<std::size_t>(channel)]);
  }
  emit ready();
}

}  // namespace quillotone
