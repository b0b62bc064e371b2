// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/midi/AlsaMidiPort.h"

#include <RtMidi.h>

#include <chrono>
#include <filesystem>

#include "framework/midi/MonotonicMicros.h"

namespace quillotone {
namespace {

// Without this device the kernel has no ALSA sequencer; trying it anyway
// only fills the terminal with ALSA's complaints.
constexpr char kAlsaSequencerDevice[] = "/dev/snd/seq";
// Messages are stamped at most a synth's lead and an output's latency ahead.
constexpr double kLastReachMicros = 2'000'000.0;

// RtMidi reports through a callback once one is set, instead of throwing or
// printing; the last report is what the user is told.
void KeepError(RtMidiError::Type /*type*/, const std::string& text, void* last) {
  *static_cast<std::string*>(last) = text;
}

std::chrono::steady_clock::time_point OnSteadyClock(double micros) {
  // steady_clock is CLOCK_MONOTONIC on Linux, as the stamps are.
  return std::chrono::steady_clock::time_point(
      std::chrono::duration_cast<std::chrono::steady_clock::duration>(
          std::chrono::duration<double, std::micro>(micros)));
}

}  // namespace

std::unique_ptr<AlsaMidiPort> AlsaMidiPort::Open(const std::string& name, std::string& error) {
  std::error_code ignored;
  if (!std::filesystem::exists(kAlsaSequencerDevice, ignored)) return nullptr;
  try {
    auto out = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, name);
    out->setErrorCallback(KeepError, &error);
    out->openVirtualPort(name);
    if (!error.empty()) return nullptr;
    out->setErrorCallback(nullptr, nullptr);
    // ALSA keeps the name and gives each client its own number.
    return std::unique_ptr<AlsaMidiPort>(new AlsaMidiPort(std::move(out), name));
  } catch (const RtMidiError& e) {
    error = e.getMessage();
    return nullptr;
  }
}

AlsaMidiPort::AlsaMidiPort(std::unique_ptr<RtMidiOut> out, std::string name)
    : out_(std::move(out)), portName_(std::move(name)) {
  sender_ = std::jthread([this](std::stop_token stop) { Run(stop); });
}

AlsaMidiPort::~AlsaMidiPort() {
  // What is still waiting (the last note-offs) goes out first.
  sender_.request_stop();
  wake_.notify_all();
}

void AlsaMidiPort::Send(const TimedMessage& message) {
  {
    const std::lock_guard lock(mutex_);
    if (!schedule_.Add(message)) return;
    added_ = true;
  }
  wake_.notify_all();
}

void AlsaMidiPort::Run(std::stop_token stop) {
  std::unique_lock lock(mutex_);
  for (;;) {
    // Stopping, what is due within a lead's reach (the last note-offs) is
    // sent at once; a clock left running does not tick on for ever.
    const bool last = stop.stop_requested();
    const double now = MonotonicMicros();
    const double limit = now + (last ? kLastReachMicros : 0.0);
    while (const auto message = schedule_.TakeDue(limit, now)) {
      try {
        out_->sendMessage(message->bytes.data(), message->size);
      } catch (const RtMidiError&) {
        // A port that went away drops the message; the melody plays on.
      }
    }
    if (last) return;
    added_ = false;
    const auto added = [this] { return added_; };
    if (const auto due = schedule_.NextDue()) {
      wake_.wait_until(lock, stop, OnSteadyClock(*due), added);
    } else {
      wake_.wait(lock, stop, added);
    }
  }
}

}  // namespace quillotone
