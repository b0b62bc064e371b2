// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/audio/PulseStream.h"

#include <pulse/pulseaudio.h>

#include <QCoreApplication>
#include <algorithm>
#include <cmath>
#include <ctime>
#include <limits>
#include <memory>
#include <string_view>

#include "framework/Units.h"
#include "framework/audio/Synth.h"
#include "framework/audio/SynthError.h"

namespace quillotone {
namespace {

constexpr std::size_t kFrameBytes = 2 * sizeof(float);
constexpr double kNotYet = std::numeric_limits<double>::quiet_NaN();
// PipeWire's pulse service leaves two cycles of its graph out of the latency
// it reports: a stream's frames are heard two graph periods after it says.
// Measured at 512, 1024 and 2048 frames a period, alike on 0.3.65 (Debian 12)
// and 1.4.2 (Debian 13). Its server name says it is PipeWire; PulseAudio
// itself reports all of it.
constexpr std::string_view kUnderReportingServer = "(on PipeWire ";
constexpr int kUnreportedCycles = 2;
// Further than an answer on timing is ever late (1 to 3 ms were measured).
constexpr double kTimelineMovedMicros = 15'000;

struct ProplistDeleter {
  void operator()(pa_proplist* p) const { pa_proplist_free(p); }
};

// What the sound server's mixer and a desktop's volume control show: the
// program's name, its icon as installed (named by the application id), and
// the stream's title in the user's language.
std::unique_ptr<pa_proplist, ProplistDeleter> Properties() {
  std::unique_ptr<pa_proplist, ProplistDeleter> props(pa_proplist_new());
  pa_proplist_sets(props.get(), PA_PROP_APPLICATION_NAME, "Quillotone");
  pa_proplist_sets(props.get(), PA_PROP_APPLICATION_ID, QUILLOTONE_APP_ID);
  pa_proplist_sets(props.get(), PA_PROP_APPLICATION_ICON_NAME, QUILLOTONE_APP_ID);
  pa_proplist_sets(props.get(), PA_PROP_MEDIA_ROLE, "music");
  pa_proplist_sets(props.get(), PA_PROP_MEDIA_NAME,
                   QCoreApplication::translate("PulseStream", "Melody").toUtf8().constData());
  return props;
}

void Wake(void* mainloop) {
  pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(mainloop), 0);
}

}  // namespace

PulseStream::PulseStream(Synth& synth, const Clock& clock) : synth_(synth), clock_(clock) {}

PulseStream::~PulseStream() { Close(); }

void PulseStream::Open() {
  if (mainloop_ != nullptr) return;
  said_.Clear();
  renderedAt_.store(clock_.MonotonicMicros(), std::memory_order_relaxed);
  firstHeardAt_.store(kNotYet, std::memory_order_relaxed);
  mainloop_ = pa_threaded_mainloop_new();
  if (mainloop_ == nullptr) throw SynthError("out of memory");
  const auto props = Properties();
  context_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(mainloop_), "Quillotone",
                                          props.get());
  if (context_ == nullptr) {
    Close();
    throw SynthError("out of memory");
  }
  pa_context_set_state_callback(context_, &PulseStream::ContextChanged, this);
  pa_threaded_mainloop_lock(mainloop_);
  const double deadline = clock_.MonotonicMicros() + audio::kServerAnswerMicros;
  const bool ready = Connect(deadline) && ReadServerName(deadline) && StartStream(*props, deadline);
  const int error = pa_context_errno(context_);
  const bool silent = !ready && clock_.MonotonicMicros() >= deadline;
  pa_threaded_mainloop_unlock(mainloop_);
  if (!ready) {
    Close();
    if (silent) throw ServerSilentError("the server did not answer");
    throw SynthError(error != PA_OK ? pa_strerror(error) : "the server did not answer");
  }
}

bool PulseStream::Connect(double deadline) {
  return pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0 &&
         pa_threaded_mainloop_start(mainloop_) >= 0 &&
         WaitFor([this] { return pa_context_get_state(context_) == PA_CONTEXT_READY; },
                 [this] { return !PA_CONTEXT_IS_GOOD(pa_context_get_state(context_)); }, deadline);
}

int PulseStream::UnreportedGraphCyclesOf(std::string_view serverName) {
  return serverName.find(kUnderReportingServer) != std::string_view::npos ? kUnreportedCycles : 0;
}

bool PulseStream::ReadServerName(double deadline) {
  pa_operation* asked = pa_context_get_server_info(
      context_,
      [](pa_context*, const pa_server_info* info, void* data) {
        auto* self = static_cast<PulseStream*>(data);
        if (info != nullptr && info->server_name != nullptr) {
          self->unreportedCycles_.store(UnreportedGraphCyclesOf(info->server_name),
                                        std::memory_order_relaxed);
        }
        Wake(self->mainloop_);
      },
      this);
  if (asked == nullptr) return true;  // the name only refines the timing
  const bool done = WaitFor(
      [asked] { return pa_operation_get_state(asked) == PA_OPERATION_DONE; },
      [asked] { return pa_operation_get_state(asked) == PA_OPERATION_CANCELLED; }, deadline);
  pa_operation_unref(asked);
  return done;
}

bool PulseStream::StartStream(pa_proplist& props, double deadline) {
  const pa_sample_spec spec{.format = PA_SAMPLE_FLOAT32NE,
                            .rate = static_cast<std::uint32_t>(synth_.sampleRate()),
                            .channels = 2};
  pa_channel_map map;
  pa_channel_map_init_stereo(&map);
  // The title is among the properties.
  stream_ = pa_stream_new_with_proplist(context_, nullptr, &spec, &map, &props);
  if (stream_ == nullptr) return false;
  pa_stream_set_state_callback(stream_, &PulseStream::StreamChanged, this);
  pa_stream_set_write_callback(stream_, &PulseStream::Writable, this);
  pa_stream_set_underflow_callback(stream_, &PulseStream::RanDry, this);
  firstFrame_ = synth_.Frames();
  // The server keeps kPeriods periods and asks for one at a time, as the
  // timing's figures assume.
  constexpr auto kPeriodBytes = static_cast<std::uint32_t>(audio::kPeriodFrames * kFrameBytes);
  const pa_buffer_attr attr{.maxlength = UINT32_MAX,
                            .tlength = kPeriodBytes * audio::kPeriods,
                            .prebuf = UINT32_MAX,
                            .minreq = kPeriodBytes,
                            .fragsize = UINT32_MAX};
  return pa_stream_connect_playback(stream_, nullptr, &attr, PA_STREAM_ADJUST_LATENCY, nullptr,
                                    nullptr) >= 0 &&
         WaitFor([this] { return pa_stream_get_state(stream_) == PA_STREAM_READY; },
                 [this] { return !PA_STREAM_IS_GOOD(pa_stream_get_state(stream_)); }, deadline);
}

template <typename Ready, typename Failed>
bool PulseStream::WaitFor(Ready ready, Failed failed, double deadline) {
  // The main loop's thread wakes this one at every change of state, and at
  // the deadline.
  const pa_usec_t left = static_cast<pa_usec_t>(std::max(0.0, deadline - clock_.MonotonicMicros()));
  pa_time_event* timeout = pa_context_rttime_new(
      context_, pa_rtclock_now() + left,
      [](pa_mainloop_api*, pa_time_event*, const timeval*, void* mainloop) { Wake(mainloop); },
      mainloop_);
  while (!ready() && !failed() && clock_.MonotonicMicros() < deadline) {
    pa_threaded_mainloop_wait(mainloop_);
  }
  if (timeout != nullptr) pa_threaded_mainloop_get_api(mainloop_)->time_free(timeout);
  return ready();
}

void PulseStream::AwaitTiming(double deadline) {
  if (mainloop_ == nullptr) return;
  pa_threaded_mainloop_lock(mainloop_);
  WaitFor([this] { return !std::isnan(firstHeardAt_.load(std::memory_order_relaxed)); },
          [this] { return !PA_STREAM_IS_GOOD(pa_stream_get_state(stream_)); }, deadline);
  pa_threaded_mainloop_unlock(mainloop_);
}

void PulseStream::Close() {
  if (mainloop_ == nullptr) return;
  // With its thread stopped, the main loop's objects are this thread's.
  pa_threaded_mainloop_stop(mainloop_);
  if (stream_ != nullptr) {
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
  }
  // What the stream's thread kept, made afresh for the next open's thread.
  asking_ = false;
  judgedCount_ = 0;
  unreportedCycles_.store(0, std::memory_order_relaxed);
  if (context_ != nullptr) {
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
  }
  pa_threaded_mainloop_free(mainloop_);
  mainloop_ = nullptr;
}

void PulseStream::ContextChanged(pa_context* context, void* data) {
  auto* self = static_cast<PulseStream*>(data);
  if (pa_context_get_state(context) == PA_CONTEXT_FAILED) {
    self->Fail(pa_strerror(pa_context_errno(context)));
  }
  Wake(self->mainloop_);
}

void PulseStream::StreamChanged(pa_stream* stream, void* data) {
  auto* self = static_cast<PulseStream*>(data);
  if (pa_stream_get_state(stream) == PA_STREAM_FAILED) {
    self->Fail(pa_strerror(pa_context_errno(self->context_)));
  }
  Wake(self->mainloop_);
}

void PulseStream::Fail(const char* what) {
  if (said_.text().empty()) said_.Add(what);
}

void PulseStream::Writable(pa_stream* stream, std::size_t bytes, void* data) {
  auto* self = static_cast<PulseStream*>(data);
  self->Render(stream, bytes);
}

void PulseStream::Render(pa_stream* stream, std::size_t bytes) {
  CapturedLog::InstallOnThisThread(said_);  // this thread ends before the log does
  while (bytes >= kFrameBytes) {
    void* buffer = nullptr;
    std::size_t size = std::min(bytes, left_.size() * kFrameBytes);
    if (pa_stream_begin_write(stream, &buffer, &size) < 0 || buffer == nullptr) {
      Fail("the server gave no buffer to write into");
      return;
    }
    const std::size_t frames = std::min(size, bytes) / kFrameBytes;
    std::fill_n(left_.begin(), frames, 0.0F);
    std::fill_n(right_.begin(), frames, 0.0F);
    float* out[2] = {left_.data(), right_.data()};
    synth_.Process(static_cast<int>(frames), 0, nullptr, 2, out);
    auto* interleaved = static_cast<float*>(buffer);
    for (std::size_t i = 0; i < frames; ++i) {
      interleaved[2 * i] = left_[i];
      interleaved[2 * i + 1] = right_[i];
    }
    if (pa_stream_write(stream, buffer, frames * kFrameBytes, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
      Fail(pa_strerror(pa_context_errno(context_)));
      return;
    }
    bytes -= frames * kFrameBytes;
  }
  renderedAt_.store(clock_.MonotonicMicros(), std::memory_order_relaxed);
  // Asked right after writing, the server answers at the same point of its
  // cycle every time, which keeps its answers steady.
  AskWhereHeard(stream);
}

void PulseStream::AskWhereHeard(pa_stream* stream) {
  if (asking_) return;
  pa_operation* asked = pa_stream_update_timing_info(stream, &PulseStream::Answered, this);
  if (asked == nullptr) return;
  asking_ = true;
  pa_operation_unref(asked);
}

void PulseStream::Answered(pa_stream* stream, int success, void* data) {
  auto* self = static_cast<PulseStream*>(data);
  self->asking_ = false;
  const pa_timing_info* timing = success != 0 ? pa_stream_get_timing_info(stream) : nullptr;
  if (timing == nullptr || timing->playing == 0 || timing->read_index_corrupt != 0) return;
  // The server read up to read_index when the answer was current, and what
  // it read is heard sink_usec later. Its time is the system's wall clock.
  timespec wall{};
  clock_gettime(CLOCK_REALTIME, &wall);
  const double current = static_cast<double>(timing->timestamp.tv_sec) * kMicrosPerSecond +
                         static_cast<double>(timing->timestamp.tv_usec) -
                         (static_cast<double>(wall.tv_sec) * kMicrosPerSecond +
                          static_cast<double>(wall.tv_nsec) / 1000.0) +
                         self->clock_.MonotonicMicros();
  const double read = self->synth_.MicrosOf(
      static_cast<double>(timing->read_index / static_cast<std::int64_t>(kFrameBytes)));
  self->Judge(current + static_cast<double>(timing->sink_usec) - read);
}

void PulseStream::RanDry(pa_stream* /*stream*/, void* data) {
  // The server played silence while it waited (this thread was late: a busy
  // machine), so every frame from here on is heard later than the answers
  // so far say: only answers from after the gap count.
  static_cast<PulseStream*>(data)->judgedCount_ = 0;
}

void PulseStream::Judge(double firstHeardAt) {
  // An answer is never early, but may come late (the server or this thread
  // busy), by a few milliseconds: the earliest of the recent ones is the
  // truest. One later than that by far says the stream's frames now play
  // later than before (the server ran dry while this thread was held up, as
  // on a busy machine, and PipeWire does not always say so): from then on,
  // only the answers since count.
  const double kept = firstHeardAt_.load(std::memory_order_relaxed);
  if (judgedCount_ > 0 && firstHeardAt - kept > kTimelineMovedMicros) judgedCount_ = 0;
  judged_[judgedCount_++ % judged_.size()] = firstHeardAt;
  const std::size_t count = std::min(judgedCount_, judged_.size());
  const bool first = std::isnan(firstHeardAt_.load(std::memory_order_relaxed));
  firstHeardAt_.store(*std::min_element(judged_.begin(), judged_.begin() + count),
                      std::memory_order_relaxed);
  if (first) Wake(mainloop_);  // AwaitTiming
}

double PulseStream::HeardAtMicros(std::uint64_t frame) const {
  const double since =
      synth_.MicrosOf(static_cast<double>(frame) - static_cast<double>(firstFrame_));
  const double first = firstHeardAt_.load(std::memory_order_relaxed);
  if (!std::isnan(first)) return first + since;
  // Until the server has said: as soon as the rendered frames have played.
  const double rendered =
      synth_.MicrosOf(static_cast<double>(synth_.Frames()) - static_cast<double>(firstFrame_));
  return LastRenderedMicros() + since - rendered + audio::kPeriods * audio::kPeriodMicros;
}

}  // namespace quillotone
