#include "app/Render.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <vector>

#include "framework/MidiFileWriter.h"
#include "framework/Random.h"
#include "framework/Scheduler.h"
#include "framework/Synth.h"
#include "framework/WavWriter.h"
#include "melody/Melody.h"
#include "melody/Modes.h"

namespace quillotone {
namespace {

namespace fs = std::filesystem;

constexpr int kChannel1 = 0;
constexpr int kChannel2 = 1;
constexpr int kPianoProgram = 0;  // Acoustic Grand Piano, counted from 0
constexpr double kMicrosPerSecond = 1'000'000.0;
// After the last note-off the audio runs on until it is silent, or this long.
constexpr double kMaxReleaseSeconds = 5.0;
constexpr int kBlockFrames = 4096;
// The synth's events are tagged with who sent them; a render is one sender.
constexpr std::uint32_t kRenderSource = 1;

// Where the notes go: a synthesizer rendering audio, or a MIDI file.
class NoteSink {
 public:
  virtual ~NoteSink() = default;
  virtual void Note(double micros, int channel, int note, int velocity) = 0;
  // Every note ends at `micros`; the release follows.
  virtual void End(double micros) = 0;
  virtual void WriteTo(std::ostream& out) = 0;
};

// One of the score's two players: stamps each note with its thread's time.
class ScorePlayer final : public NotePlayer {
 public:
  ScorePlayer(const Scheduler& scheduler, NoteSink& sink, int channel)
      : scheduler_(scheduler), sink_(sink), channel_(channel) {}
  void PlayNote(int note, int velocity) override {
    sink_.Note(scheduler_.Now(), channel_, note, velocity);
  }
  [[nodiscard]] int Instrument() const override { return instrument_; }
  void SetInstrument(int instrument) override { instrument_ = instrument; }

 private:
  const Scheduler& scheduler_;
  NoteSink& sink_;
  int channel_;
  int instrument_ = kPianoProgram + 1;
};

// What a melody sees of the window while it plays: the two players, start
// disabled and stop enabled, for as long as the render lasts.
class Score final : public ControlLookup {
 public:
  Score(const Scheduler& scheduler, NoteSink& sink)
      : player1_(scheduler, sink, kChannel1), player2_(scheduler, sink, kChannel2) {}
  NotePlayer* FindNotePlayer(std::string_view name) override {
    if (name == kMainPlayer) return &player1_;
    if (name == kHeldPlayer) return &player2_;
    return nullptr;
  }
  std::optional<bool> FindEnabled(std::string_view name) override {
    if (name == kPlayButton) return false;
    if (name == kStopButton) return true;
    return std::nullopt;
  }

 private:
  ScorePlayer player1_;
  ScorePlayer player2_;
};

// Time that moves only when the render moves it.
class RenderClock final : public Playhead {
 public:
  [[nodiscard]] double Microseconds() const override { return now; }
  void DropScheduled(std::uint32_t /*source*/) override {}
  double now = 0.0;
};

SynthOptions OfflineOptions(const std::string& soundFont) {
  SynthOptions options;
  options.soundFont = soundFont;
  options.audioOutput = false;
  return options;
}

class WavSink final : public NoteSink {
 public:
  WavSink(const std::string& soundFont, std::ostream& out)
      : synth_(OfflineOptions(soundFont)),
        writer_(out, static_cast<int>(synth_.sampleRate())) {
    synth_.ProgramChange(kChannel1, kPianoProgram);
    synth_.ProgramChange(kChannel2, kPianoProgram);
  }

  void Note(double micros, int channel, int note, int velocity) override {
    // Everything before this note is rendered first, so the synth's queue
    // holds only the notes of one moment; each applies at its own frame.
    RenderUpTo(lastNoteFrame_);
    lastNoteFrame_ = FrameOf(micros);
    synth_.NoteAt(lastNoteFrame_, channel, note, velocity, kRenderSource);
  }

  void End(double micros) override {
    RenderUpTo(FrameOf(micros));
    for (int channel : {kChannel1, kChannel2}) {
      for (int note = kLowestSweptNote; note <= kHighestSweptNote; ++note) {
        synth_.NoteNow(channel, note, 0);
      }
    }
    // The release and the reverb's tail, until a whole block rounds to silence.
    const auto maxFrames = static_cast<std::uint64_t>(kMaxReleaseSeconds * rate());
    for (std::uint64_t tail = 0; tail < maxFrames; tail += kBlockFrames) {
      if (RenderBlock(kBlockFrames)) break;
    }
  }

  void WriteTo(std::ostream& /*out*/) override { writer_.Finish(); }

 private:
  [[nodiscard]] double rate() const { return synth_.sampleRate(); }
  [[nodiscard]] std::uint64_t FrameOf(double micros) const {
    return static_cast<std::uint64_t>(std::llround(micros * rate() / kMicrosPerSecond));
  }

  void RenderUpTo(std::uint64_t frame) {
    while (writer_.frames() < frame) {
      RenderBlock(static_cast<std::size_t>(
          std::min<std::uint64_t>(frame - writer_.frames(), kBlockFrames)));
    }
  }

  // True if the block was silent at 16 bits.
  bool RenderBlock(std::size_t frames) {
    left_.assign(frames, 0.0f);
    right_.assign(frames, 0.0f);
    synth_.Render(left_, right_);
    writer_.Write(left_, right_);
    constexpr float kHalfLsb = 0.5f / 32767.0f;
    for (std::size_t i = 0; i < frames; ++i) {
      if (std::abs(left_[i]) >= kHalfLsb || std::abs(right_[i]) >= kHalfLsb) return false;
    }
    return true;
  }

  Synth synth_;
  WavWriter writer_;
  std::uint64_t lastNoteFrame_ = 0;
  std::vector<float> left_;
  std::vector<float> right_;
};

class MidiSink final : public NoteSink {
 public:
  explicit MidiSink(std::string title)
      : writer_(std::move(title), {kPianoProgram, kPianoProgram}) {}
  void Note(double micros, int channel, int note, int velocity) override {
    writer_.Note(micros, channel, note, velocity);
  }
  void End(double micros) override { writer_.End(micros); }
  void WriteTo(std::ostream& out) override { writer_.Write(out); }

 private:
  MidiFileWriter writer_;
};

// Shows how far a long render has got, on a terminal only.
class Progress {
 public:
  Progress(std::ostream& out, double totalMicros)
      : out_(out), total_(totalMicros), shown_(isatty(STDERR_FILENO) == 1) {}
  ~Progress() {
    if (shown_ && drawn_) out_ << "\r\033[K" << std::flush;
  }
  void Update(double micros) {
    if (!shown_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now < next_) return;
    next_ = now + std::chrono::milliseconds(200);
    out_ << "\rRendering: " << static_cast<int>(100.0 * micros / total_) << " %" << std::flush;
    drawn_ = true;
  }

 private:
  std::ostream& out_;
  double total_;
  bool shown_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point next_ = std::chrono::steady_clock::now();
};

// A file beside the target, removed unless it is renamed into place.
class TemporaryFile {
 public:
  explicit TemporaryFile(const fs::path& target) : target_(target) {
    std::string pattern = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX"));
    const int fd = mkstemp(pattern.data());
    if (fd < 0) return;
    ::close(fd);
    path_ = pattern;
  }
  ~TemporaryFile() {
    if (!path_.empty()) {
      std::error_code ignored;
      fs::remove(path_, ignored);
    }
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  [[nodiscard]] bool created() const { return !path_.empty(); }
  [[nodiscard]] const fs::path& path() const { return path_; }
  void Commit(std::error_code& error) {
    // mkstemp makes the file private; the render is an ordinary file.
    fs::permissions(path_,
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                        fs::perms::others_read,
                    error);
    if (error) return;
    fs::rename(path_, target_, error);
    if (!error) path_.clear();
  }

 private:
  fs::path target_;
  fs::path path_;
};

}  // namespace

int Render(const Invocation& invocation, std::ostream& errors) {
  const fs::path target(invocation.renderPath);
  const auto fail = [&](const std::string& message) {
    errors << "quillotone: cannot render to " << target.string() << ": " << message << '\n';
    return kUsageError;
  };
  std::error_code error;
  if (fs::is_directory(target, error)) return fail("it is a directory");

  const Mode* mode = ModeAt(invocation.mode);
  if (mode == nullptr) return fail("no such mode");
  const std::uint64_t seed = invocation.seed ? *invocation.seed : Random::FreshSeed();
  if (!invocation.seed) errors << "quillotone: seed " << seed << '\n';

  TemporaryFile temporary(target);
  if (!temporary.created()) return fail(std::strerror(errno));
  std::ofstream out(temporary.path(), std::ios::binary | std::ios::trunc);
  if (!out) return fail("the file cannot be written");

  std::unique_ptr<NoteSink> sink;
  try {
    if (invocation.renderFormat == Invocation::Format::Wav) {
      sink = std::make_unique<WavSink>(invocation.soundFont, out);
    } else {
      sink = std::make_unique<MidiSink>("Quillotone: " + std::string(mode->popupText) + ", seed " +
                                        std::to_string(seed));
    }
  } catch (const SynthError& e) {
    errors << "quillotone: " << e.what() << '\n';
    return kUsageError;
  }

  RenderClock clock;
  Scheduler scheduler(clock);
  scheduler.SetErrorReporter(
      [&](const std::string& message) { errors << "quillotone: " << message << '\n'; });
  ThreadContext thread(scheduler, std::string(mode->threadName));
  Score score(scheduler, *sink);
  scheduler.Start(thread, PlayMelody(score, std::make_unique<Random>(seed), mode->pitches));

  // The event loop's part, on render time: a step's notes up to, not at, the
  // end; there the stop ends whatever sounds.
  const double end = invocation.renderMicros;
  Progress progress(errors, end);
  for (;;) {
    while (scheduler.RunReady()) {
    }
    const std::optional<double> deadline = scheduler.NextDeadline();
    if (!deadline || *deadline >= end) break;
    clock.now = *deadline;
    scheduler.RunDue();
    progress.Update(clock.now);
  }
  scheduler.Stop(thread);
  sink->End(end);
  sink->WriteTo(out);
  out.close();
  if (!out) return fail("writing failed (is the disk full?)");

  temporary.Commit(error);
  if (error) return fail(error.message());
  return 0;
}

}  // namespace quillotone
