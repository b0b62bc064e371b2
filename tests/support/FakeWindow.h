#pragma once

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/ControlLookup.h"
#include "support/RecordingNotePlayer.h"

namespace quillotone::testing {

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
