// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/jack/JackAudio.h"

#include "framework/audio/Synth.h"
#include "framework/audio/SynthError.h"
#include "framework/jack/JackClient.h"

namespace quillotone {

JackAudio::JackAudio(Synth& synth, std::shared_ptr<JackClient> client)
    : synth_(synth), client_(std::move(client)) {
  client_->Attach(&synth_);
}

JackAudio::~JackAudio() { client_->Attach(nullptr); }

void JackAudio::Open() {
  said_.clear();
  if (!client_->Open()) {
    said_ = client_->lost() ? "the JACK server went away" : "no JACK server runs";
    throw SynthError(said_);
  }
  // Nothing renders the synth now: it takes the server's rate.
  synth_.SetSampleRate(client_->sampleRate());
  client_->Start();
}

void JackAudio::Close() {
  if (client_->lost()) said_ = "the JACK server went away";
  client_->Stop();
  client_->Forget();
}

bool JackAudio::Stale() const {
  return client_->rendering() && synth_.sampleRate() != client_->sampleRate();
}

bool JackAudio::IsOpen() const { return client_->rendering(); }

double JackAudio::LastRenderedMicros() const { return client_->LastRenderedMicros(); }

double JackAudio::HeardAtMicros(std::uint64_t frame) const { return client_->HeardAtMicros(frame); }

}  // namespace quillotone
