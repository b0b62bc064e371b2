// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/audio/FluidLog.h"

#include <fcntl.h>
#include <fluidsynth.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>

// ALSA 1.2.8 leaves its thread-local error handler out of its own extern "C",
// and from 1.2.14 on its headers are only to be reached through asoundlib.h;
// the C library's headers it includes are in place above.
extern "C" {
#include <alsa/asoundlib.h>
}

namespace quillotone {
namespace {

thread_local CapturedLog* tCaptured = nullptr;

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  return text;
}

void LogFluidSynth(int level, const char* message, void* /*data*/) {
  const std::string_view text = Trimmed(message != nullptr ? message : "");
  if (tCaptured != nullptr) return tCaptured->Add(text);
  const char* kind = level == FLUID_WARN ? "warning: " : "error: ";
  std::fprintf(stderr, "quillotone: fluidsynth: %s%.*s\n", kind, static_cast<int>(text.size()),
               text.data());
}

void LogAlsa(const char* /*file*/, int /*line*/, const char* /*function*/, int /*error*/,
             const char* format, va_list arguments) {
  if (tCaptured == nullptr) return;
  std::array<char, 256> text{};
  std::vsnprintf(text.data(), text.size(), format, arguments);
  tCaptured->Add(Trimmed(text.data()));
}

}  // namespace

void RouteFluidSynthLog() {
  // FluidSynth's log table is process-wide; set it once, before any synth
  // exists, even when two synths are made on different threads.
  [[maybe_unused]] static const bool routed = [] {
    fluid_set_log_function(FLUID_PANIC, LogFluidSynth, nullptr);
    fluid_set_log_function(FLUID_ERR, LogFluidSynth, nullptr);
    fluid_set_log_function(FLUID_WARN, LogFluidSynth, nullptr);
    fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
    fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
    return true;
  }();
}

bool WantsLibraryDetails() {
  const char* debug = std::getenv("QUILLOTONE_DEBUG");
  return debug != nullptr && std::strcmp(debug, "1") == 0;
}

void CapturedLog::Add(std::string_view text) {
  if (text.empty()) return;
  constexpr std::string_view kSeparator = "; ";
  const auto put = [&](std::string_view piece) {
    const std::size_t n = std::min(piece.size(), text_.size() - size_);
    std::memcpy(text_.data() + size_, piece.data(), n);
    size_ += n;
  };
  if (size_ != 0) put(kSeparator);
  put(text);
}

CapturedLog::Scope::Scope(CapturedLog& log)
    : previous_(std::exchange(tCaptured, &log)), previousAlsa_(snd_lib_error_set_local(LogAlsa)) {}

CapturedLog::Scope::~Scope() {
  snd_lib_error_set_local(previousAlsa_);
  tCaptured = previous_;
}

void CapturedLog::InstallOnThisThread(CapturedLog& log) {
  if (tCaptured == &log) return;
  tCaptured = &log;
  snd_lib_error_set_local(LogAlsa);
}

}  // namespace quillotone
