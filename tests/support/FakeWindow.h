// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <deque>
#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "framework/ControlLookup.h"
#include "framework/threads/Scheduler.h"

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
  int instrument_ = 0;
};

// A window with the two note players and the two buttons a melody looks up.
// Button states can be fixed, or scripted answer by answer; every question
// is logged with how many notes had been played when it was asked.
class FakeWindow final : public ControlLookup {
 public:
  struct Question {
    std::string control;
    std::size_t notesBefore;
  };

  explicit FakeWindow(const Scheduler& scheduler)
      : player1_("NotePlayer1", scheduler, notes), player2_("NotePlayer2", scheduler, notes) {}

  NotePlayer* FindNotePlayer(std::string_view name) override {
    if (name == "NotePlayer1") return &player1_;
    if (name == "NotePlayer2") return &player2_;
    return nullptr;
  }

  std::optional<bool> FindEnabled(std::string_view name) override {
    const auto found = enabled.find(std::string(name));
    if (found == enabled.end()) return std::nullopt;
    questions.push_back({found->first, notes.size()});
    std::deque<bool>& script = scripted[found->first];
    if (script.empty()) return found->second;
    const bool answer = script.front();
    script.pop_front();
    return answer;
  }

  std::vector<NoteEvent> notes;
  std::vector<Question> questions;
  // Idle-window defaults for a playing melody: play disabled, stop enabled.
  std::map<std::string, bool, std::less<>> enabled{{"play", false}, {"stop", true}};
  // Answers given before falling back to `enabled`.
  std::map<std::string, std::deque<bool>, std::less<>> scripted;

 private:
  RecordingNotePlayer player1_;
  RecordingNotePlayer player2_;
};

}  // namespace quillotone::testing
