// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/audio/AudioDeviceWorker.h"

#include <chrono>
#include <utility>
#include <vector>

#include "framework/audio/AudioTiming.h"
#include "framework/audio/SynthError.h"

namespace quillotone {

struct AudioDeviceWorker::Owned {
  std::shared_ptr<AudioDevice> device;
  std::shared_ptr<const void> keepAlive;
  std::vector<std::function<void()>> whileClosed;

  void Closed() {
    for (auto& job : std::exchange(whileClosed, {})) job();
  }
};

AudioDeviceWorker::AudioDeviceWorker(std::shared_ptr<AudioDevice> device,
                                     std::shared_ptr<const void> keepAlive, const Clock& clock,
                                     Answers answers)
    : owned_(std::make_shared<Owned>(Owned{
          .device = std::move(device), .keepAlive = std::move(keepAlive), .whileClosed = {}})),
      clock_(clock),
      answers_(std::move(answers)) {}

AudioDeviceWorker::~AudioDeviceWorker() {
  worker_.Post([owned = owned_] {
    owned->device->Close();
    owned->Closed();
  });
  worker_.SetFinishLimit(
      std::chrono::milliseconds(static_cast<int>(audio::kQuitWaitMicros / 1000)));
}

void AudioDeviceWorker::Open() {
  const std::uint64_t asked = ++asked_;
  const bool timing = timingWanted_;
  worker_.Post([this, reply = worker_.replier(), owned = owned_, asked, timing, &clock = clock_] {
    std::optional<std::string> error;
    try {
      owned->device->Open();
      if (timing) owned->device->AwaitTiming(clock.MonotonicMicros() + audio::kTimingWaitMicros);
    } catch (const SynthError& e) {
      error = e.what();
      owned->Closed();
    }
    std::string said = error ? owned->device->Said() : std::string();
    // `this` only in the reply, which is dropped if this has gone.
    reply([this, asked, error, said = std::move(said)] {
      if (asked != asked_) return;
      said_ = said;
      open_ = !error;
      answers_.opened(error);
    });
  });
}

void AudioDeviceWorker::Close() {
  const std::uint64_t asked = ++asked_;
  if (open_) lastRenderedAtClose_ = owned_->device->LastRenderedMicros();
  open_ = false;
  worker_.Post([this, reply = worker_.replier(), owned = owned_, asked] {
    owned->device->Close();
    owned->Closed();
    reply([this, asked, said = owned->device->Said()] {
      said_ = said;
      if (asked == asked_) answers_.closed();
    });
  });
}

void AudioDeviceWorker::WhileClosed(std::function<void()> job) {
  worker_.Post([owned = owned_, job = std::move(job)]() mutable {
    owned->whileClosed.push_back(std::move(job));
    if (!owned->device->IsOpen()) owned->Closed();
  });
}

// Read while the stream is open, when the worker does not touch what they
// read (its thread only renders and stores atomics).
double AudioDeviceWorker::LastRenderedMicros() const {
  return open_ ? owned_->device->LastRenderedMicros() : lastRenderedAtClose_;
}

double AudioDeviceWorker::HeardAtMicros(std::uint64_t frame) const {
  return open_ ? owned_->device->HeardAtMicros(frame) : 0.0;
}

bool AudioDeviceWorker::Stale() const { return open_ && owned_->device->Stale(); }

int AudioDeviceWorker::UnreportedGraphCycles() const {
  return open_ ? owned_->device->UnreportedGraphCycles() : 0;
}

}  // namespace quillotone
