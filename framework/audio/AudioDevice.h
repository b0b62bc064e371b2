// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace quillotone {

// A stream to the sound server, as the audio output drives it: FluidSynth's
// driver in the program, a stand-in in tests.
class AudioDevice {
 public:
  virtual ~AudioDevice() = default;

  // Starts the stream, whose thread then renders period after period.
  // Throws SynthError with one line for the user: what is missing and what
  // to do.
  virtual void Open() = 0;
  // Stops the stream and joins its thread.
  virtual void Close() = 0;
  [[nodiscard]] virtual bool IsOpen() const = 0;
  // When a period was last rendered (or the stream opened), monotonic.
  [[nodiscard]] virtual double LastRenderedMicros() const = 0;
  // How long after it is rendered a frame is heard: the buffer the stream
  // keeps.
  [[nodiscard]] virtual double LatencyMicros() const = 0;
  // What the libraries said on the stream's thread (why it stopped, if it
  // did); read once it is closed.
  [[nodiscard]] virtual std::string Said() const = 0;
};

}  // namespace quillotone
