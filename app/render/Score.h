// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string_view>

#include "app/render/NoteSink.h"
#include "framework/ControlLookup.h"
#include "framework/NotePlayer.h"
#include "framework/threads/Scheduler.h"

namespace quillotone {

// What a melody sees of the window while it renders: the two players, each
// note stamped with its thread's time, start disabled and stop enabled, for
// as long as the render lasts.
class Score final : public ControlLookup {
 public:
  Score(const Scheduler& scheduler, NoteSink& sink);
  NotePlayer* FindNotePlayer(std::string_view name) override;
  std::optional<bool> FindEnabled(std::string_view name) override;

 private:
  class Player final : public NotePlayer {
   public:
    Player(const Scheduler& scheduler, NoteSink& sink, int channel)
        : scheduler_(scheduler), sink_(sink), channel_(channel) {}
    void PlayNote(int note, int velocity) override {
      sink_.Note(scheduler_.Now(), channel_, note, velocity);
    }
    [[nodiscard]] int Instrument() const override { return instrument_; }
    void SetInstrument(int instrument) override { instrument_ = instrument; }

   private:
    const Scheduler& scheduler_;
    NoteSink& sink_;
    int channel_;
    int instrument_ = kRenderProgram + 1;
  };

  Player player1_;
  Player player2_;
};

}  // namespace quillotone
