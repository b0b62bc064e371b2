// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "framework/Clock.h"
#include "framework/audio/AudioDevice.h"
#include "framework/audio/AudioTiming.h"

namespace quillotone {

// The audio output: owns the stream to the sound server, its state and its
// retries. Plain C++ on an injected clock; whoever drives it calls Open on
// the event loop's next turn after a request, Watch every audio::kWatchMicros
// while Watching(), and Opened and Closed when the stream answers. The
// stream opens and closes away from the caller's thread (AudioDeviceWorker),
// so a server that answers slowly or never holds up nothing here.
//
//   closed  --a note-on, or a thread starting-->  opening
//   opening --the stream opened, and its first period rendered-->  open
//   opening, open --nothing sent for kIdleCloseMicros-->  closing
//   open --a thread starting, or the stream gone stale-->  closing, then
//          opening (a fresh stream)
//   closing --the stream closed, or no answer in kCloseAnswerMicros-->  closed
//   closing --a note-on, or a thread starting-->  opening (after the close)
//   opening --no server, no answer in kOpenAnswerMicros, or nothing
//             rendered for kFirstRenderMicros-->  lost
//   open --nothing rendered for kLostMicros (the server went away)-->  lost
//   lost --a thread starting, or a note-on kRetryMicros after the last try-->  opening
//   lost --an open that took too long answers at last, while notes come-->  opening
//
// A watch that comes late means the whole process stood still (stopped,
// debugged, suspended): the stream did not render for the same reason, so
// the time counts for neither a loss nor idleness. A loss is told once, and
// so is the return from it; never opened before a note wants it.
class AudioOutput {
 public:
  enum class State : std::uint8_t { kClosed, kOpening, kOpen, kClosing, kLost };

  // What the output tells its owner.
  class Listener {
   public:
    // Runs `change`, which closes the stream: the playhead moves from the
    // synth's clock to the monotonic one around it.
    virtual void ClockChange(const std::function<void()>& change) = 0;
    // The stream stopped: what was sounding or due must not come out at once
    // when it opens again.
    virtual void Silence() = 0;
    // The output could not be opened, or stopped: one line for stderr and a
    // notice for the window, in the user's language. Once until it is back.
    virtual void Lost(const std::string& line, const std::string& notice) = 0;
    virtual void Back(const std::string& line, const std::string& notice) = 0;

   protected:
    ~Listener() = default;
  };

  AudioOutput(std::unique_ptr<AudioDevice> device, const Clock& clock, Listener& listener);
  ~AudioOutput();
  AudioOutput(const AudioOutput&) = delete;
  AudioOutput& operator=(const AudioOutput&) = delete;

  // A note is sent: keeps the output open, or (a note-on) asks for it.
  void NoteSent(bool noteOn);
  // A thread starts: asks for the output, however lately it was tried.
  // True if the owner is to call Open on the next turn.
  bool Request();
  // The stream starts, if the output is still wanted.
  void Open();
  // The stream's answers: it opened (or why not), it closed.
  void Opened(const std::optional<std::string>& error);
  void Closed();
  void Watch();
  void Close();

  [[nodiscard]] State state() const { return state_; }
  // Events sent now will be rendered (the stream may be starting).
  [[nodiscard]] bool Renders() const { return state_ == State::kOpening || state_ == State::kOpen; }
  [[nodiscard]] bool Watching() const {
    return device_->IsOpen() || awaitingOpen_ || state_ == State::kClosing;
  }
  [[nodiscard]] const AudioDevice& device() const { return *device_; }
  // Whether the owner is to call Open (a note-on may ask too).
  [[nodiscard]] bool OpenWanted() const { return openWanted_; }

 private:
  bool Ask(bool evenIfTriedLately);
  void Lose(const std::string& line, const std::string& notice);
  // Closes the stream, if it is open or opening; false if it was neither.
  bool Stop();
  [[nodiscard]] bool Idle(double now) const { return now - usedAt_ >= audio::kIdleCloseMicros; }

  std::unique_ptr<AudioDevice> device_;
  const Clock& clock_;
  Listener& listener_;
  State state_ = State::kClosed;
  bool openWanted_ = false;
  // A loss has been told and its return not yet.
  bool lossTold_ = false;
  // An open or a close asked of the stream, not answered yet, and when.
  bool awaitingOpen_ = false;
  double openAskedAt_ = 0.0;
  double closeAskedAt_ = 0.0;
  double triedAt_ = 0.0;
  double usedAt_ = 0.0;
  double watchedAt_ = 0.0;
  // Rendering is judged from here: the open, or the end of a freeze.
  double judgedFrom_ = 0.0;
  double renderedAtOpen_ = 0.0;
};

}  // namespace quillotone
