// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
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
  // When the synth's `frame` is heard (or was), monotonic, as the stream
  // knows it: after what it buffers, and what the server does.
  [[nodiscard]] virtual double HeardAtMicros(std::uint64_t frame) const = 0;
  // Waits until HeardAtMicros goes by the server's word rather than an
  // estimate, or until `deadline` (monotonic), or the stream fails.
  virtual void AwaitTiming(double /*deadline*/) {}
  // Cycles of the sound server's processing graph that HeardAtMicros leaves
  // out, because the server does not report them: the graph's period is
  // known to whoever runs in that graph (a JACK port on PipeWire).
  [[nodiscard]] virtual int UnreportedGraphCycles() const { return 0; }
  // The stream plays, but the server changed under it (its rate): a fresh
  // one is to be opened. Any thread may ask.
  [[nodiscard]] virtual bool Stale() const { return false; }
  // What the libraries said on the stream's thread (why it stopped, if it
  // did); read once it is closed.
  [[nodiscard]] virtual std::string Said() const = 0;
};

}  // namespace quillotone
