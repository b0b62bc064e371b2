// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/audio/SynthHost.h"

#include <QMetaObject>
#include <exception>
#include <iostream>
#include <stop_token>
#include <utility>
#include <vector>

#include "framework/audio/AudioDeviceChain.h"
#include "framework/audio/AudioTiming.h"
#include "framework/audio/FluidAudioDriver.h"
#include "framework/audio/PulseStream.h"

namespace quillotone {

SynthHost::SynthHost(QObject* parent, const Clock* clock)
    : QObject(parent), clock_(clock != nullptr ? *clock : systemClock_) {
  connect(this, &SynthHost::loaderDone, this, &SynthHost::TakeLoaded, Qt::QueuedConnection);
  watch_.setInterval(static_cast<int>(audio::kWatchMicros / 1000));
  connect(&watch_, &QTimer::timeout, this, &SynthHost::Watch);
}

SynthHost::~SynthHost() {
  // A SoundFont still loading is waited for: the worker refers to this host.
  // What it may have posted already is dropped by Qt along with this object.
  if (loader_.joinable()) {
    loader_.request_stop();
    loader_.join();
  }
  output_.reset();
}

void SynthHost::Attach(std::unique_ptr<Synth> synth) { Adopt(std::move(synth), false); }

void SynthHost::LoadInBackground(SynthOptions options) {
  loader_ = std::jthread([this, options = std::move(options),
                          programs = programs_](std::stop_token stop) {
    std::unique_ptr<Synth> synth;
    std::string error;
    try {
      synth = std::make_unique<Synth>(options);
      // Selecting a program reads its samples from the SoundFont: here.
      for (int channel = 0; channel < midi::kChannels; ++channel) {
        synth->ProgramChange(channel, programs[static_cast<std::size_t>(channel)]);
      }
    } catch (const std::exception& e) {
      error = e.what();
    } catch (...) {
      error = QT_TRANSLATE_NOOP("Synth", "The synthesizer could not be started (unknown error).");
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
    Adopt(std::move(synth), true);
  } else {
    emit failed(QString::fromStdString(error));
  }
}

void SynthHost::Adopt(std::unique_ptr<Synth> synth, bool playsOut) {
  if (!synth) return;
  output_.reset();
  synth_ = std::move(synth);
  if (playsOut) {
    // PulseAudio also reaches PipeWire (pipewire-pulse); ALSA is for systems
    // without a sound server.
    std::vector<AudioDeviceChain::Link> links;
    links.push_back({"pulseaudio", std::make_unique<PulseStream>(*synth_, clock_)});
    links.push_back({"alsa", std::make_unique<FluidAudioDriver>(*synth_, clock_)});
    output_ = std::make_unique<AudioOutput>(std::make_unique<AudioDeviceChain>(std::move(links)),
                                            clock_, *this);
  }
  playhead_.Follow(synth_.get(), output_ ? &output_->device() : nullptr);
  programsPending_ = true;
  ApplyPrograms();
  emit ready();
}

void SynthHost::ApplyPrograms() {
  if (!synth_ || !programsPending_ || (output_ && output_->device().IsOpen())) return;
  programsPending_ = false;
  for (int channel = 0; channel < midi::kChannels; ++channel) {
    synth_->ProgramChange(channel, programs_[static_cast<std::size_t>(channel)]);
  }
}

void SynthHost::SetProgram(int channel, int program) {
  if (channel < 0 || channel >= midi::kChannels || !midi::IsData(program)) return;
  programs_[static_cast<std::size_t>(channel)] = program;
  programsPending_ = true;
  ApplyPrograms();
}

bool SynthHost::Use(bool noteOn) {
  if (!synth_) return false;
  if (!output_) return true;
  const bool wasWanted = output_->OpenWanted();
  output_->NoteSent(noteOn);
  if (!wasWanted) AfterRequest(output_->OpenWanted());
  // With no output nothing sounds (a lost one was silenced), and nothing
  // would take the event off the queue.
  return output_->Renders();
}

void SynthHost::AfterRequest(bool openWanted, bool atOnce) {
  if (!openWanted) return;
  // From here the synth's next frame is the playhead's present; the clock
  // stands still while the stream starts rather than skip what it is sent.
  playhead_.Rebase(playhead_.Microseconds());
  if (atOnce) {
    OpenOutput();
    output_->AwaitTiming();
    return;
  }
  // Otherwise the stream starts on the event loop's next turn, so that what
  // the thread asking schedules on this turn is queued before the first
  // period renders.
  QMetaObject::invokeMethod(this, &SynthHost::OpenOutput, Qt::QueuedConnection);
}

void SynthHost::OpenOutput() {
  if (!output_) return;
  output_->Open();
  if (output_->Watching()) watch_.start();
}

void SynthHost::Watch() {
  if (output_) output_->Watch();
  if (!output_ || !output_->Watching()) {
    watch_.stop();
    ApplyPrograms();
  }
}

double SynthHost::BeginThread() {
  // A start always looks for a server, however lately tried.
  // With timing wanted it opens at once, so that the thread's first note,
  // too, is stamped with the time it is heard; the thread's clock then
  // begins with the stream's.
  if (output_) AfterRequest(output_->Request(), timingWanted_);
  return playhead_.ThreadStart();
}

void SynthHost::DropScheduled(std::uint32_t source) {
  if (synth_) synth_->DropScheduled(source);
}

void SynthHost::Schedule(double micros, int channel, int note, int velocity, std::uint32_t source) {
  if (!Use(velocity > 0)) return;
  if (const std::optional<std::uint64_t> frame = playhead_.FrameFor(micros)) {
    synth_->NoteAt(*frame, channel, note, velocity, source);
  }
}

void SynthHost::SendNow(int channel, int note, int velocity) {
  if (Use(velocity > 0)) synth_->NoteNow(channel, note, velocity);
}

void SynthHost::ClockChange(const std::function<void()>& change) {
  const double now = playhead_.Microseconds();
  change();
  playhead_.Rebase(now);
}

void SynthHost::Silence() { synth_->Silence(); }

void SynthHost::Lost(const std::string& line, const std::string& notice) {
  std::cerr << "quillotone: " << line << '\n';
  emit outputLost(QString::fromStdString(notice));
}

void SynthHost::Back(const std::string& line, const std::string& notice) {
  std::cerr << "quillotone: " << line << '\n';
  emit outputBack(QString::fromStdString(notice));
}

}  // namespace quillotone
