// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "framework/Units.h"

// The live output's timing, in one place, because each figure leans on the
// others; the compiler checks that they still fit together.
namespace quillotone::audio {

// The rate of the live output (renders may choose theirs).
inline constexpr double kSampleRate = 44100.0;
// FluidSynth applies events between blocks of this many frames (FLUID_BUFSIZE).
inline constexpr std::uint64_t kBlockFrames = 64;

// Audio is handed to the sound server in periods of this many frames. Each
// period wakes the audio thread and the sound server's client thread once,
// which costs far more than rendering the piano (measured with PulseAudio:
// 3.6 % of a core at 512-frame periods, 1.5 to 1.8 % at 2048, of which
// rendering is 0.25 %). Timing does not suffer, since events still apply at
// their own block; what grows is how soon a note sent at once is rendered:
// within one period (46 ms), which the stop sweep relies on. FluidSynth's
// PulseAudio driver buffers one period; the count of periods matters to ALSA.
inline constexpr int kPeriodFrames = 2048;
inline constexpr int kPeriods = 2;
inline constexpr double kPeriodMicros = kPeriodFrames * kMicrosPerSecond / kSampleRate;
static_assert(kPeriodFrames % kBlockFrames == 0, "a period is whole blocks");

// A period whose render may be under way by the time an event reaches the
// audio thread is too late for that event.
inline constexpr double kRenderMarginMicros = 5'000.0;
// How far ahead of the playhead events are scheduled: one audio period (the
// audio thread renders a period at a time, so it must hold every event due
// within it), the margin, and the event loop's lateness (what is left), so
// that lateness never reaches the listener.
inline constexpr double kLeadMicros = 120'000.0;
inline constexpr double kEventLoopLatenessMicros = 50'000.0;
static_assert(kLeadMicros >= kPeriodMicros + kRenderMarginMicros + kEventLoopLatenessMicros,
              "the lead covers a period, the margin and the event loop's lateness");

// The output's watch, while it is opening or open: how often it looks.
inline constexpr double kWatchMicros = 250'000.0;
static_assert(kWatchMicros > kPeriodMicros, "a watch sees at least one period rendered");
// An output with nothing sent to it for this long is closed: an open stream
// costs CPU even when silent. Longer than any release and reverb.
inline constexpr double kIdleCloseMicros = 4'000'000.0;
// An open output that has rendered nothing for this long is lost (its sound
// server went away); one that never rendered gets longer to start. Long
// enough that a machine too busy to feed the audio is not taken for a lost
// server (and if it is, the output comes back by itself).
inline constexpr double kLostMicros = 2'000'000.0;
inline constexpr double kFirstRenderMicros = 3'000'000.0;
static_assert(kLostMicros >= 4 * kWatchMicros, "several watches before a loss");
static_assert(kFirstRenderMicros >= kLostMicros, "a first period gets at least as long");
// How long a thread starting waits at most for a stream it opened to know
// when its frames are heard: the server's first cycles, with room to spare.
inline constexpr double kTimingWaitMicros = 500'000.0;
static_assert(kTimingWaitMicros < kFirstRenderMicros, "no longer than a stream may take to start");

// How long a sound server has to answer each step of an open (connecting,
// then making the stream) before it counts as absent: one that is stopped or
// hung accepts a connection and never says a word.
inline constexpr double kServerAnswerMicros = 2'000'000.0;
// How long the output waits for the worker's answer to an open: the server's
// bound, and what the stream then takes to know its timing, with room.
inline constexpr double kOpenAnswerMicros = 3'000'000.0;
static_assert(kOpenAnswerMicros >= kServerAnswerMicros + kTimingWaitMicros,
              "an open that answers within its bounds is not taken for a stuck one");
// How long a close may take before the output stops waiting for it (a
// stream's thread stuck writing to a hung server): it is left to finish.
inline constexpr double kCloseAnswerMicros = 1'000'000.0;
// How long quitting waits for the stream to close: then it is left to its
// thread, and the program ends anyway.
inline constexpr double kQuitWaitMicros = 400'000.0;

// A watch this much later than its period means the whole process stood still
// (stopped, debugged, suspended): the audio did not render for the same reason.
inline constexpr double kFrozenMicros = kWatchMicros;
static_assert(kFrozenMicros < kLostMicros, "a freeze is seen before a loss would be");
// How often a melody that plays on with the output lost looks for it.
inline constexpr double kRetryMicros = 1'000'000.0;
static_assert(kRetryMicros < kIdleCloseMicros, "a playing melody retries before going idle");

}  // namespace quillotone::audio
