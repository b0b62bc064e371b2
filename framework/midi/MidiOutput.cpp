// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/midi/MidiOutput.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <utility>

#include "framework/audio/SpscQueue.h"
#include "framework/midi/AlsaMidiPort.h"
#include "framework/midi/JackMidiPort.h"
#include "framework/midi/Midi.h"
#include "framework/midi/MonotonicMicros.h"

namespace quillotone {
namespace {

using midi::IsData;
using midi::kChannels;
constexpr int kNoProgram = -1;

// The port on `system`; for kAny, on JACK when a JACK server runs, else on
// the ALSA sequencer. Throws MidiOutputError where there is none.
std::unique_ptr<MidiPort> OpenPort(const std::string& name, MidiSystem system,
                                   const std::shared_ptr<JackClient>& synthClient,
                                   std::string& why) {
  std::string alsaError;
  std::unique_ptr<MidiPort> port;
  if (system != MidiSystem::kAlsa) port = JackMidiPort::Open(name, synthClient);
  if (port) {
    why = synthClient ? "the synth plays on JACK (--audio jack), on the same client"
          : system == MidiSystem::kJack ? "asked for with --midi-out=jack"
                                        : "a JACK server runs";
    return port;
  }
  // On the synth's JACK client or nowhere: a port elsewhere would run on
  // another clock.
  if (synthClient) throw MidiOutputError(MidiSystem::kJack, "");
  if (system != MidiSystem::kJack) port = AlsaMidiPort::Open(name, alsaError);
  if (port) {
    why = system == MidiSystem::kAlsa ? "asked for with --midi-out=alsa" : "no JACK server runs";
    return port;
  }
  throw MidiOutputError(system, alsaError.empty() ? std::string() : " (" + alsaError + ")");
}

}  // namespace

const char* const MidiOutputError::kText = QT_TRANSLATE_NOOP(
    "MidiOutput",
    "The MIDI output port could not be opened%1. It needs a running JACK server (jackd from the "
    "Debian package jackd2, or PipeWire's with pw-jack) or the ALSA sequencer (the snd-seq "
    "kernel module: sudo modprobe snd-seq).");

MidiOutputError::MidiOutputError(MidiSystem asked, const std::string& reason)
    : std::runtime_error([&] {
        // In the user's language; a system the user named ends the program
        // with this one line on stderr.
        switch (asked) {
          case MidiSystem::kJack:
            return QCoreApplication::translate(
                "MidiOutput",
                "--midi-out=jack: no JACK server runs; start one (jackd from the Debian package "
                "jackd2, or PipeWire's with pw-jack)");
          case MidiSystem::kAlsa:
            return QCoreApplication::translate(
                       "MidiOutput",
                       "--midi-out=alsa: the ALSA sequencer could not be opened%1; it needs the "
                       "snd-seq kernel module (sudo modprobe snd-seq)")
                .arg(QString::fromStdString(reason));
          case MidiSystem::kAny:
            break;
        }
        return QCoreApplication::translate("MidiOutput", kText).arg(QString::fromStdString(reason));
      }()
                             .toStdString()),
      reason_(reason) {}

struct MidiOutput::Owned {
  // From the caller's thread to the worker, which alone uses the port.
  SpscQueue<TimedMessage, 1024> outbox;
  std::unique_ptr<MidiPort> port;
  std::chrono::steady_clock::time_point watchedAt;

  // The worker's tick: what was queued goes to the port (it waits for one
  // still opening); every kWatchMs the port looks at its server, and says
  // what changed.
  void Tick(const Worker::Replier& reply, MidiOutput* output) {
    if (!port) return;
    while (const auto message = outbox.Pop()) port->Send(*message);
    const auto now = std::chrono::steady_clock::now();
    if (now - watchedAt < std::chrono::milliseconds(kWatchMs)) return;
    watchedAt = now;
    const MidiPort::Change change = port->Watch();
    if (change == MidiPort::Change::kNone) return;
    reply([output, change, name = port->portName()] {
      output->changes_.push_back(change);
      output->portName_ = name;
    });
  }
};

MidiOutput::MidiOutput(const std::string& name, bool clock, MidiSystem system,
                       std::function<void(const std::optional<MidiOutputError>& error)> opened,
                       std::shared_ptr<JackClient> synthClient)
    : owned_(std::make_shared<Owned>()),
      clock_(clock),
      // `this` only in replies, which are dropped once this has gone.
      worker_([owned = owned_, this](const Worker::Replier& reply) { owned->Tick(reply, this); },
              std::chrono::milliseconds(kWatchMs)) {
  programs_.fill(kNoProgram);
  worker_.SetFinishLimit(std::chrono::milliseconds(kQuitWaitMs));
  worker_.Post(
      [owned = owned_, reply = worker_.replier(), name, system, this, opened = std::move(opened),
       synthClient = std::move(synthClient)] {
        // The reason, not the error: an exception's text is shared between its
        // copies, and this one's would be let go on both threads.
        std::optional<std::string> failed;
        std::string why;
        try {
          owned->port = OpenPort(name, system, synthClient, why);
        } catch (const MidiOutputError& e) {
          failed = e.reason();
        }
        owned->watchedAt = std::chrono::steady_clock::now();
        if (!owned->port) {
          while (owned->outbox.Pop()) {
          }
        }
        reply([this, failed, asked = system, opened, why,
               system = std::string(owned->port ? owned->port->system() : ""),
               port = owned->port ? owned->port->portName() : std::string()] {
          std::optional<MidiOutputError> error;
          if (failed) error.emplace(asked, *failed);
          open_ = !error;
          system_ = system;
          why_ = why;
          portName_ = port;
          opened(error);
        });
      });
}

MidiOutput::~MidiOutput() {
  // What is queued goes to the port, which sends it before it closes.
  worker_.Post([owned = owned_] {
    while (const auto message = owned->outbox.Pop()) {
      if (owned->port) owned->port->Send(*message);
    }
    owned->port.reset();
  });
}

void MidiOutput::Send(std::initializer_list<unsigned char> message,
                      const std::optional<Heard>& heard) {
  const double at = heard ? heard->micros : MonotonicMicros();
  // One earlier than a message sent before goes with that one, on its frame.
  if (at >= lastMicros_) {
    lastMicros_ = at;
    lastFrame_ = heard ? heard->synthFrame : std::nullopt;
  }
  TimedMessage timed{.micros = lastMicros_,
                     .bytes = {},
                     .size = 0,
                     .graphCycles = graphCycles_,
                     .synthFrame = lastFrame_};
  for (const unsigned char byte : message) timed.bytes[timed.size++] = byte;
  // Full (a worker stuck on its server): dropped, as the port would.
  if (owned_->outbox.Push(timed)) worker_.Nudge();
}

void MidiOutput::Note(int channel, int note, int velocity, std::optional<Heard> heard) {
  if (channel < 0 || channel >= kChannels || !IsData(note) || !IsData(velocity)) return;
  // While the server is away nothing is heard, and nothing is remembered as
  // sounding: the port may be back on the worker before this thread hears
  // so, and a note struck meanwhile would be ended there without its start.
  if (away_) return;
  if (heard) graphCycles_ = static_cast<std::uint8_t>(std::clamp(heard->graphCycles, 0, 255));
  auto sounding = sounding_[static_cast<std::size_t>(channel)][static_cast<std::size_t>(note)];
  const auto key = static_cast<unsigned char>(note);
  if (sounding) {
    Send({static_cast<unsigned char>(midi::kNoteOff | channel), key, 0}, heard);
  }
  sounding = velocity > 0;
  if (velocity == 0) return;
  if (clock_ && !clockRunning_) {
    // The melody's first note starts the clock, on the same time.
    clockRunning_ = true;
    Send({midi::kStart}, heard);
  }
  Send({static_cast<unsigned char>(midi::kNoteOn | channel), key,
        static_cast<unsigned char>(velocity)},
       heard);
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
  programs_[static_cast<std::size_t>(channel)] = program;
  Send({static_cast<unsigned char>(midi::kProgramChange | channel),
        static_cast<unsigned char>(program)});
}

void MidiOutput::AllNotesOff(int channel) {
  if (channel < 0 || channel >= kChannels) return;
  sounding_[static_cast<std::size_t>(channel)].reset();
  Send({static_cast<unsigned char>(midi::kControlChange | channel), midi::kAllNotesOff, 0});
}

void MidiOutput::StopClock() {
  if (!clockRunning_) return;
  clockRunning_ = false;
  Send({midi::kStop});
}

MidiPort::Change MidiOutput::Watch() {
  if (changes_.empty()) return MidiPort::Change::kNone;
  const MidiPort::Change change = changes_.front();
  changes_.pop_front();
  if (change == MidiPort::Change::kLost) {
    away_ = true;
    for (auto& channel : sounding_) channel.reset();
  } else if (change == MidiPort::Change::kBack) {
    away_ = false;
    // A receiver that outlived the server may still hold notes from before.
    for (int channel = 0; channel < kChannels; ++channel) {
      const int program = programs_[static_cast<std::size_t>(channel)];
      if (program == kNoProgram) continue;
      ProgramChange(channel, program);
      AllNotesOff(channel);
    }
    // A melody still playing starts the clock afresh with its next note.
    clockRunning_ = false;
  }
  return change;
}

}  // namespace quillotone
