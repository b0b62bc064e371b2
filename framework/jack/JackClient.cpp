// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/jack/JackClient.h"

#include <jack/midiport.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <future>
#include <iostream>
#include <string_view>
#include <thread>

#include "framework/Units.h"
#include "framework/audio/FluidLog.h"
#include "framework/audio/Synth.h"
#include "framework/midi/Midi.h"

namespace quillotone {
namespace {

// How long closing waits at most for what was sent to go out: the last
// messages are stamped a synth's lead ahead.
constexpr auto kDrainLimit = std::chrono::milliseconds(1500);
static_assert(JackClient::kCloseLimit > kDrainLimit, "a close waited for drains first");
// How long Stop waits at most for a cycle under way to finish rendering.
constexpr auto kStopLimit = std::chrono::milliseconds(1000);
// For how long after the client registers the connections it had are made
// again, at every look (the programs at the other end may come back later).
constexpr auto kReconnecting = std::chrono::seconds(20);

// How far before the synth's next frame a message without one goes.
constexpr double kHairMicros = 1e-3;

void Quiet(const char* /*message*/) {}

}  // namespace

void JackClient::ClientCloser::operator()(jack_client_t* client) const {
  jack_client_close(client);
}

std::shared_ptr<JackClient> JackClient::Make(Options options, const Clock* clock) {
  return {new JackClient(std::move(options), clock), [](JackClient* client) {
            auto closed = std::make_shared<std::promise<void>>();
            std::future<void> done = closed->get_future();
            std::thread([client, closed] {
              delete client;
              closed->set_value();
            }).detach();
            done.wait_for(kCloseLimit);
          }};
}

JackClient::JackClient(Options options, const Clock* clock)
    : options_(std::move(options)), clock_(clock != nullptr ? *clock : systemClock_) {
  // What JACK has to say (no server, a server gone) is said in our words.
  jack_set_error_function(Quiet);
  jack_set_info_function(Quiet);
}

JackClient::~JackClient() {
  if (WantsLibraryDetails()) {
    std::cerr << "quillotone: JACK had " << xruns_.load() << " xruns while the client was open\n";
  }
  const std::lock_guard lock(mutex_);
  Close();
}

bool JackClient::Open() {
  const std::lock_guard lock(mutex_);
  if (client_ && lost_.load()) Close();
  if (client_) return true;
  if (!Register()) return false;
  Reconnect();
  // Registered again: the other ends may come back later than the server.
  reconnectUntil_ = std::chrono::steady_clock::now();
  if (generation_.load() > 1) reconnectUntil_ += kReconnecting;
  return true;
}

void JackClient::Forget() {
  const std::lock_guard lock(mutex_);
  if (client_ && lost_.load()) Close();
}

void JackClient::Close() {
  if (!client_) return;
  // After the server went, jack_client_close alone stops the client's
  // threads: there is no server left to deactivate it with.
  if (!lost_.load()) {
    Drain();
    jack_deactivate(client_.get());
  }
  ready_.store(false);
  CloseClient();
  midiPort_ = left_ = right_ = nullptr;
  // The callback is gone: nothing renders now.
  if (render_.load() == Render::kBusy) render_.store(Render::kOn);
}

void JackClient::CloseClient() {
  // Closed before the pointer is cleared (reset clears it first): until
  // jack_client_close has stopped JACK's process thread, a cycle under way
  // there reads it.
  jack_client_close(client_.get());
  static_cast<void>(client_.release());
}

bool JackClient::Register() {
  jack_status_t status{};
  client_.reset(jack_client_open(options_.name.c_str(), JackNoStartServer, &status));
  if (!client_) return false;
  const auto portOf = [&](const char* name, const char* type) {
    return jack_port_register(client_.get(), name, type, JackPortIsOutput, 0);
  };
  if (options_.midi) midiPort_ = portOf(options_.name.c_str(), JACK_DEFAULT_MIDI_TYPE);
  if (options_.audio) {
    left_ = portOf("left", JACK_DEFAULT_AUDIO_TYPE);
    right_ = portOf("right", JACK_DEFAULT_AUDIO_TYPE);
  }
  const bool registered = (!options_.midi || midiPort_ != nullptr) &&
                          (!options_.audio || (left_ != nullptr && right_ != nullptr));
  // Nothing from before the server went is sent now: the process callback
  // has not run yet, so this thread may take the queue's other end.
  while (queue_.Pop()) {
  }
  schedule_.Clear();
  latestMicros_ = 0.0;
  sent_ = 0;
  taken_ = 0;
  idle_ = true;
  lost_ = false;
  rate_ = jack_get_sample_rate(client_.get());
  frameClock_.Reset(rate_.load());
  relock_ = false;
  jack_set_process_callback(client_.get(), &JackClient::Process, this);
  jack_set_latency_callback(client_.get(), &JackClient::Latency, this);
  jack_set_sample_rate_callback(client_.get(), &JackClient::SampleRateChanged, this);
  jack_set_buffer_size_callback(client_.get(), &JackClient::BufferSizeChanged, this);
  jack_set_xrun_callback(client_.get(), &JackClient::Xrun, this);
  jack_on_info_shutdown(client_.get(), &JackClient::Shutdown, this);
  pipeWire_ =
      std::string_view(jack_get_version_string()).find("PipeWire") != std::string_view::npos;
  ready_.store(registered, std::memory_order_release);
  if (!registered || jack_activate(client_.get()) != 0) {
    ready_.store(false);
    CloseClient();
    midiPort_ = left_ = right_ = nullptr;
    return false;
  }
  midiPortName_ = midiPort_ != nullptr ? jack_port_name(midiPort_) : "";
  if (options_.audio && options_.connectPlayback && generation_.load() == 0) {
    // The system's playback ports, first to last: left on the first, right
    // on the second (or the first too, on a mono device).
    const char** playback = jack_get_ports(client_.get(), nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                           JackPortIsPhysical | JackPortIsInput);
    if (playback != nullptr && playback[0] != nullptr) {
      const char* second = playback[1] != nullptr ? playback[1] : playback[0];
      connections_.push_back(std::string(jack_port_name(left_)) + '\n' + playback[0]);
      connections_.push_back(std::string(jack_port_name(right_)) + '\n' + second);
    }
    jack_free(playback);
  }
  generation_.fetch_add(1);
  return true;
}

std::string JackClient::midiPortName() const {
  const std::lock_guard lock(mutex_);
  return midiPortName_;
}

void JackClient::KeepConnections() {
  const std::lock_guard lock(mutex_);
  TellOverflow();
  KeepConnectionsLocked();
}

void JackClient::KeepConnectionsLocked() {
  if (!client_ || lost_.load()) return;
  if (std::chrono::steady_clock::now() < reconnectUntil_) return Reconnect();
  connections_.clear();
  for (jack_port_t* port : {midiPort_.load(), left_.load(), right_.load()}) {
    if (port == nullptr) continue;
    const char** others = jack_port_get_connections(port);
    for (const char** other = others; other != nullptr && *other != nullptr; ++other) {
      connections_.push_back(std::string(jack_port_name(port)) + '\n' + *other);
    }
    jack_free(others);
  }
}

void JackClient::Reconnect() {
  // Each is "ours\nother".
  for (const std::string& pair : connections_) {
    const std::size_t cut = pair.find('\n');
    const std::string ours = pair.substr(0, cut);
    const std::string other = pair.substr(cut + 1);
    jack_port_t* port = jack_port_by_name(client_.get(), ours.c_str());
    if (port != nullptr && jack_port_connected_to(port, other.c_str()) == 0) {
      jack_connect(client_.get(), ours.c_str(), other.c_str());
    }
  }
}

void JackClient::Drain() {
  // Each cycle the process callback runs while draining_ is set, it signals
  // cycled_; the wait is for those signals, up to kDrainLimit in all (a
  // server that stopped running cycles, or went, ends it early).
  const auto until = std::chrono::steady_clock::now() + kDrainLimit;
  draining_.store(true, std::memory_order_release);
  const auto waitFor = [&](auto done) {
    while (!done() && !lost_.load() && cycled_.try_acquire_until(until)) {
    }
  };
  waitFor([this] { return taken_.load(std::memory_order_acquire) == sent_.load() && idle_.load(); });
  // Written into a cycle, a message reaches a receiver that runs after this
  // client in that cycle, or else in the next.
  const std::uint64_t cycles = cycles_.load();
  waitFor([&] { return cycles_.load() >= cycles + 2; });
  draining_.store(false, std::memory_order_relaxed);
}

void JackClient::TellOverflow() {
  if (overflowTold_ || !overflowed_.load(std::memory_order_relaxed)) return;
  overflowTold_ = true;
  if (WantsLibraryDetails()) {
    std::cerr << "quillotone: JACK's MIDI buffer was full: messages went out a cycle late\n";
  }
}

void JackClient::Attach(Synth* synth) {
  Stop();
  const std::lock_guard lock(mutex_);
  const std::uint64_t cycles = cycles_.load();
  synth_.store(synth);
  // A cycle under way may still read the synth it had (its clock, never its
  // sound): the next one has let it go.
  const auto until = std::chrono::steady_clock::now() + kStopLimit;
  while (client_ && !lost_.load() && cycles_.load() < cycles + 2 &&
         std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
}

void JackClient::Start() {
  Synth* synth = synth_.load();
  if (synth == nullptr) return;
  // Until the first period renders and says otherwise, the synth's next
  // frame is taken to be heard now.
  const double now = clock_.MonotonicMicros();
  frameZeroHeardAt_.store(now - synth->MicrosOf(static_cast<double>(synth->Frames())));
  renderedAt_.store(now);
  render_.store(Render::kOn, std::memory_order_release);
}

void JackClient::Stop() {
  const std::lock_guard lock(mutex_);
  // The callback moves kOn to kBusy and back while it renders; once this
  // moves kOn to kOff, it no longer touches the synth.
  const auto until = std::chrono::steady_clock::now() + kStopLimit;
  Render expected = Render::kOn;
  while (!render_.compare_exchange_weak(expected, Render::kOff, std::memory_order_acq_rel)) {
    if (expected == Render::kOff) break;
    expected = Render::kOn;
    if (lost_.load() || !client_ || std::chrono::steady_clock::now() > until) {
      render_.store(Render::kOff);
      break;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  KeepConnectionsLocked();
}

bool JackClient::rendering() const { return render_.load() != Render::kOff; }

double JackClient::HeardAtMicros(std::uint64_t frame) const {
  const Synth* synth = synth_.load();
  if (synth == nullptr) return 0.0;
  return frameZeroHeardAt_.load(std::memory_order_relaxed) +
         synth->MicrosOf(static_cast<double>(frame));
}

void JackClient::Send(const TimedMessage& message) {
  if (!ready_.load() || lost_.load(std::memory_order_relaxed) || midiPort_.load() == nullptr) return;
  if (queue_.Push(message)) sent_.fetch_add(1);
}

double JackClient::SynthMicros(double frame) const {
  return frame * kMicrosPerSecond / rate_.load(std::memory_order_relaxed);
}

void JackClient::Shutdown(jack_status_t /*code*/, const char* /*reason*/, void* self) {
  auto* client = static_cast<JackClient*>(self);
  client->lost_.store(true);
  if (client->draining_.load(std::memory_order_acquire)) client->cycled_.release();
}

void JackClient::Latency(jack_latency_callback_mode_t mode, void* self) {
  auto* client = static_cast<JackClient*>(self);
  if (mode != JackPlaybackLatency || !client->ready_.load(std::memory_order_acquire)) return;
  jack_port_t* port = client->midiPort_.load();
  if (port == nullptr) port = client->left_.load();
  jack_latency_range_t range{};
  jack_port_get_latency_range(port, JackPlaybackLatency, &range);
  client->latency_.store(range.max, std::memory_order_relaxed);
}

int JackClient::SampleRateChanged(jack_nframes_t rate, void* self) {
  auto* client = static_cast<JackClient*>(self);
  client->rate_.store(rate);
  client->relock_.store(true, std::memory_order_release);
  return 0;
}

int JackClient::BufferSizeChanged(jack_nframes_t /*frames*/, void* self) {
  static_cast<JackClient*>(self)->relock_.store(true, std::memory_order_release);
  return 0;
}

int JackClient::Xrun(void* self) {
  static_cast<JackClient*>(self)->xruns_.fetch_add(1, std::memory_order_relaxed);
  return 0;
}

int JackClient::Process(jack_nframes_t frames, void* self) {
  auto* client = static_cast<JackClient*>(self);
  if (client->ready_.load(std::memory_order_acquire)) client->Cycle(frames);
  return 0;
}

void JackClient::Cycle(jack_nframes_t frames) {
  const double woke = clock_.MonotonicMicros();
  const jack_nframes_t start = jack_last_frame_time(client_.get());
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

  Synth* synth = synth_.load(std::memory_order_acquire);
  Render on = Render::kOn;
  // A synth at another rate than the server's would play out of tune: it
  // waits, silent, for its owner to set it to the server's.
  const bool renders = synth != nullptr && synth->sampleRate() == rate_.load() &&
                       render_.compare_exchange_strong(on, Render::kBusy, std::memory_order_acquire);
  if (synth != nullptr) synthFrame_ = synth->Frames();
  const std::uint64_t synthStart = synthFrame_;
  if (jack_port_t* midi = midiPort_.load(std::memory_order_relaxed)) {
    void* buffer = jack_port_get_buffer(midi, frames);
    jack_midi_clear_buffer(buffer);
    TakeMessages(frames, synthStart);
    if (synth != nullptr) {
      WriteOnSynthFrames(buffer, renders ? frames : 0, synthStart);
    } else {
      WriteOnClock(buffer, start, frames);
    }
    idle_.store(schedule_.idle());
  }
  if (left_.load(std::memory_order_relaxed) != nullptr) {
    auto* left = static_cast<float*>(jack_port_get_buffer(left_, frames));
    auto* right = static_cast<float*>(jack_port_get_buffer(right_, frames));
    // The synth adds to what is there: the ports' buffers hold the last cycle.
    std::fill_n(left, frames, 0.0f);
    std::fill_n(right, frames, 0.0f);
    if (renders) {
      float* out[2] = {left, right};
      synth->Process(static_cast<int>(frames), 0, nullptr, 2, out);
      const jack_nframes_t latency = latency_.load(std::memory_order_relaxed);
      frameZeroHeardAt_.store(frameClock_.MicrosAt(start + latency) -
                                  synth->MicrosOf(static_cast<double>(synthStart)),
                              std::memory_order_relaxed);
      renderedAt_.store(woke, std::memory_order_relaxed);
    }
  }
  if (renders) render_.store(Render::kOn, std::memory_order_release);
  cycles_.fetch_add(1);
  // Neither locks nor allocates: at most a futex wake for the one waiting.
  if (draining_.load(std::memory_order_acquire)) cycled_.release();
}

void JackClient::TakeMessages(jack_nframes_t frames, std::uint64_t synthStart) {
  const Synth* synth = synth_.load(std::memory_order_relaxed);
  const double rate = rate_.load(std::memory_order_relaxed);
  std::uint64_t taken = 0;
  while (auto message = queue_.Pop()) {
    if (synth != nullptr) {
      // On the synth's clock: a note on the frame where the synth applies
      // it; anything else as soon as it can go, but never before what was
      // sent earlier. "Now" is a hair before the synth's next frame, so that
      // it goes while the synth does not render, and notes wait for it.
      if (message->synthFrame) {
        message->micros =
            SynthMicros(static_cast<double>(synth->FrameApplied(*message->synthFrame)));
      } else {
        message->micros = std::max(SynthMicros(static_cast<double>(synthStart)) - kHairMicros,
                                   latestMicros_);
      }
      latestMicros_ = std::max(latestMicros_, message->micros);
    } else if (pipeWire_) {
      // In PipeWire's graph, the cycles its pulse service leaves out of the
      // synth's latency are this graph's own.
      message->micros += message->graphCycles * frames * kMicrosPerSecond / rate;
    }
    if (!schedule_.Add(*message)) overflowed_.store(true, std::memory_order_relaxed);
    ++taken;
  }
  taken_.fetch_add(taken, std::memory_order_release);
}

template <typename OffsetOf>
void JackClient::WriteDue(void* buffer, jack_nframes_t frames, double now, double end,
                          OffsetOf offsetOf) {
  // In the order they are due, each on its frame of the cycle, none before
  // the one written last.
  jack_nframes_t earliest = 0;
  const jack_nframes_t last = std::max(frames, 1u) - 1;
  while (const auto message = schedule_.TakeDue(end, now)) {
    const auto at = static_cast<jack_nframes_t>(
        std::clamp<std::int64_t>(offsetOf(*message), earliest, last));
    if (jack_midi_event_write(buffer, at, message->bytes.data(), message->size) != 0) {
      // The buffer is full: the rest go at the start of the next cycle.
      schedule_.PutBack(*message);
      overflowed_.store(true, std::memory_order_relaxed);
      return;
    }
    earliest = at;
  }
}

void JackClient::WriteOnSynthFrames(void* buffer, jack_nframes_t frames, std::uint64_t synthStart) {
  // Without a render (the synth stopped, or waits for its rate), only what
  // is due before the synth's next frame goes, at the cycle's start; the
  // notes wait with the synth.
  const double now = SynthMicros(static_cast<double>(synthStart));
  const double end =
      frames == 0 ? now : SynthMicros(static_cast<double>(synthStart) + frames - 0.5);
  const double rate = rate_.load(std::memory_order_relaxed);
  WriteDue(buffer, frames, now, end, [&](const TimedMessage& message) {
    return std::llround(message.micros * rate / kMicrosPerSecond) -
           static_cast<std::int64_t>(synthStart);
  });
}

void JackClient::WriteOnClock(void* buffer, jack_nframes_t start, jack_nframes_t frames) {
  // A message is written on the frame of its time, less the latency
  // downstream, so that it is heard at that time; one already late goes first
  // thing, a tick of the MIDI clock late by more than its interval not at all.
  const jack_nframes_t latency = latency_.load(std::memory_order_relaxed);
  WriteDue(buffer, frames, frameClock_.MicrosAt(start + latency),
           frameClock_.MicrosAt(start + frames + latency), [&](const TimedMessage& message) {
             return static_cast<std::int64_t>(
                 static_cast<std::int32_t>(frameClock_.FrameAt(message.micros) - latency - start));
           });
}

}  // namespace quillotone
