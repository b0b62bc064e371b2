// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Render.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

#include "app/RenderTarget.h"
#include "framework/Channels.h"
#include "framework/Printable.h"
#include "framework/Random.h"
#include "framework/Units.h"
#include "framework/audio/SoundFontChoice.h"
#include "framework/audio/SoundFontFile.h"
#include "framework/audio/Synth.h"
#include "framework/files/AudioFileWriter.h"
#include "framework/files/MidiFileWriter.h"
#include "framework/threads/Scheduler.h"
#include "melody/Melody.h"
#include "melody/Modes.h"

namespace quillotone {
namespace {

constexpr int kPianoProgram = 0;  // Acoustic Grand Piano, counted from 0
constexpr double kSampleRate = 44100.0;
// Opus knows no 44.1 kHz; its own rate spares a resampling.
constexpr double kOpusRate = 48000.0;
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
  // Completes the file.
  virtual void Finish() = 0;
};

// What ends a render early: the exit status and the one line that says why.
struct RenderFailure {
  int status;
  std::string message;
};

// FluidSynth, and the SoundFont loader it falls back on, print lines of
// their own about a damaged SoundFont (its error is ours to say, once).
// Whatever they print goes nowhere while this lives.
class LibraryOutputMuted {
 public:
  LibraryOutputMuted() : saved_(dup(STDERR_FILENO)) {
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0) {
      dup2(null, STDERR_FILENO);
      close(null);
    }
  }
  ~LibraryOutputMuted() {
    if (saved_ < 0) return;
    dup2(saved_, STDERR_FILENO);
    close(saved_);
  }
  LibraryOutputMuted(const LibraryOutputMuted&) = delete;
  LibraryOutputMuted& operator=(const LibraryOutputMuted&) = delete;

 private:
  int saved_;
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
      : player1_(scheduler, sink, kNotePlayer1Channel),
        player2_(scheduler, sink, kNotePlayer2Channel) {}
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
  // Nothing is heard live: a render's time is its own.
  [[nodiscard]] double HeardAtMonotonicMicros(double micros) const override { return micros; }
  void DropScheduled(std::uint32_t /*source*/) override {}
  double now = 0.0;
};

std::unique_ptr<Synth> OfflineSynth(const std::string& soundFont, double sampleRate) {
  SynthOptions options;
  options.soundFont = soundFont;
  options.sampleRate = sampleRate;
  const LibraryOutputMuted muted;
  auto synth = std::make_unique<Synth>(options);
  synth->ProgramChange(kNotePlayer1Channel, kPianoProgram);
  synth->ProgramChange(kNotePlayer2Channel, kPianoProgram);
  return synth;
}

class AudioSink final : public NoteSink {
 public:
  AudioSink(const std::string& soundFont, AudioFileWriter::Format format, int fd)
      : synth_(OfflineSynth(soundFont,
                            format == AudioFileWriter::Format::Opus ? kOpusRate : kSampleRate)),
        writer_(fd, format, static_cast<int>(synth_->sampleRate())) {}

  void Note(double micros, int channel, int note, int velocity) override {
    // Everything before this note is rendered first, so the synth's queue
    // holds only the notes of one moment; each applies at its own frame.
    RenderUpTo(lastNoteFrame_);
    lastNoteFrame_ = FrameOf(micros);
    synth_->NoteAt(lastNoteFrame_, channel, note, velocity, kRenderSource);
  }

  void End(double micros) override {
    RenderUpTo(FrameOf(micros));
    for (int channel : {kNotePlayer1Channel, kNotePlayer2Channel}) {
      for (int note = kLowestSweptNote; note <= kHighestSweptNote; ++note) {
        synth_->NoteNow(channel, note, 0);
      }
    }
    // The release and the reverb's tail, until a whole block rounds to silence.
    const auto maxFrames = static_cast<std::uint64_t>(kMaxReleaseSeconds * rate());
    for (std::uint64_t tail = 0; tail < maxFrames; tail += kBlockFrames) {
      if (RenderBlock(kBlockFrames)) break;
    }
  }

  void Finish() override { writer_.Finish(); }

 private:
  [[nodiscard]] double rate() const { return synth_->sampleRate(); }
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
    {
      // Samples load as notes first need them, and may fail then.
      const LibraryOutputMuted muted;
      synth_->Render(left_, right_);
    }
    writer_.Write(left_, right_);
    constexpr float kHalfLsb = 0.5f / 32767.0f;
    for (std::size_t i = 0; i < frames; ++i) {
      if (std::abs(left_[i]) >= kHalfLsb || std::abs(right_[i]) >= kHalfLsb) return false;
    }
    return true;
  }

  std::unique_ptr<Synth> synth_;
  AudioFileWriter writer_;
  std::uint64_t lastNoteFrame_ = 0;
  std::vector<float> left_;
  std::vector<float> right_;
};

class MidiSink final : public NoteSink {
 public:
  MidiSink(std::string title, int fd)
      : writer_(std::move(title), {kPianoProgram, kPianoProgram}), fd_(fd) {}
  void Note(double micros, int channel, int note, int velocity) override {
    writer_.Note(micros, channel, note, velocity);
  }
  void End(double micros) override { writer_.End(micros); }
  void Finish() override {
    const std::vector<unsigned char> bytes = writer_.Bytes();
    for (std::size_t done = 0; done < bytes.size();) {
      const ssize_t put = write(fd_, bytes.data() + done, bytes.size() - done);
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) throw AudioFileError(std::string("writing failed: ") + std::strerror(errno));
      done += static_cast<std::size_t>(put);
    }
  }

 private:
  MidiFileWriter writer_;
  int fd_;
};

// Shows how far a long render has got, on a terminal only; gone before any
// message that follows.
class Progress {
 public:
  Progress(std::ostream& out, double totalMicros)
      : out_(out), total_(totalMicros), shown_(isatty(STDERR_FILENO) == 1) {}
  ~Progress() {
    if (shown_ && drawn_) out_ << "\r\033[K" << std::flush;
  }
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
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

AudioFileWriter::Format AudioFormat(const Invocation& invocation) {
  switch (invocation.renderFormat) {
    case Invocation::Format::Flac:
      return AudioFileWriter::Format::Flac;
    case Invocation::Format::Ogg:
      return AudioFileWriter::Format::Ogg;
    case Invocation::Format::Opus:
      return AudioFileWriter::Format::Opus;
    case Invocation::Format::Mp3:
      return AudioFileWriter::Format::Mp3;
    default: {
      // The plain WAV file every program reads, unless the longest this
      // render can be (its release included) needs RF64's 64-bit sizes.
      constexpr double kBytesPerSecond = kSampleRate * 2 * sizeof(std::int16_t);
      const double longest = invocation.renderMicros / kMicrosPerSecond + kMaxReleaseSeconds + 1;
      return longest * kBytesPerSecond < AudioFileWriter::kMaxWavDataBytes
                 ? AudioFileWriter::Format::Wav
                 : AudioFileWriter::Format::Rf64;
    }
  }
}

// The SoundFont a render plays with, as the window chooses it; one the
// variable names is checked here, as the command line checks its own.
std::string SoundFontFor(const Invocation& invocation) {
  SoundFontChoice choice;
  try {
    choice = ChooseSoundFont(invocation.soundFont);
  } catch (const SynthError& e) {
    throw RenderFailure{kUsageError, e.what()};
  }
  if (choice.namedBy == kSoundFontVariable) {
    if (const std::optional<std::string> problem = SoundFontProblem(choice.path)) {
      throw RenderFailure{kUsageError, std::string(kSoundFontVariable) + ": " + *problem};
    }
  }
  return choice.path;
}

// Renders, and returns the seed it played. Throws RenderFailure.
std::uint64_t RenderMelody(const Invocation& invocation, std::ostream& errors) {
  const std::string shown =
      invocation.renderPath == kStandardOutput ? "standard output" : invocation.renderPath;
  const auto cannot = [&](int status, const std::string& why) {
    return RenderFailure{status, "cannot render to " + shown + ": " + why};
  };
  const Mode* mode = ModeAt(invocation.mode);
  if (mode == nullptr) throw cannot(kUsageError, "no such mode");
  const bool audio = invocation.renderFormat != Invocation::Format::Midi;
  const std::string soundFont = audio ? SoundFontFor(invocation) : std::string();
  const std::uint64_t seed = invocation.seed ? *invocation.seed : Random::FreshSeed();

  std::unique_ptr<RenderTarget> target;
  try {
    target = std::make_unique<RenderTarget>(invocation.renderPath);
  } catch (const RenderTargetError& e) {
    throw cannot(kUsageError, e.what());
  }
  std::unique_ptr<NoteSink> sink;
  try {
    if (audio) {
      sink = std::make_unique<AudioSink>(soundFont, AudioFormat(invocation), target->fd());
    } else {
      sink = std::make_unique<MidiSink>(
          "Quillotone: " + std::string(mode->popupText) + ", seed " + std::to_string(seed),
          target->fd());
    }
  } catch (const SynthError& e) {
    throw RenderFailure{kUsageError, e.what()};
  } catch (const AudioFileError& e) {
    throw cannot(kRenderFailed, e.what());
  }

  try {
    RenderClock clock;
    Scheduler scheduler(clock);
    // A failed write ends the melody's thread; the render ends with it, and
    // says what failed rather than which thread it was in.
    std::string stopped;
    std::exception_ptr why;
    scheduler.SetErrorReporter([&](const std::string& message) {
      if (!stopped.empty()) return;
      stopped = message;
      why = std::current_exception();
    });
    const auto endIfStopped = [&] {
      if (why) std::rethrow_exception(why);
      if (!stopped.empty()) throw RenderFailure{kRenderFailed, stopped};
    };
    ThreadContext thread(scheduler, std::string(mode->threadName));
    Score score(scheduler, *sink);
    scheduler.Start(thread, PlayMelody(score, std::make_unique<Random>(seed), mode->pitches));

    // The event loop's part, on render time: a step's notes up to, not at,
    // the end; there the stop ends whatever sounds.
    const double end = invocation.renderMicros;
    Progress progress(errors, end);
    for (;;) {
      while (scheduler.RunReady()) {
      }
      endIfStopped();
      const std::optional<double> deadline = scheduler.NextDeadline();
      if (!deadline || *deadline >= end) break;
      clock.now = *deadline;
      scheduler.RunDue();
      endIfStopped();
      progress.Update(clock.now);
    }
    scheduler.Stop(thread);
    sink->End(end);
    sink->Finish();
    target->Commit();
  } catch (const AudioFileError& e) {
    throw cannot(kRenderFailed, e.what());
  } catch (const RenderTargetError& e) {
    throw cannot(kRenderFailed, e.what());
  }
  return seed;
}

}  // namespace

int Render(const Invocation& invocation, std::ostream& errors) {
  try {
    const std::uint64_t seed = RenderMelody(invocation, errors);
    if (!invocation.seed) errors << "quillotone: seed " << seed << '\n';
    return 0;
  } catch (const RenderFailure& failure) {
    errors << "quillotone: " << Printable(failure.message) << '\n';
    return failure.status;
  }
}

}  // namespace quillotone
