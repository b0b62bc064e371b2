#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "framework/NotePlayer.h"
#include "framework/Scheduler.h"

namespace quillotone::testing {

struct NoteEvent {
  double micros;
  std::string player;
  int note;
  int velocity;
  bool operator==(const NoteEvent&) const = default;
  friend std::ostream& operator<<(std::ostream& out, const NoteEvent& e) {
    return out << e.micros << " µs " << e.player << " " << e.note << "@" << e.velocity;
  }
};

// Logs every note with the time it would sound at: the playing thread's
// logical time. All players of a test share one log, so order across players
// is kept.
class RecordingNotePlayer final : public NotePlayer {
 public:
  RecordingNotePlayer(std::string name, const Scheduler& scheduler, std::vector<NoteEvent>& log)
      : name_(std::move(name)), scheduler_(scheduler), log_(log) {}

  void PlayNote(int note, int velocity) override {
    log_.push_back({scheduler_.Now(), name_, note, velocity});
  }
  [[nodiscard]] int Instrument() const override { return instrument_; }
  void SetInstrument(int instrument) override { instrument_ = instrument; }

 private:
  std::string name_;
  const Scheduler& scheduler_;
  std::vector<NoteEvent>& log_;
  int instrument_ = 1;
};

}  // namespace quillotone::testing
