#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QStringList>
#include <filesystem>
#include <fstream>

#include "app/CommandLine.h"
#include "melody/Melody.h"

namespace quillotone {
namespace {

namespace fs = std::filesystem;

ParsedCommandLine Parse(QStringList arguments) {
  arguments.prepend(QStringLiteral("quillotone"));
  return ParseCommandLine(arguments);
}

// A real SoundFont (Debian's timgm6mb-soundfont, which the tests install).
const QString kSoundFont = QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2");

TEST(CommandLineTest, NoArgumentsOpenTheWindowAsBefore) {
  const ParsedCommandLine parsed = Parse({});
  ASSERT_TRUE(parsed.invocation);
  EXPECT_FALSE(parsed.invocation->renders());
  EXPECT_EQ(parsed.invocation->mode, 0);
  EXPECT_FALSE(parsed.invocation->seed);
  EXPECT_TRUE(parsed.invocation->soundFont.empty());
  EXPECT_FALSE(parsed.invocation->midiOut);
  EXPECT_TRUE(parsed.invocation->synth);
  EXPECT_TRUE(parsed.error.empty());
}

TEST(CommandLineTest, ReadsEveryWindowOption) {
  const ParsedCommandLine parsed = Parse({"--mode", "Pentatonic", "--seed=18446744073709551615",
                                          "--soundfont", kSoundFont, "--midi-out", "--no-synth"});
  ASSERT_TRUE(parsed.invocation) << parsed.error;
  EXPECT_EQ(parsed.invocation->mode, 7);
  EXPECT_EQ(parsed.invocation->seed, 18446744073709551615ull);
  EXPECT_EQ(QString::fromStdString(parsed.invocation->soundFont), kSoundFont);
  EXPECT_TRUE(parsed.invocation->midiOut);
  EXPECT_FALSE(parsed.invocation->synth);

  // Each popup row has its word.
  const char* names[] = {"dorian",  "phrygian", "lydian", "mixolydian",
                         "aeolian", "ionian",   "blues",  "pentatonic"};
  for (int row = 0; row < 8; ++row) {
    EXPECT_EQ(Parse({"--mode", names[row]}).invocation->mode, row) << names[row];
  }
}

TEST(CommandLineTest, ReadsRenders) {
  ParsedCommandLine parsed = Parse({"--render", "out.wav", "--cycles", "3", "--seed", "0"});
  ASSERT_TRUE(parsed.invocation) << parsed.error;
  EXPECT_TRUE(parsed.invocation->renders());
  EXPECT_EQ(parsed.invocation->renderPath, "out.wav");
  EXPECT_EQ(parsed.invocation->renderFormat, Invocation::Format::Wav);
  EXPECT_EQ(parsed.invocation->renderMicros, 3 * kCycleMicros);
  EXPECT_EQ(parsed.invocation->seed, 0u);

  parsed = Parse({"--render=Song.MID", "--seconds", "2.5"});
  ASSERT_TRUE(parsed.invocation) << parsed.error;
  EXPECT_EQ(parsed.invocation->renderFormat, Invocation::Format::Midi);
  EXPECT_EQ(parsed.invocation->renderMicros, 2'500'000.0);

  // A MIDI file may be much longer than a WAV file can be.
  EXPECT_TRUE(Parse({"--render", "long.mid", "--seconds", "360000"}).invocation);
  EXPECT_FALSE(Parse({"--render", "long.wav", "--seconds", "360000"}).invocation);
}

TEST(CommandLineTest, HelpAndVersionPrintAndExitWithSuccess) {
  const ParsedCommandLine help = Parse({"--help"});
  EXPECT_FALSE(help.invocation);
  EXPECT_EQ(help.exitStatus, 0);
  for (const char* option : {"--mode", "--seed", "--soundfont", "--render", "--cycles", "--seconds",
                             "--midi-out", "--no-synth", "--version"}) {
    EXPECT_NE(help.output.find(option), std::string::npos) << option;
  }
  EXPECT_NE(help.output.find("Usage: quillotone"), std::string::npos) << help.output;

  const ParsedCommandLine version = Parse({"--version"});
  EXPECT_FALSE(version.invocation);
  EXPECT_EQ(version.exitStatus, 0);
  EXPECT_EQ(version.output, "quillotone 1.0\n");
}

TEST(CommandLineTest, EveryBadInputIsOneLineAndStatusTwo) {
  const fs::path missing = fs::temp_directory_path() / "quillotone-no-such-font.sf2";
  const struct {
    QStringList arguments;
    const char* mustSay;
  } cases[] = {
      {{"--mode", "locrian"},
       "dorian, phrygian, lydian, mixolydian, aeolian, ionian, blues, "
       "pentatonic"},
      {{"--mode", "dorian mode"}, "unknown mode"},
      {{"--seed", "twelve"}, "--seed"},
      {{"--seed", "-1"}, "--seed"},
      {{"--seed", "1.5"}, "--seed"},
      {{"--seed", " 7"}, "--seed"},
      {{"--seed", "18446744073709551616"}, "--seed"},
      {{"--soundfont", QString::fromStdString(missing.string())}, "SoundFont not found"},
      {{"--soundfont", QString::fromStdString(fs::temp_directory_path().string())}, "is a folder"},
      {{"--soundfont", "/etc/hostname"}, "is not a SoundFont"},
      {{"--render", "out.mp3", "--cycles", "1"}, ".wav or .mid"},
      {{"--render", "out.wav"}, "--cycles or --seconds"},
      {{"--render", "out.wav", "--cycles", "1", "--seconds", "1"}, "--cycles or --seconds"},
      {{"--render", "out.wav", "--cycles", "0"}, "--cycles"},
      {{"--render", "out.wav", "--cycles", "many"}, "--cycles"},
      {{"--render", "out.wav", "--seconds", "-1"}, "--seconds"},
      {{"--render", "out.wav", "--seconds", "nan"}, "--seconds"},
      {{"--render", "out.wav", "--seconds", "inf"}, "--seconds"},
      {{"--render", "out.wav", "--seconds", "24301"}, "6 h 45 min"},
      {{"--cycles", "2"}, "go with --render"},
      {{"--render", "out.mid", "--cycles", "1", "--midi-out"}, "exclude each other"},
      {{"--no-synth"}, "--no-synth needs --midi-out"},
      {{"--loud"}, "Unknown option"},
      {{"--mode"}, "Missing value"},
      {{"song.wav"}, "unexpected argument"},
  };
  for (const auto& c : cases) {
    const ParsedCommandLine parsed = Parse(c.arguments);
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    EXPECT_FALSE(parsed.invocation);
    EXPECT_EQ(parsed.exitStatus, kUsageError);
    EXPECT_TRUE(parsed.output.empty());
    ASSERT_FALSE(parsed.error.empty());
    EXPECT_TRUE(parsed.error.starts_with("quillotone: ")) << parsed.error;
    EXPECT_EQ(parsed.error.find('\n'), parsed.error.size() - 1) << "one line: " << parsed.error;
    EXPECT_NE(parsed.error.find(c.mustSay), std::string::npos) << parsed.error;
  }
}

TEST(CommandLineTest, ASoundFontThatIsNoFileIsRefusedWithoutWaiting) {
  // Reading a pipe would wait for a writer for ever; a device may never end.
  const fs::path pipe = fs::temp_directory_path() / "quillotone-command-line-test.pipe";
  fs::remove(pipe);
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  for (const fs::path& path : {pipe, fs::path("/dev/zero")}) {
    const ParsedCommandLine parsed = Parse({"--soundfont", QString::fromStdString(path.string())});
    EXPECT_EQ(parsed.exitStatus, kUsageError) << path;
    EXPECT_NE(parsed.error.find("not a regular file"), std::string::npos) << parsed.error;
  }
  fs::remove(pipe);
}

}  // namespace
}  // namespace quillotone
