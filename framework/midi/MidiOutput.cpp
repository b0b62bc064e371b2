// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/midi/MidiOutput.h"

#include <RtMidi.h>
#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <string_view>
#include <thread>

#include "framework/midi/Midi.h"

namespace quillotone {
namespace {

using midi::IsData;
using midi::kChannels;

// Without this device the kernel has no ALSA sequencer; trying it anyway
// only fills the terminal with ALSA's complaints.
constexpr char kAlsaSequencerDevice[] = "/dev/snd/seq";

// RtMidi reports through a callback once one is set, instead of throwing or
// printing; the last report is what the user is told.
void KeepError(RtMidiError::Type /*type*/, const std::string& text, void* last) {
  *static_cast<std::string*>(last) = text;
}

void DropJackMessage(const char* /*message*/) {}

void JackErrorToStderr(const char* message) {
  std::fprintf(stderr, "quillotone: jack: %s\n", message);
}

struct JackClientCloser {
  void operator()(jack_client_t* client) const { jack_client_close(client); }
};
using JackClient = std::unique_ptr<jack_client_t, JackClientCloser>;

// RtMidi's JACK backend goes on without a server and fails later, so ask
// JACK itself first, without starting one: null if no server runs. That no
// server runs is said once, in our own words, not in the library's many
// lines.
JackClient JackProbe(const std::string& name) {
  jack_set_error_function(DropJackMessage);
  jack_set_info_function(DropJackMessage);
  jack_status_t status{};
  JackClient client(jack_client_open((name + "-probe").c_str(), JackNoStartServer, &status));
  jack_set_error_function(JackErrorToStderr);
  return client;
}

// The full names of the MIDI output ports called `port`, of any client.
std::set<std::string> JackPortsNamed(jack_client_t* client, const std::string& port) {
  std::set<std::string> found;
  const char** ports = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput);
  for (const char** p = ports; p != nullptr && *p != nullptr; ++p) {
    const std::string_view full(*p);
    if (full.ends_with(":" + port)) found.emplace(full);
  }
  jack_free(ports);
  return found;
}

// RtMidi hands JACK a message through a buffer that its client's process
// callback empties once a cycle, so what was sent last is lost if the port
// closes first. Waits (a second at most) until two cycles have run since:
// the first starts after this call, the second after the first has ended.
void WaitForJackCycles(const std::string& name) {
  std::atomic<int> cycles{0};
  const JackClient client = JackProbe(name);
  if (!client) return;
  jack_set_process_callback(
      client.get(),
      [](jack_nframes_t /*frames*/, void* count) {
        static_cast<std::atomic<int>*>(count)->fetch_add(1);
        return 0;
      },
      &cycles);
  if (jack_activate(client.get()) != 0) return;
  for (int waited = 0; cycles.load() < 2 && waited < 1000; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  jack_deactivate(client.get());
}

}  // namespace

MidiOutput::MidiOutput(const std::string& name) : name_(name) {
  std::string lastError;
  const auto open = [&](RtMidi::Api api, const char* system) {
    try {
      port_ = std::make_unique<RtMidiOut>(api, name);
      port_->setErrorCallback(KeepError, &lastError);
      port_->openVirtualPort(name);
      if (lastError.empty()) {
        port_->setErrorCallback(nullptr, nullptr);
        system_ = system;
        return true;
      }
    } catch (const RtMidiError& e) {
      lastError = e.getMessage();
    }
    port_.reset();
    return false;
  };
  std::error_code ignored;
  if (std::filesystem::exists(kAlsaSequencerDevice, ignored) && open(RtMidi::LINUX_ALSA, "ALSA")) {
    // ALSA keeps the name and gives each client its own number.
    portName_ = name;
    return;
  }
  if (const JackClient probe = JackProbe(name)) {
    // JACK renames a client whose name is taken ("Quillotone-01"): the port
    // that appears is ours.
    const std::set<std::string> before = JackPortsNamed(probe.get(), name);
    if (open(RtMidi::UNIX_JACK, "JACK")) {
      for (const std::string& port : JackPortsNamed(probe.get(), name)) {
        if (!before.contains(port)) portName_ = port;
      }
      if (portName_.empty()) portName_ = name + ":" + name;
      return;
    }
  }
  throw MidiOutputError(
      "The MIDI output port could not be opened" +
      (lastError.empty() ? std::string() : " (" + lastError + ")") +
      ". It needs the ALSA sequencer (the snd-seq kernel module: sudo modprobe snd-seq) or a "
      "running JACK server (Debian package jackd2).");
}

MidiOutput::~MidiOutput() {
  if (port_ && system_ == "JACK") WaitForJackCycles(name_);
}

void MidiOutput::Send(std::initializer_list<unsigned char> message) {
  if (!port_) return;
  try {
    port_->sendMessage(message.begin(), message.size());
  } catch (const RtMidiError&) {
    // A port that went away drops the message; the melody plays on.
  }
}

void MidiOutput::Note(int channel, int note, int velocity) {
  if (channel < 0 || channel >= kChannels || !IsData(note) || !IsData(velocity)) return;
  auto sounding = sounding_[static_cast<std::size_t>(channel)][static_cast<std::size_t>(note)];
  const auto key = static_cast<unsigned char>(note);
  if (sounding) Send({static_cast<unsigned char>(midi::kNoteOff | channel), key, 0});
  sounding = velocity > 0;
  if (velocity > 0) {
    Send({static_cast<unsigned char>(midi::kNoteOn | channel), key,
          static_cast<unsigned char>(velocity)});
  }
}

void MidiOutput::EndSoundingNotes() {
  for (int channel = 0; channel < kChannels; ++channel) {
    for (int note = 0; note <= midi::kDataMax; ++note) {
      if (sounding_[static_cast<std::size_t>(channel)][static_cast<std::size_t>(note)]) {
        Note(channel, note, 0);
      }
    }
  }
}

void MidiOutput::ProgramChange(int channel, int program) {
  if (channel < 0 || channel >= kChannels || !IsData(program)) return;
  Send({static_cast<unsigned char>(midi::kProgramChange | channel),
        static_cast<unsigned char>(program)});
}

void MidiOutput::AllNotesOff(int channel) {
  if (channel < 0 || channel >= kChannels) return;
  sounding_[static_cast<std::size_t>(channel)].reset();
  Send({static_cast<unsigned char>(midi::kControlChange | channel), midi::kAllNotesOff, 0});
}

}  // namespace quillotone
