// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "framework/audio/SpscQueue.h"

namespace quillotone {

// A note event for a frame of a sample clock, sent by one thread to the one
// that renders.
struct FrameEvent {
  // On one frame note-offs sort before note-ons.
  enum class Kind : std::uint8_t { kNoteOff, kNoteOn, kDrop };
  std::uint64_t frame = 0;
  std::uint32_t source = 0;
  Kind kind = Kind::kNoteOn;
  std::uint8_t channel = 0;
  std::uint8_t note = 0;
  std::uint8_t velocity = 0;
};

// The events waiting for their frame, and the sample clock they wait on.
// Whoever renders calls Process, which applies each event at the block
// boundary nearest its frame (at once if that is past), in the order of their
// frames; on one frame note-offs go before note-ons, so a note struck again
// where it ends sounds, and an on and an off of one key within a block leave
// nothing sounding. A note-off is never dropped for want of room. Process
// never allocates, locks or waits: it is made for the audio thread.
class EventQueue {
 public:
  // What renders: applies one event, renders the next frames.
  class Target {
   public:
    virtual void Apply(const FrameEvent& event) = 0;
    virtual void RenderFrames(int offset, int frames) = 0;

   protected:
    ~Target() = default;
  };

  // The clock's first frame; blocks are counted from there.
  EventQueue(std::uint64_t startFrame, std::uint64_t blockFrames);

  // The sending side. False when the queue is full (nothing has rendered for
  // thousands of events): the event is lost.
  [[nodiscard]] bool Send(const FrameEvent& event) { return inbox_.Push(event); }

  // The rendering side: takes what was sent, then renders `frames`, stopping
  // at each block where an event is due to apply it.
  void Process(int frames, Target& target);
  // The rendering side, with nothing rendering: forgets every event.
  void Clear();
  // The frame the next Process starts at.
  [[nodiscard]] std::uint64_t renderedTo() const { return renderedTo_; }
  // The block boundary an event for `frame` applies at, unless it is late.
  // Any thread may ask.
  [[nodiscard]] std::uint64_t AppliesAt(std::uint64_t frame) const;

 private:
  void TakeSent(Target& target);
  void Insert(const FrameEvent& event, Target& target);

  SpscQueue<FrameEvent, 4096> inbox_;
  // The rendering side's own, in the order they apply; never grows past its
  // capacity, reserved up front.
  std::vector<FrameEvent> pending_;
  std::uint64_t startFrame_;
  std::uint64_t blockFrames_;
  std::uint64_t renderedTo_;
};

}  // namespace quillotone
