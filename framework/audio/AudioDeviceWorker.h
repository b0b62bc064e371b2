// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "framework/Clock.h"
#include "framework/audio/AudioDevice.h"
#include "framework/threads/Worker.h"

namespace quillotone {

// A stream to the sound server, opened and closed on a worker's thread: a
// server that answers slowly, or never, holds up that thread and not the
// event loop's. Open and Close return at once; the answers come back as
// queued calls on the maker's thread. Used from that thread alone.
class AudioDeviceWorker final : public AudioDevice {
 public:
  struct Answers {
    // The stream plays (no error), or could not be opened (why, one line).
    std::function<void(const std::optional<std::string>& error)> opened;
    std::function<void()> closed;
  };

  // `keepAlive` is what the stream renders (the synth): a stream left to a
  // thread stuck in a library call keeps it, however long it outlives this.
  AudioDeviceWorker(std::shared_ptr<AudioDevice> device, std::shared_ptr<const void> keepAlive,
                    const Clock& clock, Answers answers);
  // Closes the stream, waiting at most kQuitWait for it.
  ~AudioDeviceWorker() override;
  AudioDeviceWorker(const AudioDeviceWorker&) = delete;
  AudioDeviceWorker& operator=(const AudioDeviceWorker&) = delete;

  // Answered with `opened`, unless Close comes first.
  void Open() override;
  // IsOpen is false from now on; answered with `closed`.
  void Close() override;
  // Open from its answer on, until Close.
  [[nodiscard]] bool IsOpen() const override { return open_; }
  [[nodiscard]] double LastRenderedMicros() const override;
  [[nodiscard]] double HeardAtMicros(std::uint64_t frame) const override;
  [[nodiscard]] int UnreportedGraphCycles() const override;
  [[nodiscard]] bool Stale() const override;
  // What the stream said when it last failed or closed.
  [[nodiscard]] std::string Said() const override { return said_; }

  // Whether an open waits, briefly, until the stream knows when its frames
  // are heard before it answers (a MIDI port relies on it).
  void SetTimingWanted(bool wanted) { timingWanted_ = wanted; }
  // Runs `job` on the worker while the stream is closed: now if it is, else
  // once it next closes. For what must not happen while the synth renders.
  void WhileClosed(std::function<void()> job);

 private:
  // The worker's own: the stream and what waits for it to close.
  struct Owned;

  std::shared_ptr<Owned> owned_;
  const Clock& clock_;
  Answers answers_;
  bool open_ = false;
  bool timingWanted_ = false;
  // Counts Open and Close: an answer to a request that a later one
  // overtook is dropped.
  std::uint64_t asked_ = 0;
  double lastRenderedAtClose_ = 0.0;
  std::string said_;
  Worker worker_;
};

}  // namespace quillotone
