// SPDX-License-Identifier: GPL-3.0-or-later
#include "melody/Melody.h"

namespace quillotone {

const Voicing& VoicingFor(int velocity) {
  for (const Voicing& voicing : kVoicings) {
    if (velocity >= voicing.minVelocity) return voicing;
  }
  return kVoicings[std::size(kVoicings) - 1];
}

int DrawPitch(RandomSource& random, std::span<const int> pitches, int note) {
  const int n = static_cast<int>(pitches.size());
  const int drawn = random.InRange(1, n);
  return drawn >= 1 && drawn <= n ? pitches[drawn - 1] : note;
}

int DrawVelocity(RandomSource& random) {
  return random.InRange(kLowestVelocityDraw, kHighestVelocityDraw) * kVelocityScale;
}

Task PlayMelody(ControlLookup& window, std::unique_ptr<RandomSource> random,
                std::span<const int> pitches) {
  // Every member is looked up at each use: the window owns them, we don't.
  const auto play = [&window](std::string_view player, int note, int velocity) {
    NotePlayerNamed(window, player).PlayNote(note, velocity);
  };
  int longNote = 0;
  int shortNote = 0;

  for (;;) {
    for (int step = 1; step <= kLongSteps; ++step) {
      longNote = DrawPitch(*random, pitches, longNote);
      const int velocity = DrawVelocity(*random);
      const Voicing& voicing = VoicingFor(velocity);
      const int companion = longNote - voicing.semitonesBelow;

      play(kMainPlayer, longNote, velocity);
      if (voicing.HasCompanion())
        play(voicing.companionPlayer, companion, velocity - voicing.softerBy);
      co_await Wait(kLongStepMicros);
      play(kMainPlayer, longNote, 0);
      if (voicing.HasCompanion() && !voicing.held) play(voicing.companionPlayer, companion, 0);

      // Held notes pile up until a coin lets them all go.
      if (voicing.held && random->InRange(1, 2) == kSweepingCoin) {
        for (int note = kLowestSweptNote; note <= kHighestSweptNote; ++note) {
          play(kHeldPlayer, note, 0);
          co_await RuntimeBackgroundTask();
        }
      }
      if (IsEnabled(window, kPlayButton)) break;
      co_await RuntimeBackgroundTask();
    }

    // The short phrase is a plain line: no second voice.
    for (int step = 1; step <= kShortSteps; ++step) {
      shortNote = DrawPitch(*random, pitches, shortNote);
      const int velocity = DrawVelocity(*random);
      play(kMainPlayer, shortNote, velocity);
      co_await Wait(kShortStepMicros);
      play(kMainPlayer, shortNote, 0);
      if (IsEnabled(window, kPlayButton)) break;
      co_await RuntimeBackgroundTask();
    }

    co_await RuntimeBackgroundTask();
    if (!IsEnabled(window, kStopButton)) co_return;
  }
}

}  // namespace quillotone
