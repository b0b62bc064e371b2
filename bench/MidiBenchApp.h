// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The MIDI benchmarks' program: `quillotone --midi-out --mode ionian --seed 3`
// (with `--no-synth` unless a SoundFont is given, `--audio jack` if asked),
// started up to its event loop, and what they compute from it.
#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "app/App.h"

namespace quillotone::bench {

inline void StartWithMidiOut(App& app, const std::string& soundFont = {},
                             AudioSystem audio = AudioSystem::kAny) {
  constexpr int kIonianRow = 5;
  App::Options options;
  options.seed = 3;
  options.sound = !soundFont.empty();
  options.soundFont = soundFont;
  options.mode = kIonianRow;
  options.midiOut = true;
  options.midiSystem = MidiSystem::kJack;
  options.audio = audio;
  app.SetOptions(options);
  std::vector<std::function<void()>> steps = app.StartupSteps();
  steps.pop_back();  // not the event loop
  for (const auto& step : steps) step();
}

inline double Quantile(std::vector<double> values, double q) {
  if (values.empty()) return NAN;
  std::ranges::sort(values);
  return values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1))];
}

}  // namespace quillotone::bench
