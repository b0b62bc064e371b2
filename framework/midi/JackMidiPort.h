// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <jack/jack.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <semaphore>
#include <string>
#include <vector>

#include "framework/Clock.h"
#include "framework/SystemClock.h"
#include "framework/audio/SpscQueue.h"
#include "framework/midi/FrameClock.h"
#include "framework/midi/MidiPort.h"
#include "framework/midi/MidiSchedule.h"

namespace quillotone {

// A MIDI output port on a running JACK server (never one started for it).
// Messages reach the process callback through a lock-free queue and are
// written into the cycle that holds their time, at its frame, less the
// latency JACK reports downstream of the port. JACK's frame clock is
// followed against the monotonic one for as long as the port is open
// (FrameClock), across changes of the server's rate and period. JACK's own
// messages stay off the terminal; with QUILLOTONE_DEBUG=1 a full MIDI buffer
// is told once, and the xruns are counted and told at the end. When the
// server goes, the client is closed as it stands; Watch looks for the server
// again and registers the port anew, connected to what it was connected to
// before.
class JackMidiPort : public MidiPort {
 public:
  // Null if no JACK server runs. `clock`: the monotonic clock messages are
  // stamped on (the system's if null).
  [[nodiscard]] static std::unique_ptr<JackMidiPort> Open(const std::string& name,
                                                          const Clock* clock = nullptr);
  ~JackMidiPort() override;
  JackMidiPort(const JackMidiPort&) = delete;
  JackMidiPort& operator=(const JackMidiPort&) = delete;

  void Send(const TimedMessage& message) override;
  [[nodiscard]] Change Watch() override;
  [[nodiscard]] const char* system() const override { return "JACK"; }
  [[nodiscard]] const std::string& portName() const override { return portName_; }

 private:
  struct ClientCloser {
    void operator()(jack_client_t* client) const;
  };

  JackMidiPort(std::string name, const Clock* clock)
      : name_(std::move(name)), clock_(clock != nullptr ? *clock : systemClock_) {}
  // Opens the client, registers the port and starts it; false if no server.
  bool Register();
  // Sends what is queued before the port closes, within kDrainLimit: a
  // handshake with the process callback, cycle by cycle.
  void Drain();
  void Reconnect();

  // Says, once, what the process callback flagged (it may not print).
  void TellOverflow();

  // The process callback's, which woke at monotonic `woke` for the cycle of
  // `frames` from `start`: what is due in it, written at its frames.
  void Write(void* buffer, jack_nframes_t start, jack_nframes_t frames, double woke);
  static int Process(jack_nframes_t frames, void* self);
  static void Shutdown(jack_status_t code, const char* reason, void* self);
  static void Latency(jack_latency_callback_mode_t mode, void* self);
  static int SampleRateChanged(jack_nframes_t rate, void* self);
  static int BufferSizeChanged(jack_nframes_t frames, void* self);
  static int Xrun(void* self);

  std::string name_;
  std::string portName_;
  SystemClock systemClock_;
  const Clock& clock_;
  // From the main thread to the process callback, which alone owns
  // schedule_ and frameClock_.
  SpscQueue<TimedMessage, 1024> queue_;
  MidiSchedule schedule_;
  FrameClock frameClock_{48000.0};
  // The server's rate, and whether its clock is to be followed afresh (after
  // a change of rate or period), from JACK's notification thread.
  std::atomic<double> rate_{48000.0};
  std::atomic<bool> relock_{false};
  // The server is PipeWire's JACK, the same graph as its pulse service.
  bool pipeWire_ = false;
  std::uint64_t sent_ = 0;
  std::atomic<std::uint64_t> taken_{0};
  std::atomic<bool> idle_{true};
  std::atomic<std::uint64_t> cycles_{0};
  std::atomic<jack_nframes_t> latency_{0};
  std::atomic<bool> lost_{false};
  // Drain's handshake with the process callback: set while it waits, and a
  // signal from each cycle meanwhile.
  std::atomic<bool> draining_{false};
  std::counting_semaphore<1 << 20> cycled_{0};
  // Flagged by the process callback, told by the thread that watches.
  std::atomic<bool> overflowed_{false};
  bool overflowTold_ = false;
  std::atomic<std::uint64_t> xruns_{0};
  // What the port was connected to, made again when it comes back.
  std::vector<std::string> connections_;
  int reconnectTries_ = 0;
  // Set once Register has made everything above ready, before the client is
  // activated; JACK's threads read it first, so they see all of it.
  std::atomic<bool> ready_{false};
  // Also read by JACK's notification thread, whose latency callback may come
  // while another client of ours registers.
  std::atomic<jack_port_t*> port_{nullptr};
  // Last, so that it is closed first: JACK's threads, which use every member
  // above, are stopped before any of them goes.
  std::unique_ptr<jack_client_t, ClientCloser> client_;
};

}  // namespace quillotone
