// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <jack/jack.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <semaphore>
#include <string>
#include <vector>

#include "framework/audio/SpscQueue.h"
#include "framework/midi/MidiPort.h"
#include "framework/midi/MidiSchedule.h"

namespace quillotone {

// A MIDI output port on a running JACK server (never one started for it).
// Messages reach the process callback through a lock-free queue and are
// written into the cycle that holds their time, at its frame, less the
// latency JACK reports downstream of the port. JACK's own messages stay off
// the terminal. When the server goes, the client is closed as it stands;
// Watch looks for the server again and registers the port anew, connected to
// what it was connected to before.
class JackMidiPort : public MidiPort {
 public:
  // Null if no JACK server runs.
  [[nodiscard]] static std::unique_ptr<JackMidiPort> Open(const std::string& name);
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

  explicit JackMidiPort(std::string name) : name_(std::move(name)) {}
  // Opens the client, registers the port and starts it; false if no server.
  bool Register();
  // Sends what is queued before the port closes, within kDrainLimit: a
  // handshake with the process callback, cycle by cycle.
  void Drain();
  void Reconnect();

  // The process callback's: the frame a time on JACK's clock falls on, and
  // back.
  jack_nframes_t FrameOf(double jackMicros);
  [[nodiscard]] double MicrosOfFrame(jack_nframes_t frame) const;

  // JACK's clock less CLOCK_MONOTONIC, now, in microseconds.
  static double JackMinusMonotonic();
  static int Process(jack_nframes_t frames, void* self);
  static void Shutdown(jack_status_t code, const char* reason, void* self);
  static void Latency(jack_latency_callback_mode_t mode, void* self);

  std::string name_;
  std::string portName_;
  std::unique_ptr<jack_client_t, ClientCloser> client_;
  // Also read by JACK's notification thread, whose latency callback may come
  // while another client of ours registers.
  std::atomic<jack_port_t*> port_{nullptr};
  // From the main thread to the process callback, which alone owns schedule_.
  SpscQueue<TimedMessage, 1024> queue_;
  MidiSchedule schedule_;
  double rate_ = 48000.0;
  // The server is PipeWire's JACK, the same graph as its pulse service.
  bool pipeWire_ = false;
  // The cycle being processed: its first frame, and when JACK's clock says
  // that frame is.
  jack_nframes_t cycleFrame_ = 0;
  double cycleMicros_ = 0.0;
  bool anchored_ = false;
  double anchorMicros_ = 0.0;
  jack_nframes_t anchorFrame_ = 0;
  double lastMicros_ = 0.0;
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
  // Set once Register has made everything above ready, before the client is
  // activated; JACK's threads read it first, so they see all of it.
  std::atomic<bool> ready_{false};
  // What the port was connected to, made again when it comes back.
  std::vector<std::string> connections_;
  int reconnectTries_ = 0;
};

}  // namespace quillotone
