// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/audio/EventQueue.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace quillotone {
namespace {

// A melody schedules a few events per step, some tens of milliseconds ahead.
constexpr std::size_t kPendingCapacity = 4096;

}  // namespace

EventQueue::EventQueue(std::uint64_t startFrame, std::uint64_t blockFrames)
    : startFrame_(startFrame), blockFrames_(blockFrames), renderedTo_(startFrame) {
  pending_.reserve(kPendingCapacity);
}

std::uint64_t EventQueue::AppliesAt(std::uint64_t frame) const {
  // The block boundary nearest the event's frame.
  if (frame <= startFrame_) return startFrame_;
  const std::uint64_t offset = frame - startFrame_ + blockFrames_ / 2;
  return startFrame_ + offset / blockFrames_ * blockFrames_;
}

void EventQueue::TakeSent(Target& target) {
  // In the order sent: a drop removes only what its source sent before it.
  while (const std::optional<FrameEvent> event = inbox_.Pop()) {
    if (event->kind == FrameEvent::Kind::kDrop) {
      std::erase_if(pending_, [&](const FrameEvent& e) { return e.source == event->source; });
    } else {
      Insert(*event, target);
    }
  }
}

void EventQueue::Insert(const FrameEvent& event, Target& target) {
  // Full, a note-on is lost, but a note-off takes the place of the note-on
  // due last, or, with none waiting, applies at once: a note cut short, never
  // one left sounding.
  if (pending_.size() == pending_.capacity()) {
    if (event.kind == FrameEvent::Kind::kNoteOn) return;
    const auto on = std::find_if(pending_.rbegin(), pending_.rend(), [](const FrameEvent& e) {
      return e.kind == FrameEvent::Kind::kNoteOn;
    });
    if (on == pending_.rend()) {
      target.Apply(event);
      return;
    }
    pending_.erase(std::next(on).base());
  }
  // By frame, then note-offs before note-ons, each in the order sent. Frames
  // that share a block keep this order when the block applies them.
  const auto order = [](const FrameEvent& e) { return std::pair(e.frame, e.kind); };
  const auto at = std::upper_bound(
      pending_.begin(), pending_.end(), event,
      [&](const FrameEvent& a, const FrameEvent& b) { return order(a) < order(b); });
  pending_.insert(at, event);
}

void EventQueue::Process(int frames, Target& target) {
  TakeSent(target);
  int done = 0;
  while (done < frames) {
    const std::uint64_t now = renderedTo_ + static_cast<std::uint64_t>(done);
    std::size_t applied = 0;
    for (; applied < pending_.size() && AppliesAt(pending_[applied].frame) <= now; ++applied) {
      target.Apply(pending_[applied]);
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(applied));
    // Render up to the next event's block, or to the end of the request.
    int chunk = frames - done;
    if (!pending_.empty()) {
      chunk = static_cast<int>(std::min<std::uint64_t>(chunk, AppliesAt(pending_.front().frame) - now));
    }
    target.RenderFrames(done, chunk);
    done += chunk;
  }
  renderedTo_ += static_cast<std::uint64_t>(frames);
}

void EventQueue::Clear() {
  while (inbox_.Pop()) {
  }
  pending_.clear();
}

}  // namespace quillotone
