// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/midi/JackMidiPort.h"

#include <jack/midiport.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iostream>
#include <string_view>

#include "framework/audio/FluidLog.h"
#include "framework/midi/Midi.h"

namespace quillotone {
namespace {

// How long a port going away waits at most for what it was sent to go out:
// the last messages are stamped a synth's lead ahead.
constexpr auto kDrainLimit = std::chrono::milliseconds(1500);
// After the server comes back, how many watches try the old connections
// again (the programs at the other end may come back later).
constexpr int kReconnectWatches = 40;

void Quiet(const char* /*message*/) {}

}  // namespace

void JackMidiPort::ClientCloser::operator()(jack_client_t* client) const {
  jack_client_close(client);
}

std::unique_ptr<JackMidiPort> JackMidiPort::Open(const std::string& name, const Clock* clock) {
  // What JACK has to say (no server, a server gone) is said in our words.
  jack_set_error_function(Quiet);
  jack_set_info_function(Quiet);
  std::unique_ptr<JackMidiPort> port(new JackMidiPort(name, clock));
  if (!port->Register()) return nullptr;
  return port;
}

JackMidiPort::~JackMidiPort() {
  if (WantsLibraryDetails()) {
    std::cerr << "quillotone: JACK had " << xruns_.load()
              << " xruns while the MIDI port was open\n";
  }
  if (!client_) return;
  // After the server went, jack_client_close alone stops the client's
  // threads: there is no server left to deactivate it with.
  if (!lost_.load()) {
    Drain();
    jack_deactivate(client_.get());
  }
  // Closed before the pointer is cleared, as in Watch.
  jack_client_close(client_.get());
  (void)client_.release();
}

bool JackMidiPort::Register() {
  jack_status_t status{};
  client_.reset(jack_client_open(name_.c_str(), JackNoStartServer, &status));
  if (!client_) return false;
  port_ =
      jack_port_register(client_.get(), name_.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
  // Nothing from before the server went is sent now: the process callback
  // has not run yet, so this thread may take the queue's other end.
  while (queue_.Pop()) {
  }
  schedule_.Clear();
  sent_ = 0;
  taken_ = 0;
  idle_ = true;
  lost_ = false;
  rate_ = jack_get_sample_rate(client_.get());
  frameClock_.Reset(rate_.load());
  relock_ = false;
  jack_set_process_callback(client_.get(), &JackMidiPort::Process, this);
  jack_set_latency_callback(client_.get(), &JackMidiPort::Latency, this);
  jack_set_sample_rate_callback(client_.get(), &JackMidiPort::SampleRateChanged, this);
  jack_set_buffer_size_callback(client_.get(), &JackMidiPort::BufferSizeChanged, this);
  jack_set_xrun_callback(client_.get(), &JackMidiPort::Xrun, this);
  jack_on_info_shutdown(client_.get(), &JackMidiPort::Shutdown, this);
  pipeWire_ =
      std::string_view(jack_get_version_string()).find("PipeWire") != std::string_view::npos;
  ready_.store(port_ != nullptr, std::memory_order_release);
  if (port_ == nullptr || jack_activate(client_.get()) != 0) {
    client_.reset();
    return false;
  }
  portName_ = jack_port_name(port_);
  return true;
}

void JackMidiPort::Send(const TimedMessage& message) {
  if (!client_ || lost_.load(std::memory_order_relaxed)) return;
  if (queue_.Push(message)) ++sent_;
}

void JackMidiPort::Drain() {
  // Each cycle the process callback runs while draining_ is set, it signals
  // cycled_; the wait is for those signals, up to kDrainLimit in all (a
  // server that stopped running cycles, or went, ends it early).
  const auto until = std::chrono::steady_clock::now() + kDrainLimit;
  draining_.store(true, std::memory_order_release);
  const auto waitFor = [&](auto done) {
    while (!done() && !lost_.load() && cycled_.try_acquire_until(until)) {
    }
  };
  waitFor([this] { return taken_.load(std::memory_order_acquire) == sent_ && idle_.load(); });
  // Written into a cycle, a message reaches a receiver that runs after this
  // client in that cycle, or else in the next.
  const std::uint64_t cycles = cycles_.load();
  waitFor([&] { return cycles_.load() >= cycles + 2; });
  draining_.store(false, std::memory_order_relaxed);
}

void JackMidiPort::TellOverflow() {
  if (overflowTold_ || !overflowed_.load(std::memory_order_relaxed)) return;
  overflowTold_ = true;
  if (WantsLibraryDetails()) {
    std::cerr << "quillotone: JACK's MIDI buffer was full: messages went out a cycle late\n";
  }
}

MidiPort::Change JackMidiPort::Watch() {
  TellOverflow();
  if (client_ && lost_.load()) {
    // The library's client is closed as it stands: nothing is unregistered
    // from a server that is not there. Closed before the pointer is cleared
    // (reset clears it first): until jack_client_close has stopped JACK's
    // process thread, a cycle under way there reads it.
    jack_client_close(client_.get());
    (void)client_.release();
    port_ = nullptr;
    ready_.store(false, std::memory_order_relaxed);
    return Change::kLost;
  }
  if (!client_) {
    if (!Register()) return Change::kNone;
    reconnectTries_ = kReconnectWatches;
    Reconnect();
    return Change::kBack;
  }
  if (reconnectTries_ > 0) {
    --reconnectTries_;
    Reconnect();
  } else {
    connections_.clear();
    const char** ports = jack_port_get_connections(port_);
    for (const char** other = ports; other != nullptr && *other != nullptr; ++other) {
      connections_.emplace_back(*other);
    }
    jack_free(ports);
  }
  return Change::kNone;
}

void JackMidiPort::Reconnect() {
  for (const std::string& other : connections_) {
    if (jack_port_connected_to(port_, other.c_str()) == 0) {
      jack_connect(client_.get(), portName_.c_str(), other.c_str());
    }
  }
}

void JackMidiPort::Shutdown(jack_status_t /*code*/, const char* /*reason*/, void* self) {
  auto* port = static_cast<JackMidiPort*>(self);
  port->lost_.store(true);
  if (port->draining_.load(std::memory_order_acquire)) port->cycled_.release();
}

void JackMidiPort::Latency(jack_latency_callback_mode_t mode, void* self) {
  auto* port = static_cast<JackMidiPort*>(self);
  if (mode != JackPlaybackLatency || !port->ready_.load(std::memory_order_acquire)) return;
  jack_latency_range_t range{};
  jack_port_get_latency_range(port->port_, JackPlaybackLatency, &range);
  port->latency_.store(range.max, std::memory_order_relaxed);
}

int JackMidiPort::SampleRateChanged(jack_nframes_t rate, void* self) {
  auto* port = static_cast<JackMidiPort*>(self);
  port->rate_.store(rate);
  port->relock_.store(true, std::memory_order_release);
  return 0;
}

int JackMidiPort::BufferSizeChanged(jack_nframes_t /*frames*/, void* self) {
  static_cast<JackMidiPort*>(self)->relock_.store(true, std::memory_order_release);
  return 0;
}

int JackMidiPort::Xrun(void* self) {
  static_cast<JackMidiPort*>(self)->xruns_.fetch_add(1, std::memory_order_relaxed);
  return 0;
}

int JackMidiPort::Process(jack_nframes_t frames, void* self) {
  auto* port = static_cast<JackMidiPort*>(self);
  if (!port->ready_.load(std::memory_order_acquire)) return 0;
  const double woke = port->clock_.MonotonicMicros();
  void* buffer = jack_port_get_buffer(port->port_, frames);
  jack_midi_clear_buffer(buffer);
  const double rate = port->rate_.load(std::memory_order_relaxed);
  std::uint64_t taken = 0;
  while (auto message = port->queue_.Pop()) {
    // In PipeWire's graph, the cycles its pulse service leaves out of the
    // synth's latency are this graph's own.
    if (port->pipeWire_) message->micros += message->graphCycles * frames * 1e6 / rate;
    if (!port->schedule_.Add(*message)) port->overflowed_.store(true, std::memory_order_relaxed);
    ++taken;
  }
  port->Write(buffer, jack_last_frame_time(port->client_.get()), frames, woke);
  port->idle_.store(port->schedule_.idle());
  port->taken_.fetch_add(taken, std::memory_order_release);
  port->cycles_.fetch_add(1);
  // Neither locks nor allocates: at most a futex wake for the one waiting.
  if (port->draining_.load(std::memory_order_acquire)) port->cycled_.release();
  return 0;
}

void JackMidiPort::Write(void* buffer, jack_nframes_t start, jack_nframes_t frames, double woke) {
  // Across a change of rate or period the server's frame count may jump:
  // the clock is followed afresh from this cycle, and what waits keeps its
  // time.
  if (relock_.exchange(false, std::memory_order_acquire)) {
    const double rate = rate_.load(std::memory_order_relaxed);
    if (rate != frameClock_.nominalRate()) {
      frameClock_.Reset(rate);
    } else {
      frameClock_.Relock();
    }
  }
  // The cycle's first frame is now, as the callback woke for it. Not JACK's
  // own estimate (jack_frames_to_time): on jackd's dummy driver it strays by
  // tens of milliseconds from the cycles' real times on a busy machine, and
  // jack2 keeps it on CLOCK_MONOTONIC_RAW, which NTP does not slew with
  // the monotonic clock the messages are stamped on.
  frameClock_.Observe(start, woke);
  // A message is written on the frame of its time, less the latency
  // downstream, so that it is heard at that time; one already late goes first
  // thing, a tick of the MIDI clock late by more than its interval not at all.
  const jack_nframes_t latency = latency_.load(std::memory_order_relaxed);
  const double now = frameClock_.MicrosAt(start + latency);
  const double end = frameClock_.MicrosAt(start + frames + latency);
  jack_nframes_t earliest = 0;
  while (const auto message = schedule_.TakeDue(end, now)) {
    const auto offset =
        static_cast<std::int32_t>(frameClock_.FrameAt(message->micros) - latency - start);
    const auto at = static_cast<jack_nframes_t>(
        std::clamp<std::int64_t>(offset, earliest, static_cast<std::int64_t>(frames) - 1));
    if (jack_midi_event_write(buffer, at, message->bytes.data(), message->size) != 0) {
      // The buffer is full: the rest go at the start of the next cycle.
      schedule_.PutBack(*message);
      overflowed_.store(true, std::memory_order_relaxed);
      return;
    }
    earliest = at;
  }
}

}  // namespace quillotone
