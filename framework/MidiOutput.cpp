#include "framework/MidiOutput.h"

#include <RtMidi.h>
#include <jack/jack.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "framework/Midi.h"

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

// RtMidi's JACK backend goes on without a server and fails later, so ask
// JACK itself first, without starting one. That no server runs is said once,
// in our own words, not in the library's many lines.
bool JackServerRuns(const std::string& name) {
  jack_set_error_function(DropJackMessage);
  jack_set_info_function(DropJackMessage);
  jack_status_t status{};
  jack_client_t* client = jack_client_open(name.c_str(), JackNoStartServer, &status);
  if (client != nullptr) jack_client_close(client);
  jack_set_error_function(JackErrorToStderr);
  return client != nullptr;
}

}  // namespace

MidiOutput::MidiOutput(const std::string& name) {
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
    return;
  }
  if (JackServerRuns(name) && open(RtMidi::UNIX_JACK, "JACK")) return;
  throw MidiOutputError(
      "The MIDI output port could not be opened" +
      (lastError.empty() ? std::string() : " (" + lastError + ")") +
      ". It needs the ALSA sequencer (the snd-seq kernel module: sudo modprobe snd-seq) or a "
      "running JACK server (Debian package jackd2).");
}

MidiOutput::~MidiOutput() = default;

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
  if (velocity == 0 && !sounding) return;
  sounding = velocity > 0;
  const auto status =
      static_cast<unsigned char>((velocity == 0 ? midi::kNoteOff : midi::kNoteOn) | channel);
  Send({status, static_cast<unsigned char>(note), static_cast<unsigned char>(velocity)});
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
