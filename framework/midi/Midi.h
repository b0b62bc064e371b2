// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace quillotone::midi {

// The MIDI 1.0 bytes the program sends, writes and checks.
inline constexpr unsigned char kNoteOff = 0x80;
inline constexpr unsigned char kNoteOn = 0x90;
inline constexpr unsigned char kControlChange = 0xB0;
inline constexpr unsigned char kProgramChange = 0xC0;
inline constexpr unsigned char kAllNotesOff = 123;  // a control change
// System real-time messages: the MIDI clock.
inline constexpr unsigned char kTimingClock = 0xF8;
inline constexpr unsigned char kStart = 0xFA;
inline constexpr unsigned char kStop = 0xFC;
inline constexpr int kChannels = 16;
inline constexpr int kDataMax = 127;

// Note numbers, velocities and programs are data bytes: 0..127.
[[nodiscard]] inline constexpr bool IsData(int value) { return value >= 0 && value <= kDataMax; }

}  // namespace quillotone::midi
