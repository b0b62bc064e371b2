// SPDX-License-Identifier: GPL-3.0-or-later
// What the stream makes of the sound server's name: whether its reports of
// when a frame is heard leave graph cycles out.
#include <gtest/gtest.h>

#include "framework/audio/PulseStream.h"

namespace quillotone {
namespace {

TEST(PulseStreamTest, PipeWiresPulseServiceLeavesTwoGraphCyclesOutOnEveryRelease) {
  const struct {
    const char* serverName;
    int cycles;
  } rows[] = {
      {"pulseaudio", 0},                       // PulseAudio itself (Debian 12's 16.1)
      {"PulseAudio (on PipeWire 0.3.65)", 2},  // Debian 12
      {"PulseAudio (on PipeWire 1.4.2)", 2},   // Debian 13
      {"PulseAudio (on PipeWire 10.0.0)", 2},  // no guess that a later one mends it
      {"PipeWire", 0},                         // not its pulse service's name
  };
  for (const auto& row : rows) {
    EXPECT_EQ(PulseStream::UnreportedGraphCyclesOf(row.serverName), row.cycles) << row.serverName;
  }
}

}  // namespace
}  // namespace quillotone
