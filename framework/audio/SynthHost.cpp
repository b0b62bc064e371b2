// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/audio/SynthHost.h"

#include <QMetaObject>
#include <exception>
#include <iostream>
#include <utility>
#include <vector>

#include "framework/audio/AudioDeviceChain.h"
#include "framework/audio/AudioDeviceWorker.h"
#include "framework/audio/AudioTiming.h"
#include "framework/audio/FluidAudioDriver.h"
#include "framework/audio/PulseStream.h"
#include "framework/jack/JackAudio.h"
#include "framework/jack/JackClient.h"

namespace quillotone {

SynthHost::SynthHost(QObject* parent, const Clock* clock)
    : QObject(parent), clock_(clock != nullptr ? *clock : LastingSystemClock()) {
  watch_.setInterval(static_cast<int>(audio::kWatchMicros / 1000));
  connect(&watch_, &QTimer::timeout, this, &SynthHost::Watch);
}

SynthHost::~SynthHost() {
  // The stream closes on its worker, which is waited for only so long; the
  // loader, if still loading, is left to finish alone (and its reply dropped).
  output_.reset();
}

void SynthHost::PlayOn(AudioSystem system, std::shared_ptr<JackClient> jack) {
  audioSystem_ = system;
  jack_ = std::move(jack);
}

void SynthHost::Attach(std::unique_ptr<Synth> synth) { Adopt(std::move(synth), false); }

void SynthHost::LoadInBackground(SynthOptions options) {
  loader_.Post(
      [reply = loader_.replier(), this, options = std::move(options), programs = programs_,
       jack = jack_] {
        std::shared_ptr<Synth> synth;
        std::string error;
        try {
          synth = std::make_shared<Synth>(options);
          // Selecting a program reads its samples from the SoundFont: here.
          for (int channel = 0; channel < midi::kChannels; ++channel) {
            synth->ProgramChange(channel, programs[static_cast<std::size_t>(channel)]);
          }
          // At the rate of a JACK client already open (the MIDI port's),
          // before any note is scheduled; else at its output's first open.
          if (jack && jack->opened()) synth->SetSampleRate(jack->sampleRate());
        } catch (const std::exception& e) {
          error = e.what();
        } catch (...) {
          error = QT_TRANSLATE_NOOP("Synth", "The synthesizer could not be started (unknown error).");
        }
        // `this` only in the reply, which is dropped if the host has gone.
        reply([this, synth, error] {
          if (synth) {
            Adopt(synth, true);
          } else {
            emit failed(QString::fromStdString(error));
          }
        });
      });
}

void SynthHost::Adopt(std::shared_ptr<Synth> synth, bool playsOut) {
  if (!synth) return;
  output_.reset();
  stream_ = nullptr;
  synth_ = std::move(synth);
  if (playsOut) {
    // PulseAudio also reaches PipeWire (pipewire-pulse); ALSA is for systems
    // without a sound server.
    std::vector<AudioDeviceChain::Link> links;
    const char* none = AudioDeviceChain::kNoServer;
    if (audioSystem_ == AudioSystem::kJack) {
      links.push_back({"jack", std::make_unique<JackAudio>(*synth_, jack_)});
      none = AudioDeviceChain::kNoJack;
    }
    if (audioSystem_ == AudioSystem::kAny || audioSystem_ == AudioSystem::kPulse) {
      links.push_back({"pulseaudio", std::make_unique<PulseStream>(*synth_, clock_)});
    }
    if (audioSystem_ == AudioSystem::kAny || audioSystem_ == AudioSystem::kAlsa) {
      links.push_back({"alsa", std::make_unique<FluidAudioDriver>(*synth_, clock_)});
    }
    if (audioSystem_ == AudioSystem::kAlsa) none = AudioDeviceChain::kNoAlsa;
    auto stream = std::make_unique<AudioDeviceWorker>(
        std::make_shared<AudioDeviceChain>(std::move(links), none), synth_, clock_,
        AudioDeviceWorker::Answers{
            .opened =
                [this](const std::optional<std::string>& error) {
                  output_->Opened(error);
                  WatchWhileWatching();
                },
            .closed =
                [this] {
                  output_->Closed();
                  WatchWhileWatching();
                },
        });
    stream_ = stream.get();
    stream_->SetTimingWanted(timingWanted_);
    output_ = std::make_unique<AudioOutput>(std::move(stream), clock_, *this);
  }
  playhead_.Follow(synth_.get(), output_ ? &output_->device() : nullptr);
  programsPending_ = true;
  ApplyPrograms();
  emit ready();
}

void SynthHost::SetTimingWanted(bool wanted) {
  timingWanted_ = wanted;
  if (stream_ != nullptr) stream_->SetTimingWanted(wanted);
}

void SynthHost::WhileSilent(std::function<void(Synth&)> job) {
  if (stream_ == nullptr) return job(*synth_);
  stream_->WhileClosed([synth = synth_, job = std::move(job)] { job(*synth); });
}

void SynthHost::ApplyPrograms() {
  if (!synth_ || !programsPending_) return;
  programsPending_ = false;
  WhileSilent([programs = programs_](Synth& synth) {
    for (int channel = 0; channel < midi::kChannels; ++channel) {
      synth.ProgramChange(channel, programs[static_cast<std::size_t>(channel)]);
    }
  });
}

void SynthHost::SetProgram(int channel, int program) {
  if (channel < 0 || channel >= midi::kChannels || !midi::IsData(program)) return;
  if (programs_[static_cast<std::size_t>(channel)] == program && !programsPending_) return;
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

void SynthHost::AfterRequest(bool openWanted) {
  if (!openWanted) return;
  // From here the synth's next frame is the playhead's present; the clock
  // stands still while the stream starts rather than skip what it is sent.
  playhead_.Rebase(playhead_.Microseconds());
  // The stream starts on the event loop's next turn, so that what the
  // thread asking schedules on this turn is queued before the first period
  // renders.
  QMetaObject::invokeMethod(this, &SynthHost::OpenOutput, Qt::QueuedConnection);
}

void SynthHost::OpenOutput() {
  if (!output_) return;
  output_->Open();
  WatchWhileWatching();
}

void SynthHost::WatchWhileWatching() {
  if (output_ && output_->Watching()) {
    if (!watch_.isActive()) watch_.start();
  }
}

void SynthHost::Watch() {
  if (output_) {
    // A stale stream asks for a fresh one.
    const bool wasWanted = output_->OpenWanted();
    output_->Watch();
    if (!wasWanted) AfterRequest(output_->OpenWanted());
  }
  if (!output_ || !output_->Watching()) watch_.stop();
}

double SynthHost::BeginThread() {
  // A start always looks for a server, however lately tried.
  if (output_) AfterRequest(output_->Request());
  return playhead_.ThreadStart();
}

void SynthHost::DropScheduled(std::uint32_t source) {
  if (synth_) synth_->DropScheduled(source);
}

std::optional<std::uint64_t> SynthHost::Schedule(double micros, int channel, int note,
                                                 int velocity, std::uint32_t source) {
  if (!Use(velocity > 0)) return std::nullopt;
  const std::optional<std::uint64_t> frame = playhead_.FrameFor(micros);
  if (frame) synth_->NoteAt(*frame, channel, note, velocity, source);
  return frame;
}

void SynthHost::SendNow(int channel, int note, int velocity) {
  if (Use(velocity > 0)) synth_->NoteNow(channel, note, velocity);
}

void SynthHost::ClockChange(const std::function<void()>& change) {
  const double now = playhead_.Microseconds();
  change();
  playhead_.Rebase(now);
}

void SynthHost::Silence() {
  WhileSilent([](Synth& synth) { synth.Silence(); });
}

void SynthHost::Lost(const std::string& line, const std::string& notice) {
  std::cerr << "quillotone: " << line << '\n';
  emit outputLost(QString::fromStdString(notice));
}

void SynthHost::Back(const std::string& line, const std::string& notice) {
  std::cerr << "quillotone: " << line << '\n';
  emit outputBack(QString::fromStdString(notice));
}

}  // namespace quillotone
