// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClickSoundFont.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string_view>
#include <vector>

namespace quillotone::bench {
namespace {

constexpr std::uint32_t kRate = 44100;
constexpr std::uint32_t kPulseFrames = kRate / 200;  // 5 ms
constexpr std::int16_t kPulseLevel = 20000;
// The format asks for 46 zero samples after each sample.
constexpr std::uint32_t kPadFrames = 46;

// SoundFont 2 generator numbers.
enum Generator : std::uint16_t {
  kChorusSend = 15,
  kReverbSend = 16,
  kAttackVolEnv = 34,
  kReleaseVolEnv = 38,
  kInstrument = 41,
  kSampleId = 53,
  kSampleModes = 54,
};
constexpr std::int16_t kFastest = -12000;  // timecents: 1 ms
constexpr std::int16_t kLoopContinuously = 1;
// The held tone loops over the middle of the pulse.
constexpr std::uint32_t kLoopStart = 8;
constexpr std::uint32_t kLoopEnd = kPulseFrames - 8;

class Bytes {
 public:
  void U8(std::uint8_t v) { data_.push_back(v); }
  void U16(std::uint16_t v) {
    U8(static_cast<std::uint8_t>(v));
    U8(static_cast<std::uint8_t>(v >> 8));
  }
  void U32(std::uint32_t v) {
    U16(static_cast<std::uint16_t>(v));
    U16(static_cast<std::uint16_t>(v >> 16));
  }
  void Tag(std::string_view tag) { data_.insert(data_.end(), tag.begin(), tag.end()); }
  // A fixed-size, zero-padded name.
  void Name(std::string_view name, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) U8(i < name.size() ? name[i] : 0);
  }
  void Append(const Bytes& other) {
    data_.insert(data_.end(), other.data_.begin(), other.data_.end());
  }
  // A chunk: tag, length, body, padded to an even length.
  void Chunk(std::string_view tag, const Bytes& body) {
    Tag(tag);
    U32(static_cast<std::uint32_t>(body.size()));
    Append(body);
    if (body.size() % 2 != 0) U8(0);
  }
  void List(std::string_view type, const Bytes& body) {
    Bytes inner;
    inner.Tag(type);
    inner.Append(body);
    Chunk("LIST", inner);
  }
  [[nodiscard]] std::size_t size() const { return data_.size(); }
  [[nodiscard]] const std::vector<std::uint8_t>& data() const { return data_; }

 private:
  std::vector<std::uint8_t> data_;
};

Bytes Info() {
  Bytes version;
  version.U16(2);
  version.U16(1);
  Bytes engine;
  engine.Name("EMU8000", 8);
  Bytes name;
  name.Name("Click", 6);
  Bytes info;
  info.Chunk("ifil", version);
  info.Chunk("isng", engine);
  info.Chunk("INAM", name);
  return info;
}

Bytes SampleData() {
  Bytes samples;
  for (std::uint32_t i = 0; i < kPulseFrames; ++i)
    samples.U16(static_cast<std::uint16_t>(kPulseLevel));
  for (std::uint32_t i = 0; i < kPadFrames; ++i) samples.U16(0);
  Bytes sdta;
  sdta.Chunk("smpl", samples);
  return sdta;
}

Bytes Presets(Tone tone) {
  Bytes phdr, pbag, pmod, pgen;
  // One preset per General MIDI program, all on the one instrument.
  for (std::uint16_t program = 0; program < 128; ++program) {
    phdr.Name("Click", 20);
    phdr.U16(program);
    phdr.U16(0);        // bank
    phdr.U16(program);  // first bag
    phdr.U32(0);
    phdr.U32(0);
    phdr.U32(0);
    pbag.U16(program);  // first generator
    pbag.U16(0);
    pgen.U16(kInstrument);
    pgen.U16(0);
  }
  phdr.Name("EOP", 20);
  phdr.U16(0);
  phdr.U16(0);
  phdr.U16(128);
  phdr.U32(0);
  phdr.U32(0);
  phdr.U32(0);
  pbag.U16(128);
  pbag.U16(0);
  pmod.Name("", 10);
  pgen.U32(0);

  Bytes inst, ibag, imod, igen;
  inst.Name("Click", 20);
  inst.U16(0);
  inst.Name("EOI", 20);
  inst.U16(1);
  const std::pair<Generator, std::int16_t> zone[] = {
      {kChorusSend, 0},
      {kReverbSend, 0},
      {kAttackVolEnv, kFastest},
      {kReleaseVolEnv, kFastest},
      {kSampleModes, tone == Tone::kHeld ? kLoopContinuously : std::int16_t{0}},
      {kSampleId, 0},  // the sample comes last
  };
  for (const auto& [generator, amount] : zone) {
    igen.U16(generator);
    igen.U16(static_cast<std::uint16_t>(amount));
  }
  igen.U32(0);
  ibag.U16(0);
  ibag.U16(0);
  ibag.U16(static_cast<std::uint16_t>(std::size(zone)));
  ibag.U16(0);
  imod.Name("", 10);

  Bytes shdr;
  shdr.Name("Click", 20);
  shdr.U32(0);             // start
  shdr.U32(kPulseFrames);  // end
  shdr.U32(kLoopStart);
  shdr.U32(kLoopEnd);
  shdr.U32(kRate);
  shdr.U8(60);  // original key
  shdr.U8(0);
  shdr.U16(0);
  shdr.U16(1);  // mono
  shdr.Name("EOS", 20);
  for (int i = 0; i < 4; ++i) shdr.U32(0);
  shdr.U32(0);
  shdr.U8(0);
  shdr.U8(0);
  shdr.U16(0);
  shdr.U16(0);

  Bytes pdta;
  pdta.Chunk("phdr", phdr);
  pdta.Chunk("pbag", pbag);
  pdta.Chunk("pmod", pmod);
  pdta.Chunk("pgen", pgen);
  pdta.Chunk("inst", inst);
  pdta.Chunk("ibag", ibag);
  pdta.Chunk("imod", imod);
  pdta.Chunk("igen", igen);
  pdta.Chunk("shdr", shdr);
  return pdta;
}

}  // namespace

bool WriteClickSoundFont(const std::string& path, Tone tone) {
  Bytes body;
  body.Tag("sfbk");
  Bytes info, sdta, pdta;
  body.List("INFO", Info());
  body.List("sdta", SampleData());
  body.List("pdta", Presets(tone));
  Bytes file;
  file.Chunk("RIFF", body);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(file.data().data()),
            static_cast<std::streamsize>(file.size()));
  return static_cast<bool>(out);
}

}  // namespace quillotone::bench
