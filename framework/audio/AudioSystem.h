// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace quillotone {

// Where the synth is heard. kAny: the sound server (PulseAudio, or
// PipeWire's pulse service), else the sound card through ALSA.
enum class AudioSystem { kAny, kPulse, kAlsa, kJack };

}  // namespace quillotone
