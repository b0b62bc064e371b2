#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "app/Render.h"
#include "melody/Melody.h"
#include "melody/Modes.h"
#include "support/Spectrum.h"
#include "support/TempDir.h"

namespace quillotone {
namespace {

namespace fs = std::filesystem;

constexpr int kRate = 44100;
constexpr int kPentatonicRow = 7;
constexpr std::size_t kWavHeaderBytes = 44;

using testing::TempDir;

std::vector<fs::path> FilesIn(const fs::path& dir) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(dir)) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::uint32_t U32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

std::uint16_t U16(const std::string& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                    static_cast<unsigned char>(bytes[at + 1]) << 8);
}

Invocation RenderOf(const fs::path& path, double micros, std::uint64_t seed, int mode = 0) {
  Invocation invocation;
  invocation.renderPath = path.string();
  invocation.renderFormat =
      path.extension() == ".wav" ? Invocation::Format::Wav : Invocation::Format::Midi;
  invocation.renderMicros = micros;
  invocation.seed = seed;
  invocation.mode = mode;
  return invocation;
}

int RenderQuietly(const Invocation& invocation, std::string* errors = nullptr) {
  std::ostringstream out;
  const int status = Render(invocation, out);
  if (errors != nullptr) *errors = out.str();
  return status;
}

TEST(RenderTest, TheSameSeedGivesTheSameBytesAndAnotherSeedAnotherMelody) {
  TempDir dir("quillotone-render");
  for (const char* name : {"a.wav", "a.mid"}) {
    const fs::path first = dir.path() / name;
    const fs::path again = dir.path() / (std::string("again") + name);
    const fs::path other = dir.path() / (std::string("other") + name);
    ASSERT_EQ(RenderQuietly(RenderOf(first, 2 * kCycleMicros, 99)), 0);
    ASSERT_EQ(RenderQuietly(RenderOf(again, 2 * kCycleMicros, 99)), 0);
    ASSERT_EQ(RenderQuietly(RenderOf(other, 2 * kCycleMicros, 100)), 0);
    const std::string bytes = ReadBytes(first);
    EXPECT_GT(bytes.size(), 100u) << name;
    EXPECT_EQ(bytes, ReadBytes(again)) << name;
    EXPECT_NE(bytes, ReadBytes(other)) << name;
  }
}

TEST(RenderTest, AWavIsStereo16BitAtTheSynthsRateEndingInSilenceAndInTheMode) {
  TempDir dir("quillotone-render");
  const fs::path path = dir.path() / "pentatonic.wav";
  ASSERT_EQ(RenderQuietly(RenderOf(path, 2 * kCycleMicros, 5, kPentatonicRow)), 0);
  const std::string bytes = ReadBytes(path);
  ASSERT_GT(bytes.size(), kWavHeaderBytes);
  EXPECT_EQ(bytes.substr(0, 4), "RIFF");
  EXPECT_EQ(U32(bytes, 4), bytes.size() - 8);
  EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(U16(bytes, 20), 1);  // PCM
  EXPECT_EQ(U16(bytes, 22), 2);  // stereo
  EXPECT_EQ(U32(bytes, 24), static_cast<std::uint32_t>(kRate));
  EXPECT_EQ(U16(bytes, 34), 16);
  EXPECT_EQ(bytes.substr(36, 4), "data");
  EXPECT_EQ(U32(bytes, 40), bytes.size() - kWavHeaderBytes);

  std::vector<double> left;
  for (std::size_t at = kWavHeaderBytes; at + 4 <= bytes.size(); at += 4) {
    left.push_back(static_cast<std::int16_t>(U16(bytes, at)));
  }
  // The melody's 16 s, then its release, cut where the audio falls silent.
  const std::size_t melodyFrames = 16 * kRate;
  ASSERT_GT(left.size(), melodyFrames);
  EXPECT_LT(left.size(), melodyFrames + 5 * kRate);
  const auto tailBegin = left.end() - 4096;
  EXPECT_TRUE(std::all_of(tailBegin, left.end(), [](double s) { return s == 0.0; }))
      << "a render ends only once it is silent";
  const double peak = std::abs(*std::max_element(
      left.begin(), left.end(), [](double a, double b) { return std::abs(a) < std::abs(b); }));
  EXPECT_GT(peak, 3000.0) << "loud enough to hear";
  EXPECT_LT(peak, 32767.0) << "not clipped";

  // The strongest pitch classes are the scale's: C D F G A.
  left.resize(melodyFrames);
  const std::array<double, 12> chroma = testing::Chroma(left, kRate);
  const double total = std::accumulate(chroma.begin(), chroma.end(), 0.0);
  double inMode = 0.0;
  bool inScale[12] = {};
  for (int pitch : ModeAt(kPentatonicRow)->pitches) {
    inScale[pitch % 12] = true;
  }
  for (int pc = 0; pc < 12; ++pc) inMode += inScale[pc] ? chroma[pc] : 0.0;
  EXPECT_GT(inMode / total, 0.8);
  std::vector<int> order(12);
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](int a, int b) { return chroma[a] > chroma[b]; });
  for (int rank = 0; rank < 3; ++rank) EXPECT_TRUE(inScale[order[rank]]) << "rank " << rank;
}

TEST(RenderTest, AFailedRenderSaysWhyAndLeavesNoFileBehind) {
  TempDir dir("quillotone-render");
  const fs::path notAFont = dir.path() / "font.sf2";
  std::ofstream(notAFont) << "this is not a SoundFont";
  Invocation badFont = RenderOf(dir.path() / "out.wav", kCycleMicros, 1);
  badFont.soundFont = notAFont.string();
  fs::create_directory(dir.path() / "taken.wav");

  const struct {
    Invocation invocation;
    const char* mustSay;
  } cases[] = {
      {RenderOf(dir.path() / "no-such-dir" / "out.mid", kCycleMicros, 1), "cannot render"},
      {RenderOf(dir.path() / "taken.wav", kCycleMicros, 1), "directory"},
      {RenderOf("/proc/quillotone-test.mid", kCycleMicros, 1), "cannot render"},
      {badFont, "SoundFont"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.invocation.renderPath);
    std::string errors;
    EXPECT_EQ(RenderQuietly(c.invocation, &errors), kUsageError);
    EXPECT_NE(errors.find(c.mustSay), std::string::npos) << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
  }
  EXPECT_EQ(FilesIn(dir.path()), (std::vector<fs::path>{notAFont, dir.path() / "taken.wav"}));
}

TEST(RenderTest, WithoutASeedTheSeedDrawnIsToldAndReplaysTheMelody) {
  TempDir dir("quillotone-render");
  Invocation fresh = RenderOf(dir.path() / "fresh.mid", kCycleMicros, 0);
  fresh.seed.reset();
  std::string errors;
  ASSERT_EQ(RenderQuietly(fresh, &errors), 0);
  ASSERT_TRUE(errors.starts_with("quillotone: seed ")) << errors;
  const std::uint64_t seed = std::stoull(errors.substr(17));
  ASSERT_EQ(RenderQuietly(RenderOf(dir.path() / "replay.mid", kCycleMicros, seed)), 0);
  EXPECT_EQ(ReadBytes(dir.path() / "fresh.mid"), ReadBytes(dir.path() / "replay.mid"));
}

}  // namespace
}  // namespace quillotone
