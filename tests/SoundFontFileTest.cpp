// SoundFonts that are not what they should be: each is refused in words that
// name the file and the problem, and none crashes or hangs the synth.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "framework/SoundFontFile.h"
#include "framework/Synth.h"
#include "support/TempDir.h"

namespace quillotone {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSmallSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
constexpr std::size_t kRenderFrames = 4410;

SynthOptions Offline(const std::string& soundFont) {
  SynthOptions options;
  options.soundFont = soundFont;
  options.audioOutput = false;
  return options;
}

// A file of `bytes` named `name` in `dir`.
fs::path WriteFile(const testing::TempDir& dir, const std::string& name,
                   const std::vector<char>& bytes) {
  const fs::path file = dir.path() / name;
  std::ofstream(file, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return file;
}

std::vector<char> ReadAll(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<char> RandomBytes(std::mt19937& draw, std::size_t size) {
  std::vector<char> bytes(size);
  for (char& byte : bytes) byte = static_cast<char>(draw());
  return bytes;
}

void PutLittleEndian32(std::vector<char>& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// The problem the guard names for `path`, and that the synth refuses the file
// with the same words (and the file's name) rather than crashing or hanging.
std::string RefusedWith(const fs::path& path) {
  const std::optional<std::string> problem = SoundFontProblem(path.string());
  if (!problem) return "accepted";
  try {
    Synth synth(Offline(path.string()));
    return "a synth was made";
  } catch (const SynthError& e) {
    if (std::string(e.what()) != *problem) return std::string("the synth said: ") + e.what();
  }
  if (problem->find(path.string()) == std::string::npos) return "unnamed: " + *problem;
  return *problem;
}

// Refused, in the words expected, with what to do about it.
::testing::AssertionResult Refused(const fs::path& path, const std::string& words) {
  const std::string said = RefusedWith(path);
  if (said.find(words) == std::string::npos ||
      said.find("QUILLOTONE_SOUNDFONT") == std::string::npos)
    return ::testing::AssertionFailure() << path << ": " << said;
  return ::testing::AssertionSuccess();
}

TEST(SoundFontFileTest, TheRealSoundFontsPass) {
  for (const char* path : {kSmallSoundFont, "/usr/share/sounds/sf2/FluidR3_GM.sf2",
                           "/usr/share/sounds/sf2/default-GM.sf2"}) {
    EXPECT_EQ(SoundFontProblem(path), std::nullopt) << path;
  }
}

TEST(SoundFontFileTest, EmptyRandomAndForeignFilesAreRefused) {
  const testing::TempDir scratch("quillotone-sf");
  std::mt19937 draw(11);
  EXPECT_TRUE(Refused(WriteFile(scratch, "empty.sf2", {}), "is empty"));
  for (const std::size_t size : {1u, 11u, 12u, 100u, 10'000u, 1'000'000u}) {
    EXPECT_TRUE(
        Refused(WriteFile(scratch, "random.sf2", RandomBytes(draw, size)), "not a SoundFont"));
  }
  // A RIFF file of another kind (a WAV file's header).
  std::vector<char> wave = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  PutLittleEndian32(wave, 4, 4);
  EXPECT_TRUE(Refused(WriteFile(scratch, "wave.sf2", wave), "not a SoundFont"));
  // The right first twelve bytes and a consistent size, then noise.
  for (const std::size_t size : {12u, 20u, 1000u, 100'000u}) {
    std::vector<char> noise = RandomBytes(draw, size);
    std::copy_n("RIFF....sfbk", 12, noise.begin());
    PutLittleEndian32(noise, 4, static_cast<std::uint32_t>(size - 8));
    EXPECT_TRUE(Refused(WriteFile(scratch, "noise.sf2", noise), "is damaged"));
  }
}

TEST(SoundFontFileTest, TruncatedAnywhereIsRefusedAsIncomplete) {
  const testing::TempDir scratch("quillotone-sf");
  const fs::path file = WriteFile(scratch, "cut.sf2", ReadAll(kSmallSoundFont));
  const std::uintmax_t size = fs::file_size(file);
  ASSERT_GT(size, 5'800'000u);
  // The file header, the information part, the samples, the start of the
  // presets (at 5764456 in this file), then anywhere, then one byte short.
  std::vector<std::uintmax_t> cuts = {
      12,      13,        20,        91,        92,        100,       108,       1000,
      100'000, 3'000'000, 5'764'455, 5'764'456, 5'764'464, 5'764'470, 5'800'000, size - 1};
  std::mt19937 draw(12);
  for (int i = 0; i < 48; ++i)
    cuts.push_back(std::uniform_int_distribution<std::uintmax_t>(12, size - 1)(draw));
  // Cut from the longest down: each cut is one truncate, not a copy.
  std::sort(cuts.begin(), cuts.end(), std::greater<>());
  for (const std::uintmax_t cut : cuts) {
    fs::resize_file(file, cut);
    EXPECT_TRUE(Refused(file, "is incomplete")) << " cut at " << cut;
  }
  for (const std::uintmax_t cut : {11u, 4u, 1u}) {
    fs::resize_file(file, cut);
    EXPECT_TRUE(Refused(file, "not a SoundFont")) << " cut at " << cut;
  }
}

TEST(SoundFontFileTest, PathsThatAreNotFilesAreRefused) {
  const testing::TempDir scratch("quillotone-sf");
  EXPECT_TRUE(Refused(scratch.path() / "missing.sf2", "not found"));
  const fs::path plain = WriteFile(scratch, "plain.sf2", ReadAll(kSmallSoundFont));
  EXPECT_TRUE(Refused(plain / "inside.sf2", "not found"));  // a file used as a folder

  const fs::path folder = scratch.path() / "folder.sf2";
  fs::create_directory(folder);
  EXPECT_TRUE(Refused(folder, "is a folder"));

  // FluidSynth itself would wait here forever for someone to write.
  const fs::path pipe = scratch.path() / "pipe.sf2";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_TRUE(Refused(pipe, "not a regular file"));
  EXPECT_TRUE(Refused(fs::path("/dev/zero"), "not a regular file"));
}

TEST(SoundFontFileTest, UnreadableFileIsRefused) {
  const testing::TempDir scratch("quillotone-sf");
  const fs::path locked = WriteFile(scratch, "locked.sf2", ReadAll(kSmallSoundFont));
  fs::permissions(locked, fs::perms::none);
  if (geteuid() == 0) {
    // Root reads the file whatever its permissions, so here a child that has
    // given up root (to nobody) checks it; the folder lets nobody through, so
    // the file's own permissions are what stop it.
    fs::permissions(scratch.path(), fs::perms::others_exec, fs::perm_options::add);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
          if (setgid(65534) != 0 || setuid(65534) != 0) std::_Exit(3);
          const std::optional<std::string> problem = SoundFontProblem(locked.string());
          std::fprintf(stderr, "%s\n", problem ? problem->c_str() : "accepted");
          std::_Exit(problem ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "permission denied");
    return;
  }
  EXPECT_TRUE(Refused(locked, "permission denied"));
}

// FluidSynth (2.3) loses a few kilobytes inside fluid_synth_sfload when it
// gives up on damaged preset data. LeakSanitizer looks away for that one call
// only: a suppression naming FluidSynth would hide a synth we forgot to free.
std::unique_ptr<Synth> LoadDamaged(const fs::path& file) {
#if defined(__SANITIZE_ADDRESS__)
  const __lsan::ScopedDisabler fluidSynthLosesMemory;
#endif
  return std::make_unique<Synth>(Offline(file.string()));
}

// Files whose outer structure is sound but whose preset data is damaged get
// past the guard to FluidSynth's own parser: it must refuse them or load them,
// never crash. (Run under the sanitizers too, which watch our side of it.)
TEST(SoundFontFileTest, DamagedPresetsNeverCrashTheSynth) {
  const testing::TempDir scratch("quillotone-sf");
  const std::vector<char> original = ReadAll(kSmallSoundFont);
  constexpr std::size_t kPresetsStart = 5'764'456;
  ASSERT_GT(original.size(), kPresetsStart);
  std::mt19937 draw(13);
  int loaded = 0;
  int refused = 0;
  constexpr int kFiles = 24;
  for (int i = 0; i < kFiles; ++i) {
    std::vector<char> damaged = original;
    const int bytes = std::uniform_int_distribution<int>(1, 64)(draw);
    for (int b = 0; b < bytes; ++b) {
      const std::size_t at =
          std::uniform_int_distribution<std::size_t>(kPresetsStart + 12, damaged.size() - 1)(draw);
      damaged[at] = static_cast<char>(draw());
    }
    const fs::path file = WriteFile(scratch, "damaged.sf2", damaged);
    ASSERT_EQ(SoundFontProblem(file.string()), std::nullopt) << "the guard should pass it on";
    try {
      const std::unique_ptr<Synth> synth = LoadDamaged(file);
      for (int channel = 0; channel < 2; ++channel) {
        for (int note = 24; note <= 96; note += 6) synth->NoteNow(channel, note, 100);
      }
      std::vector<float> left(kRenderFrames), right(kRenderFrames);
      synth->Render(left, right);
      ++loaded;
    } catch (const SynthError& e) {
      EXPECT_NE(std::string(e.what()).find(file.string()), std::string::npos) << e.what();
      ++refused;
    }
  }
  EXPECT_EQ(loaded + refused, kFiles);
}

}  // namespace
}  // namespace quillotone
