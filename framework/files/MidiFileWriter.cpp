// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/files/MidiFileWriter.h"

#include <cmath>
#include <stdexcept>

#include "framework/midi/Midi.h"

namespace quillotone {
namespace {

using midi::kNoteOff;
using midi::kNoteOn;
using midi::kProgramChange;
constexpr unsigned char kMeta = 0xFF;
constexpr unsigned char kTrackName = 0x03;
constexpr unsigned char kTempo = 0x51;
constexpr unsigned char kEndOfTrack = 0x2F;

void PutVariableLength(std::vector<unsigned char>& out, std::uint64_t value) {
  // Seven bits a byte, most significant first; every byte but the last has
  // its top bit set. Readers take no more than four bytes.
  if (value > MidiFileWriter::kMaxTicks) throw std::length_error("too long for a MIDI file");
  unsigned char groups[4];
  int n = 0;
  do {
    groups[n++] = static_cast<unsigned char>(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  while (n > 1) out.push_back(static_cast<unsigned char>(groups[--n] | 0x80));
  out.push_back(groups[0]);
}

void PutBigEndian(std::vector<unsigned char>& out, std::uint32_t value, int bytes) {
  for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) {
    out.push_back(static_cast<unsigned char>((value >> shift) & 0xFF));
  }
}

void PutTrack(std::vector<unsigned char>& out, const std::vector<unsigned char>& bytes) {
  out.insert(out.end(), {'M', 'T', 'r', 'k'});
  PutBigEndian(out, static_cast<std::uint32_t>(bytes.size()), 4);
  out.insert(out.end(), bytes.begin(), bytes.end());
}

std::vector<unsigned char> MetaText(unsigned char type, const std::string& text) {
  std::vector<unsigned char> bytes = {0x00, kMeta, type};
  PutVariableLength(bytes, text.size());
  bytes.insert(bytes.end(), text.begin(), text.end());
  return bytes;
}

}  // namespace

MidiFileWriter::MidiFileWriter(std::string title, std::array<int, kChannels> programs)
    : title_(std::move(title)) {
  for (int channel = 0; channel < kChannels; ++channel) {
    Track& track = tracks_[static_cast<std::size_t>(channel)];
    track.bytes = MetaText(kTrackName, "NotePlayer" + std::to_string(channel + 1));
    Event(track, 0,
          {static_cast<unsigned char>(kProgramChange | channel),
           static_cast<unsigned char>(programs[static_cast<std::size_t>(channel)] & 0x7F)});
  }
}

std::uint64_t MidiFileWriter::TickOf(double micros) {
  constexpr double kTicksPerMicro = static_cast<double>(kTicksPerQuarter) / kMicrosPerQuarter;
  return static_cast<std::uint64_t>(std::llround(std::max(0.0, micros) * kTicksPerMicro));
}

void MidiFileWriter::Event(Track& track, std::uint64_t tick,
                           std::initializer_list<unsigned char> data) {
  if (tick < track.lastTick) throw std::logic_error("MidiFileWriter: events out of time order");
  PutVariableLength(track.bytes, tick - track.lastTick);
  track.bytes.insert(track.bytes.end(), data);
  track.lastTick = tick;
}

void MidiFileWriter::Note(double micros, int channel, int note, int velocity) {
  if (ended_ || channel < 0 || channel >= kChannels) return;
  if (!midi::IsData(note) || !midi::IsData(velocity)) return;
  Track& track = tracks_[static_cast<std::size_t>(channel)];
  const std::uint64_t tick = TickOf(micros);
  const auto key = static_cast<unsigned char>(note);
  bool& sounding = track.sounding[key];
  if (sounding) {
    Event(track, tick, {static_cast<unsigned char>(kNoteOff | channel), key, 0});
    sounding = false;
  }
  if (velocity > 0) {
    Event(
        track, tick,
        {static_cast<unsigned char>(kNoteOn | channel), key, static_cast<unsigned char>(velocity)});
    sounding = true;
  }
}

void MidiFileWriter::End(double micros) {
  if (ended_) return;
  for (int channel = 0; channel < kChannels; ++channel) {
    for (int note = 0; note <= midi::kDataMax; ++note) Note(micros, channel, note, 0);
  }
  endTick_ = TickOf(micros);
  ended_ = true;
}

std::vector<unsigned char> MidiFileWriter::Bytes() const {
  // The header: format 1, a tempo track and one per channel.
  std::vector<unsigned char> out = {'M', 'T', 'h', 'd'};
  PutBigEndian(out, 6, 4);
  PutBigEndian(out, 1, 2);
  PutBigEndian(out, 1 + kChannels, 2);
  PutBigEndian(out, kTicksPerQuarter, 2);

  std::vector<unsigned char> tempo = MetaText(kTrackName, title_);
  tempo.insert(tempo.end(), {0x00, kMeta, kTempo, 0x03});
  tempo.insert(tempo.end(), {static_cast<unsigned char>(kMicrosPerQuarter >> 16),
                             static_cast<unsigned char>(kMicrosPerQuarter >> 8),
                             static_cast<unsigned char>(kMicrosPerQuarter)});
  PutVariableLength(tempo, endTick_);
  tempo.insert(tempo.end(), {kMeta, kEndOfTrack, 0x00});
  PutTrack(out, tempo);

  for (const Track& track : tracks_) {
    std::vector<unsigned char> bytes = track.bytes;
    PutVariableLength(bytes, endTick_ - std::min(endTick_, track.lastTick));
    bytes.insert(bytes.end(), {kMeta, kEndOfTrack, 0x00});
    PutTrack(out, bytes);
  }
  return out;
}

}  // namespace quillotone
