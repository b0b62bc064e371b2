// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quillotone {

// Collects note events on channels 0 and 1 and writes them as a Standard MIDI
// File of format 1: a tempo track, then one track per channel, each starting
// with its program. The tempo makes a millisecond a whole number of ticks
// where it matters: 120 bpm at 480 ticks a quarter is 0.96 ticks per ms, so
// 125 ms is 120 ticks and 250 ms is 240.
class MidiFileWriter {
 public:
  static constexpr int kChannels = 2;
  static constexpr int kTicksPerQuarter = 480;
  static constexpr int kMicrosPerQuarter = 500'000;
  // A delta time is at most four bytes of seven bits: 77 h 40 min at this
  // tempo, so that is as long as a file can last.
  static constexpr std::uint64_t kMaxTicks = 0x0FFF'FFFF;
  static constexpr double kMaxMicros =
      static_cast<double>(kMaxTicks) * kMicrosPerQuarter / kTicksPerQuarter;

  // `programs` counted from 0, one per channel.
  MidiFileWriter(std::string title, std::array<int, kChannels> programs);

  // Events must come in time order. Velocity 0 ends the note. A note-off
  // for a note that is not sounding is left out; a note struck again while
  // it sounds is ended first, as a synthesizer would.
  void Note(double micros, int channel, int note, int velocity);
  // Ends every note still sounding at `micros` (at most kMaxMicros), then
  // the tracks.
  void End(double micros);
  // The whole file.
  [[nodiscard]] std::vector<unsigned char> Bytes() const;

 private:
  struct Track {
    std::vector<unsigned char> bytes;
    std::uint64_t lastTick = 0;
    std::array<bool, 128> sounding{};
  };

  void Event(Track& track, std::uint64_t tick, std::initializer_list<unsigned char> data);
  static std::uint64_t TickOf(double micros);

  std::string title_;
  std::array<Track, kChannels> tracks_;
  std::uint64_t endTick_ = 0;
  bool ended_ = false;
};

}  // namespace quillotone
