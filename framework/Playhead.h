#pragma once

#include <cstdint>

namespace quillotone {

// Where the sound is now. Threads are paced by it, and the note players stamp
// their events against it.
class Playhead {
 public:
  virtual ~Playhead() = default;

  // Microseconds since a fixed start; never decreases.
  [[nodiscard]] virtual double Microseconds() const = 0;

  // Forgets the events that `source` scheduled ahead and that have not sounded
  // yet, so nothing a killed thread prepared is heard after it ends.
  virtual void DropScheduled(std::uint32_t source) = 0;
};

}  // namespace quillotone
