// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <semaphore>
#include <string>
#include <vector>

#include "framework/Clock.h"
#include "framework/SystemClock.h"
#include "framework/audio/SpscQueue.h"
#include "framework/midi/FrameClock.h"
#include "framework/midi/MidiSchedule.h"

namespace quillotone {

class Synth;

// One client of a running JACK server (never one started for it), with a
// MIDI output port, a pair of audio output ports the synth renders into, or
// both: then MIDI and sound come out of the same process callback, on the
// server's one clock.
//
// MIDI messages reach the process callback through a lock-free queue and are
// written into the cycle that holds their time, at its frame. A message for
// a frame of the synth that renders here is written on the very frame where
// the synth applies it; any other is placed by JACK's frame clock, followed
// against the monotonic one (FrameClock), less the latency JACK reports
// downstream of the port. The synth renders in the callback at the server's
// rate and period, without a lock, an allocation or a word on the terminal.
//
// The server's rate and period are followed while it runs; its xruns are
// counted, and told at the end with QUILLOTONE_DEBUG=1, as a full MIDI
// buffer is told once. When the server goes, the client is closed as it
// stands; an Open afterwards registers it anew, connected as before.
//
// Any thread but JACK's may call what is not marked otherwise; Send, from
// one thread only.
class JackClient {
 public:
  struct Options {
    // The client's name, and its MIDI port's.
    std::string name;
    bool midi = false;
    bool audio = false;
    // The audio ports go to the system's playback ports when they register.
    bool connectPlayback = true;
  };

  // `clock`: the monotonic clock messages are stamped on (the system's if null).
  // Whoever lets go of it last waits for it to close at most kCloseLimit: a
  // server that hangs holds up only a thread left to it.
  [[nodiscard]] static std::shared_ptr<JackClient> Make(Options options,
                                                        const Clock* clock = nullptr);
  static constexpr auto kCloseLimit = std::chrono::milliseconds(2000);

  explicit JackClient(Options options, const Clock* clock = nullptr);
  // What was sent goes out first (within kDrainLimit), then the client closes.
  ~JackClient();
  JackClient(const JackClient&) = delete;
  JackClient& operator=(const JackClient&) = delete;

  // Registers the client, if it is not: false if no server runs. After the
  // server went, closes what is left of the client first.
  bool Open();
  // Registered, and the server has not gone.
  [[nodiscard]] bool opened() const { return ready_.load() && !lost_.load(); }
  // The server went away; the client is closed at the next Open or Forget.
  [[nodiscard]] bool lost() const { return lost_.load(); }
  // Closes a lost client, if it is still held.
  void Forget();
  // Counts the registrations: a MIDI port that sees it change was registered
  // again, maybe by another user of the client.
  [[nodiscard]] std::uint64_t generation() const { return generation_.load(); }
  [[nodiscard]] std::string midiPortName() const;
  // Looks at the MIDI port's connections (kept, to be made again when the
  // port comes back), or makes the old ones again for a while after it did.
  void KeepConnections();

  // The synth the audio ports play. It is only rendered between Start and
  // Stop; Stop returns once the callback no longer touches it.
  void Attach(Synth* synth);
  void Start();
  void Stop();
  [[nodiscard]] bool rendering() const;
  [[nodiscard]] double sampleRate() const { return rate_.load(); }
  // When a period was last rendered, monotonic.
  [[nodiscard]] double LastRenderedMicros() const { return renderedAt_.load(); }
  // When the synth's `frame` is heard, monotonic, by JACK's clock.
  [[nodiscard]] double HeardAtMicros(std::uint64_t frame) const;

  // From one thread: queued to go out at message.micros, or at message.frame
  // of the synth attached. Dropped while the server is gone.
  void Send(const TimedMessage& message);

 private:
  struct ClientCloser {
    void operator()(jack_client_t* client) const;
  };
  enum class Render : std::uint8_t { kOff, kOn, kBusy };

  bool Register();
  void Close();
  void CloseClient();
  void KeepConnectionsLocked();
  void Reconnect();
  void Drain();
  void TellOverflow();

  // The process callback's: takes what was sent, renders, writes the MIDI due.
  void Cycle(jack_nframes_t frames);
  void TakeMessages(jack_nframes_t frames, std::uint64_t synthStart);
  void WriteOnSynthFrames(void* buffer, jack_nframes_t frames, std::uint64_t synthStart);
  void WriteOnClock(void* buffer, jack_nframes_t start, jack_nframes_t frames);
  // Writes what is due between `now` and `end`, at the offsets `offsetOf`
  // gives, kept in order and within the cycle.
  template <typename OffsetOf>
  void WriteDue(void* buffer, jack_nframes_t frames, double now, double end, OffsetOf offsetOf);
  // The synth's frames, as times on a clock of its own: the schedule's
  // unit while a synth is attached.
  [[nodiscard]] double SynthMicros(double frame) const;
  static int Process(jack_nframes_t frames, void* self);
  static void Shutdown(jack_status_t code, const char* reason, void* self);
  static void Latency(jack_latency_callback_mode_t mode, void* self);
  static int SampleRateChanged(jack_nframes_t rate, void* self);
  static int BufferSizeChanged(jack_nframes_t frames, void* self);
  static int Xrun(void* self);

  Options options_;
  SystemClock systemClock_;
  const Clock& clock_;
  // Open, Forget, Stop, KeepConnections and the destructor take turns.
  mutable std::mutex mutex_;
  std::string midiPortName_;
  // From the sending thread to the process callback, which alone owns
  // schedule_ and frameClock_.
  SpscQueue<TimedMessage, 1024> queue_;
  MidiSchedule schedule_;
  // On the synth's clock, the latest time a message was scheduled for.
  double latestMicros_ = 0.0;
  FrameClock frameClock_{48000.0};
  // The server's rate, and whether its clock is to be followed afresh (after
  // a change of rate or period), from JACK's notification thread.
  std::atomic<double> rate_{48000.0};
  std::atomic<bool> relock_{false};
  // The server is PipeWire's JACK, the same graph as its pulse service.
  bool pipeWire_ = false;
  std::atomic<std::uint64_t> sent_{0};
  std::atomic<std::uint64_t> taken_{0};
  std::atomic<bool> idle_{true};
  std::atomic<std::uint64_t> cycles_{0};
  std::atomic<jack_nframes_t> latency_{0};
  std::atomic<bool> lost_{false};
  std::atomic<std::uint64_t> generation_{0};
  // Drain's handshake with the process callback: set while it waits, and a
  // signal from each cycle meanwhile.
  std::atomic<bool> draining_{false};
  std::counting_semaphore<1 << 20> cycled_{0};
  // Flagged by the process callback, told by a thread that may print.
  std::atomic<bool> overflowed_{false};
  bool overflowTold_ = false;
  std::atomic<std::uint64_t> xruns_{0};
  // What the ports were connected to, made again when they come back.
  std::vector<std::string> connections_;
  std::chrono::steady_clock::time_point reconnectUntil_;
  // The synth, and whether the callback renders it (Render).
  std::atomic<Synth*> synth_{nullptr};
  std::atomic<Render> render_{Render::kOff};
  // The synth's frame the last cycle began at (the callback's), and when
  // its frame 0 is heard (monotonic) and a period last rendered.
  std::uint64_t synthFrame_ = 0;
  std::atomic<double> frameZeroHeardAt_{0.0};
  std::atomic<double> renderedAt_{0.0};
  // Set once Register has made everything above ready, before the client is
  // activated; JACK's threads read it first, so they see all of it.
  std::atomic<bool> ready_{false};
  // Also read by JACK's notification thread, whose latency callback may come
  // while another client of ours registers.
  std::atomic<jack_port_t*> midiPort_{nullptr};
  std::atomic<jack_port_t*> left_{nullptr};
  std::atomic<jack_port_t*> right_{nullptr};
  // Last, so that it is closed first: JACK's threads, which use every member
  // above, are stopped before any of them goes.
  std::unique_ptr<jack_client_t, ClientCloser> client_;
};

}  // namespace quillotone
