// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/midi/JackMidiPort.h"

#include <jack/midiport.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string_view>

#include "framework/midi/MonotonicMicros.h"

namespace quillotone {
namespace {

// How long a port going away waits at most for what it was sent to go out:
// the last messages are stamped a synth's lead ahead.
constexpr auto kDrainLimit = std::chrono::milliseconds(1500);
// After the server comes back, how many watches try the old connections
// again (the programs at the other end may come back later).
constexpr int kReconnectWatches = 40;
// The frame anchor is taken anew after a pause this long, or when it parts
// from JACK's clock by more than kMaxDriftSeconds.
constexpr double kPauseMicros = 1'000'000.0;
constexpr double kMaxDriftSeconds = 0.1;

void Quiet(const char* /*message*/) {}

}  // namespace

void JackMidiPort::ClientCloser::operator()(jack_client_t* client) const {
  jack_client_close(client);
}

std::unique_ptr<JackMidiPort> JackMidiPort::Open(const std::string& name) {
  // What JACK has to say (no server, a server gone) is said in our words.
  jack_set_error_function(Quiet);
  jack_set_info_function(Quiet);
  std::unique_ptr<JackMidiPort> port(new JackMidiPort(name));
  if (!port->Register()) return nullptr;
  return port;
}

JackMidiPort::~JackMidiPort() {
  if (!client_) return;
  if (!lost_.load()) {
    Drain();
    jack_deactivate(client_.get());
  }
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
  jack_set_process_callback(client_.get(), &JackMidiPort::Process, this);
  jack_set_latency_callback(client_.get(), &JackMidiPort::Latency, this);
  jack_on_info_shutdown(client_.get(), &JackMidiPort::Shutdown, this);
  rate_ = jack_get_sample_rate(client_.get());
  pipeWire_ = std::string_view(jack_get_version_string()).find("PipeWire") != std::string_view::npos;
  anchored_ = false;
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

MidiPort::Change JackMidiPort::Watch() {
  if (client_ && lost_.load()) {
    // The library's client is closed as it stands: nothing is unregistered
    // from a server that is not there.
    client_.reset();
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

double JackMidiPort::MicrosOfFrame(jack_nframes_t frame) const {
  const double sinceCycle = static_cast<std::int32_t>(frame - cycleFrame_) * 1e6 / rate_;
  if (!anchored_) return cycleMicros_ + sinceCycle;
  return anchorMicros_ + static_cast<std::int32_t>(frame - anchorFrame_) * 1e6 / rate_;
}

jack_nframes_t JackMidiPort::FrameOf(double jackMicros) {
  // Counted from the cycle rather than with jack_time_to_frames, which
  // PipeWire's JACK gets wrong for a time already past.
  const auto onClock = static_cast<jack_nframes_t>(
      cycleFrame_ +
      static_cast<std::int64_t>(std::llround((jackMicros - cycleMicros_) * rate_ / 1e6)));
  // Counted from an anchor at the nominal rate, as the synth counts its
  // frames, the melody's intervals arrive exact to the frame, whatever the
  // jitter of JACK's estimate of its clock. The anchor is taken anew after a
  // pause, or should the count part from JACK's clock by kMaxDriftSeconds
  // (a sound card's clock drifts from the system's by parts per million).
  const auto predicted = static_cast<jack_nframes_t>(
      anchorFrame_ +
      static_cast<std::int64_t>(std::llround((jackMicros - anchorMicros_) * rate_ / 1e6)));
  const auto drift = static_cast<std::int32_t>(onClock - predicted);
  const bool paused = jackMicros - lastMicros_ > kPauseMicros;
  lastMicros_ = jackMicros;
  if (anchored_ && !paused && std::abs(drift) <= rate_ * kMaxDriftSeconds) return predicted;
  anchored_ = true;
  anchorMicros_ = jackMicros;
  anchorFrame_ = onClock;
  return onClock;
}

double JackMidiPort::JackMinusMonotonic() {
  // The two clocks are read one after the other; a thread preempted between
  // the reads (a busy machine) would see them tens of microseconds apart, a
  // frame or two. Of three readings, the one taken in the shortest time is
  // the truest.
  double best = 0.0;
  double shortest = INFINITY;
  for (int i = 0; i < 3; ++i) {
    const double before = MonotonicMicros();
    const auto jack = static_cast<double>(jack_get_time());
    const double after = MonotonicMicros();
    if (after - before < shortest) {
      shortest = after - before;
      best = jack - (before + after) / 2.0;
    }
  }
  return best;
}

int JackMidiPort::Process(jack_nframes_t frames, void* self) {
  auto* port = static_cast<JackMidiPort*>(self);
  if (!port->ready_.load(std::memory_order_acquire)) return 0;
  jack_client_t* client = port->client_.get();
  void* buffer = jack_port_get_buffer(port->port_, frames);
  jack_midi_clear_buffer(buffer);
  std::uint64_t taken = 0;
  while (auto message = port->queue_.Pop()) {
    // In PipeWire's graph, the cycles its pulse service leaves out of the
    // synth's latency are this graph's own.
    if (port->pipeWire_) message->micros += message->graphCycles * frames * 1e6 / port->rate_;
    port->schedule_.Add(*message);  // full: dropped, as a full JACK buffer would
    ++taken;
  }
  // A message is written on the frame of its time, less the latency
  // downstream, so that it is heard at that time; one already late goes first
  // thing. Messages are stamped on CLOCK_MONOTONIC; jack2 keeps its time on
  // CLOCK_MONOTONIC_RAW (PipeWire's JACK on CLOCK_MONOTONIC): the two are
  // compared afresh each cycle, as NTP may slew the one and not the other.
  const jack_nframes_t start = jack_last_frame_time(client);
  port->cycleFrame_ = start;
  port->cycleMicros_ = static_cast<double>(jack_frames_to_time(client, start));
  // An anchor that parted from JACK's clock (the server's clock reset after
  // it missed cycles) is dropped here, before it decides what is due.
  if (std::abs(port->MicrosOfFrame(start) - port->cycleMicros_) > kMaxDriftSeconds * 1e6) {
    port->anchored_ = false;
  }
  const jack_nframes_t latency = port->latency_.load(std::memory_order_relaxed);
  const double jackMinusMonotonic = JackMinusMonotonic();
  const double end = port->MicrosOfFrame(start + frames + latency) - jackMinusMonotonic;
  jack_nframes_t earliest = 0;
  while (const auto message = port->schedule_.TakeDue(end)) {
    const jack_nframes_t frame = port->FrameOf(message->micros + jackMinusMonotonic);
    const auto offset = static_cast<std::int32_t>(frame - latency - start);
    const jack_nframes_t at =
        std::clamp<std::int64_t>(offset, earliest, static_cast<std::int64_t>(frames) - 1);
    jack_midi_event_write(buffer, at, message->bytes.data(), message->size);
    earliest = at;
  }
  port->idle_.store(port->schedule_.idle());
  port->taken_.fetch_add(taken, std::memory_order_release);
  port->cycles_.fetch_add(1);
  // Neither locks nor allocates: at most a futex wake for the one waiting.
  if (port->draining_.load(std::memory_order_acquire)) port->cycled_.release();
  return 0;
}

}  // namespace quillotone
