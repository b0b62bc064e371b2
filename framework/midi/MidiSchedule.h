// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace quillotone {

// A MIDI message and when it is to be heard, in microseconds on the system's
// monotonic clock (CLOCK_MONOTONIC, which JACK's own clock is too).
struct TimedMessage {
  double micros = 0.0;
  std::array<unsigned char, 3> bytes{};
  std::uint8_t size = 0;
  // Cycles of a sound server's graph that `micros` leaves out: a port that
  // runs in that graph adds them.
  std::uint8_t graphCycles = 0;
  // The frame of the synth where it sounds with the synth's own note: a port
  // on the client the synth renders in writes it there.
  std::optional<std::uint64_t> synthFrame = std::nullopt;
};

// The messages a port has been given and not yet sent, in the order they are
// heard, with the MIDI clock's ticks among them: a Start begins ticks every
// kTickMicros from its own time, a Stop ends them. Fixed capacity and no
// allocation, so a JACK process callback may own it.
class MidiSchedule {
 public:
  // 24 ticks per quarter note at 120 bpm, the tempo the program's MIDI files
  // are written at (a long step is an eighth note).
  static constexpr double kTickMicros = 500'000.0 / 24.0;
  static constexpr std::size_t kCapacity = 1024;

  // False when full: the message is dropped. Messages of the same time keep
  // the order they were added in.
  bool Add(const TimedMessage& message);
  // The earliest message or tick due before `limitMicros`, taken off; a
  // message goes before a tick of the same time. `nowMicros` is the earliest
  // time that can still be kept: ticks a whole interval or more behind it (a
  // stall: a debugger, a run of xruns) are skipped, and the clock goes on
  // from the grid's latest tick due by then, so that a device following it
  // never gets a burst of ticks and races ahead. Late messages all still go.
  [[nodiscard]] std::optional<TimedMessage> TakeDue(double limitMicros, double nowMicros);
  // Undoes the TakeDue that gave `message`, which could not be sent yet: it
  // comes first again. False if there is no room for it.
  bool PutBack(const TimedMessage& message);
  // When the next message or tick is due, if any is waiting.
  [[nodiscard]] std::optional<double> NextDue() const;
  // Forgets everything waiting, and stops the clock.
  void Clear();
  [[nodiscard]] bool idle() const { return size_ == 0 && !ticking_; }

 private:
  [[nodiscard]] double NextTick() const;

  std::array<TimedMessage, kCapacity> messages_{};
  std::size_t first_ = 0;  // a ring: messages_[first_ .. first_ + size_)
  std::size_t size_ = 0;
  bool ticking_ = false;
  double clockStart_ = 0.0;
  std::uint64_t ticks_ = 0;
};

}  // namespace quillotone
