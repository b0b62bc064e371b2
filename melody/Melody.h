// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <span>
#include <string_view>

#include "framework/ControlLookup.h"
#include "framework/Random.h"
#include "framework/threads/Task.h"

namespace quillotone {

// The melody's rhythm: a cycle is a long phrase, then a short one.
inline constexpr int kLongSteps = 30;
inline constexpr double kLongStepMicros = 250'000.0;
inline constexpr int kShortSteps = 4;
inline constexpr double kShortStepMicros = 125'000.0;
inline constexpr double kCycleMicros = kLongSteps * kLongStepMicros + kShortSteps * kShortStepMicros;

// Velocities are drawn from 4..10 and scaled: 40, 50, ... 100.
inline constexpr int kLowestVelocityDraw = 4;
inline constexpr int kHighestVelocityDraw = 10;
inline constexpr int kVelocityScale = 10;

// A coin of this value sweeps the held notes off.
inline constexpr int kSweepingCoin = 2;
inline constexpr int kLowestSweptNote = 1;
inline constexpr int kHighestSweptNote = 127;

// The window members a melody reaches by name.
inline constexpr std::string_view kMainPlayer = "NotePlayer1";
inline constexpr std::string_view kHeldPlayer = "NotePlayer2";
inline constexpr std::string_view kPlayButton = "play";
inline constexpr std::string_view kStopButton = "stop";

// How loud a step is decides whether, where and how loud a second voice
// sounds beneath the main note.
struct Voicing {
  int minVelocity;
  std::string_view companionPlayer;  // empty: the main note sounds alone
  int semitonesBelow;
  int softerBy;
  bool held;  // the companion gets no note-off of its own

  [[nodiscard]] bool HasCompanion() const { return !companionPlayer.empty(); }
};

// The voicing tiers, loudest first: a step takes the first it reaches.
inline constexpr Voicing kVoicings[] = {
    {90, kMainPlayer, 36, 20, false},
    {80, kHeldPlayer, 24, 15, true},
    {70, kMainPlayer, 12, 10, false},
    {0, {}, 0, 0, false},
};

[[nodiscard]] const Voicing& VoicingFor(int velocity);

// Draws an entry of `pitches`, each with the same chance. Should the draw
// ever fall outside the table, the note stays what it was.
[[nodiscard]] int DrawPitch(RandomSource& random, std::span<const int> pitches, int note);
[[nodiscard]] int DrawVelocity(RandomSource& random);

// The run handler of every melody thread: endless cycles of a long and a
// short phrase drawn from `pitches`, until the window's stop button is found
// disabled at the end of a cycle.
Task PlayMelody(ControlLookup& window, std::unique_ptr<RandomSource> random,
                std::span<const int> pitches);

}  // namespace quillotone
