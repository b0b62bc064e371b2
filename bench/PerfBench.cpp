// SPDX-License-Identifier: GPL-3.0-or-later
// The program's figures side by side with the straightforward design's, in
// one table: rhythm heard through a real sound server, CPU, wake-ups,
// memory, start-up and stop. Runs a private PulseAudio server with a null
// sink; each measurement is a child process of this program, so that CPU
// time and peak memory are each run's own.
//
//   perf_bench            the full table (about six minutes)
//   perf_bench --quick    shorter runs, for a first look
//   perf_bench --first-sound [starts]   click to first sound heard, on
//                         PulseAudio and on PipeWire (about two minutes)
//
// For trying a lever: QUILLOTONE_BENCH_ONLY=<play|idle|startup|start|stop>
// runs that one scenario and prints its raw figures, for the designs named
// in QUILLOTONE_BENCH_DESIGN (engine, baseline or spin; default all three),
// with the SoundFont in QUILLOTONE_BENCH_FONT ("held" for the held tone).
#include <sys/resource.h>
#include <time.h>

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Baseline.h"
#include "Child.h"
#include "ClickSoundFont.h"
#include "app/App.h"
#include "framework/audio/AudioTiming.h"
#include "framework/threads/EventLoopScheduler.h"
#include "ui/MenuBar1.h"
#include "ui/Window1.h"

using namespace quillotone;
using namespace quillotone::bench;

namespace {

// A private sound server (tests/sound_server.sh): PulseAudio or PipeWire,
// with a null sink whose monitor is recorded. Gone with this object.
class SoundServer {
 public:
  static constexpr const char* kSinkName = "quillotone_test";
  explicit SoundServer(std::string kind = "pulseaudio") : kind_(std::move(kind)) {
    char pattern[] = "/tmp/quillotone-bench-XXXXXX";
    if (mkdtemp(pattern) != nullptr) dir_ = pattern;
  }
  ~SoundServer() {
    Stop();
    std::error_code error;
    fs::remove_all(dir_, error);
  }
  bool Start() {
    const std::string command = std::string(QUILLOTONE_SOUND_SERVER) + " start " + kind_ + " " +
                                dir_.string() + " " + std::to_string(getpid());
    return !dir_.empty() && std::system(command.c_str()) == 0;
  }
  void Stop() {
    if (dir_.empty()) return;
    const std::string command = std::string(QUILLOTONE_SOUND_SERVER) + " stop " + dir_.string();
    [[maybe_unused]] const int status = std::system(command.c_str());
  }
  [[nodiscard]] std::string server() const { return "unix:" + (dir_ / "pulse/native").string(); }
  [[nodiscard]] const fs::path& dir() const { return dir_; }
  [[nodiscard]] std::string log() const { return ReadText(dir_ / (kind_ + ".log")); }
  [[nodiscard]] const std::string& kind() const { return kind_; }

 private:
  std::string kind_;
  fs::path dir_;
};

constexpr int kRate = 44100;
constexpr int kPeriodFrames = 512;  // the same audio periods for both designs
constexpr int kPeriods = 4;
constexpr const char* kFluidR3 = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
constexpr const char* kTimGM6mb = "/usr/share/sounds/sf2/TimGM6mb.sf2";
// The melody's grid: 30 steps of 250 ms, then 4 of 125 ms.
constexpr int kLongSteps = 30;
constexpr int kStepsPerCycle = 34;
constexpr double kLongFrames = kRate * 0.25;
constexpr double kShortFrames = kRate * 0.125;
constexpr double kCycleSeconds = 8.0;

double MonotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

double MainThreadCpuSeconds() {
  timespec cpu{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
  return cpu.tv_sec + cpu.tv_nsec / 1e9;
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A field of /proc/self/status, or of the main thread's own status.
long StatusField(const char* path, const std::string& field) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.starts_with(field + ":")) return std::atol(line.c_str() + field.size() + 1);
  }
  return -1;
}

// Each time the main thread sleeps and is woken again counts one voluntary
// context switch.
long MainThreadWakeups() {
  const std::string path = "/proc/self/task/" + std::to_string(getpid()) + "/status";
  return StatusField(path.c_str(), "voluntary_ctxt_switches");
}

class NoMessages final : public MessageSink {
 public:
  void Show(const QString&) override {}
};

// --- Child: one design, one scenario ------------------------------------------

struct ChildArgs {
  std::string scenario;  // play, idle, startup, stop
  std::string design;    // engine, baseline (timed waits), spin (spin waits)
  std::string soundFont;
  double seconds = 0;
  double spawnedMs = 0;  // CLOCK_MONOTONIC when the parent started this process
};

// The parts of the straightforward design, made in its order: synth first,
// then the window.
struct BaselineProgram {
  BaselineProgram(const ChildArgs& args)
      : synth(args.soundFont, kPeriodFrames, kPeriods),
        timed(args.design == "baseline" ? std::make_unique<EventLoopScheduler>(playhead) : nullptr),
        spin(args.design == "spin" ? std::make_unique<SpinDriver>(playhead) : nullptr),
        window(WindowServices{
            .scheduler = timed ? timed->scheduler() : spin->scheduler(),
            .menuBar = *new MenuBar1(),  // the window takes it
            .messages = messages,
            .makeNotePlayer = [this](int channel, const QString& name, QObject* parent)
                -> QObject* { return new DirectNotePlayer(synth.get(), channel, name, parent); },
            .makeRandom = [] { return std::make_unique<Random>(1); },
            .yield = [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); },
            .afterStopSweep = {},
        }) {
    window.show();
  }

  BaselineSynth synth;
  WallPlayhead playhead;
  std::unique_ptr<EventLoopScheduler> timed;
  std::unique_ptr<SpinDriver> spin;
  NoMessages messages;
  Window1 window;
};

class FirstPaint : public QObject {
 public:
  double ms = -1;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && ms < 0) ms = MonotonicMs();
    return QObject::eventFilter(watched, event);
  }
};

int RunChild(int argc, char** argv, const ChildArgs& args) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("QUILLOTONE_SOUNDFONT", QByteArray::fromStdString(args.soundFont));
  FirstPaint paint;
  std::unique_ptr<App> app;
  std::unique_ptr<QApplication> plainApp;
  std::unique_ptr<BaselineProgram> baseline;
  NoMessages messages;
  double readyMs = -1;
  QWidget* window = nullptr;
  const std::function<int()> voices = [&] {
    return app ? (app->synthHost().synth() ? app->synthHost().synth()->ActiveVoices() : 0)
               : fluid_synth_get_active_voice_count(baseline->synth.get());
  };

  if (args.design == "engine") {
    app = std::make_unique<App>(argc, argv);
    app->installEventFilter(&paint);
    App::Options options;
    options.seed = 1;
    app->SetOptions(options);
    app->SetMessageSink(&messages);
    QObject::connect(&app->synthHost(), &SynthHost::ready, [&] { readyMs = MonotonicMs(); });
    QObject::connect(&app->synthHost(), &SynthHost::failed, [](const QString& m) {
      std::fprintf(stderr, "synth failed: %s\n", m.toStdString().c_str());
      std::exit(3);
    });
    auto steps = app->StartupSteps();
    steps.pop_back();
    Main(steps, [](std::exception_ptr) { std::exit(3); });
    window = &app->window1();
  } else {
    plainApp = std::make_unique<QApplication>(argc, argv);
    plainApp->installEventFilter(&paint);
    baseline = std::make_unique<BaselineProgram>(args);
    readyMs = MonotonicMs();  // the synth came first
    window = &baseline->window;
  }
  auto* play = window->findChild<QPushButton*>("play");
  auto* stop = window->findChild<QPushButton*>("stop");

  // Results go to stdout as name=value, read by the parent.
  double cpuFrom = 0, wallFrom = 0, mainCpuFrom = 0;
  long wakeupsFrom = 0;
  const auto begin = [&] {
    cpuFrom = CpuSeconds();
    mainCpuFrom = MainThreadCpuSeconds();
    wallFrom = MonotonicMs();
    wakeupsFrom = MainThreadWakeups();
  };
  const auto report = [&] {
    const double wall = (MonotonicMs() - wallFrom) / 1000.0;
    std::printf("cpu_percent=%.4f\n", 100.0 * (CpuSeconds() - cpuFrom) / wall);
    std::printf("main_cpu_percent=%.4f\n", 100.0 * (MainThreadCpuSeconds() - mainCpuFrom) / wall);
    std::printf("wakeups_per_s=%.2f\n", (MainThreadWakeups() - wakeupsFrom) / wall);
    std::printf("peak_rss_mb=%.1f\n", StatusField("/proc/self/status", "VmHWM") / 1024.0);
    std::fflush(stdout);
    QCoreApplication::exit(0);
  };
  // Once the synth can play: a second more to settle, then the scenario.
  QTimer waitReady;
  QObject::connect(&waitReady, &QTimer::timeout, [&] {
    if (readyMs < 0) return;
    waitReady.stop();
    if (args.scenario == "startup") {
      std::printf("window_ms=%.1f\nready_ms=%.1f\n", paint.ms - args.spawnedMs,
                  readyMs - args.spawnedMs);
      std::fflush(stdout);
      QCoreApplication::exit(0);
    } else if (args.scenario == "play") {
      QTimer::singleShot(1000, [&] {
        play->click();
        begin();
        QTimer::singleShot(static_cast<int>(args.seconds * 1000), report);
      });
    } else if (args.scenario == "idle") {
      // Past the time an idle output takes to close.
      QTimer::singleShot(static_cast<int>(audio::kIdleCloseMicros / 1000) + 1000, [&] {
        begin();
        QTimer::singleShot(static_cast<int>(args.seconds * 1000), report);
      });
    } else if (args.scenario == "start") {
      // From idle, with the engine's output closed by then.
      QTimer::singleShot(static_cast<int>(audio::kIdleCloseMicros / 1000) + 1000, [&] {
        const double clicked = MonotonicMs();
        play->click();
        auto* poll = new QTimer(window);
        poll->setTimerType(Qt::PreciseTimer);
        QObject::connect(poll, &QTimer::timeout, [&, clicked] {
          if (voices() == 0 && MonotonicMs() - clicked < 5000) return;
          std::printf("first_note_ms=%.1f\n", MonotonicMs() - clicked);
          std::fflush(stdout);
          QCoreApplication::exit(0);
        });
        poll->start(1);
      });
    } else if (args.scenario == "heard") {
      // Click to first sound on the recording the parent makes: each start
      // from idle (the output closed by then), then one right after a stop.
      const fs::path recording = qEnvironmentVariable("QUILLOTONE_BENCH_RECORDING").toStdString();
      const auto clickPlay = [&, recording](const std::string& name) {
        // The recorder writes in bursts, so the file's size lags real time
        // by up to a burst; the upper envelope of its size against the
        // clock lags least.
        double lead = -1e18;
        for (int i = 0; i < 200; ++i) {
          lead = std::max(lead, static_cast<double>(fs::file_size(recording) / 2) -
                                    kRate * MonotonicMs() / 1000.0);
          usleep(1000);
        }
        std::printf("%s=%.0f\n", name.c_str(), lead + kRate * MonotonicMs() / 1000.0);
        play->click();
      };
      auto trial = std::make_shared<std::function<void(int)>>();
      *trial = [&, clickPlay, trial, trials = static_cast<int>(args.seconds)](int i) {
        if (i == trials) {
          std::fflush(stdout);
          QCoreApplication::exit(0);
          return;
        }
        QTimer::singleShot(static_cast<int>(audio::kIdleCloseMicros / 1000) + 1000,
                           [&, clickPlay, trial, i] {
                             clickPlay("click_idle_" + std::to_string(i));
                             QTimer::singleShot(1500, [&, clickPlay, trial, i] {
                               stop->click();
                               QTimer::singleShot(400, [&, clickPlay, trial, i] {
                                 clickPlay("click_stop_" + std::to_string(i));
                                 QTimer::singleShot(1500, [&, trial, i] {
                                   stop->click();
                                   (*trial)(i + 1);
                                 });
                               });
                             });
                           });
      };
      (*trial)(0);
    } else if (args.scenario == "stop") {
      QTimer::singleShot(1000, [&] {
        play->click();
        QTimer::singleShot(static_cast<int>(args.seconds * 1000), [&] {
          const double clicked = MonotonicMs();
          stop->click();
          auto* poll = new QTimer(window);
          poll->setTimerType(Qt::PreciseTimer);
          QObject::connect(poll, &QTimer::timeout, [&, poll, clicked] {
            if (voices() > 0 && MonotonicMs() - clicked < 5000) return;
            poll->stop();
            std::printf("silence_ms=%.1f\n", MonotonicMs() - clicked);
            // The piano's own release, for comparison: middle C held for
            // 300 ms, then from its note-off to silence.
            auto* player = dynamic_cast<NotePlayer*>(window->findChild<QObject*>("NotePlayer1"));
            player->PlayNote(60, 80);
            QTimer::singleShot(300, [&, player] {
              player->PlayNote(60, 0);
              const double released = MonotonicMs();
              auto* wait = new QTimer(window);
              QObject::connect(wait, &QTimer::timeout, [&, released] {
                if (voices() > 0 && MonotonicMs() - released < 5000) return;
                std::printf("release_ms=%.1f\n", MonotonicMs() - released);
                std::fflush(stdout);
                QCoreApplication::exit(0);
              });
              wait->start(1);
            });
          });
          poll->start(1);
        });
      });
    }
  });
  waitReady.start(1);
  return QCoreApplication::exec();
}

// --- Parent: runs the children, reads the recording, prints the table ---------

using Results = std::map<std::string, double>;

class Bench {
 public:
  Bench(std::string self, bool quick, std::string server = "pulseaudio")
      : self_(std::move(self)), quick_(quick), daemon_(std::move(server)) {}

  bool Start() {
    if (!daemon_.Start()) {
      std::fprintf(stderr, "%s could not be started:\n%s\n", daemon_.kind().c_str(),
                   daemon_.log().c_str());
      return false;
    }
    setenv("PULSE_SERVER", daemon_.server().c_str(), 1);
    // A null sink consumes at its nominal rate only while its monitor is
    // read (measured: without a reader, about 20,000 frames/s of 44,100): a
    // listener throughout, as a sound card would be.
    if (!listener_.Start({"parec", "--server=" + daemon_.server(), "-d",
                          std::string(SoundServer::kSinkName) + ".monitor", "--format=s16le",
                          "--rate=44100", "--channels=1", "--raw", "/dev/null"},
                         daemon_.dir() / "listener.log")) {
      std::fprintf(stderr, "parec could not be started: is pulseaudio-utils installed?\n");
      return false;
    }
    // A null sink left to itself wakes only every couple of seconds, and a
    // stream that connects then waits that long for its first period (seen
    // here: 1.5 s); a sound card's sink runs on. A stream of silence keeps
    // this one running the same way.
    if (!keeper_.Start({"pacat", "--server=" + daemon_.server(), "--playback", "--raw",
                        "--latency-msec=20", "/dev/zero"},
                       daemon_.dir() / "keeper.log")) {
      std::fprintf(stderr, "pacat could not be started: is pulseaudio-utils installed?\n");
      return false;
    }
    clickFont_ = (daemon_.dir() / "click.sf2").string();
    heldFont_ = (daemon_.dir() / "held.sf2").string();
    return WriteClickSoundFont(clickFont_) && WriteClickSoundFont(heldFont_, Tone::kHeld);
  }

  Results RunChild(const std::string& scenario, const std::string& design,
                   const std::string& soundFont, double seconds) {
    const auto log = daemon_.dir() / "child.log";
    Child child;
    char spawned[32];
    std::snprintf(spawned, sizeof spawned, "%.3f", MonotonicMs());
    if (!child.Start(
            {self_, "--child", scenario, design, soundFont, std::to_string(seconds), spawned},
            log) ||
        !child.Wait(std::chrono::seconds(static_cast<int>(seconds) + 60))) {
      std::fprintf(stderr, "%s %s did not finish\n", scenario.c_str(), design.c_str());
      return {};
    }
    Results results;
    std::istringstream text(ReadText(log));
    std::string line;
    while (std::getline(text, line)) {
      const auto eq = line.find('=');
      if (eq != std::string::npos && line.find(' ') == std::string::npos) {
        results[line.substr(0, eq)] = std::atof(line.c_str() + eq + 1);
      } else if (!line.empty()) {
        std::fprintf(stderr, "  [%s %s] %s\n", scenario.c_str(), design.c_str(), line.c_str());
      }
    }
    return results;
  }

  struct Rhythm {
    std::size_t onsets = 0;
    double median = NAN, p99 = NAN, max = NAN, drift = NAN;
    int cycles = 0;
  };

  // Plays the melody on the click SoundFont while the sink's monitor is
  // recorded; the onsets are read from the recording.
  Rhythm RunRhythm(const std::string& design, int cycles) {
    const auto recording = daemon_.dir() / ("rhythm-" + design + ".raw");
    Child recorder;
    if (!recorder.Start(
            {"parec", "--server=" + daemon_.server(), "-d",
             std::string(SoundServer::kSinkName) + ".monitor", "--format=s16le", "--rate=44100",
             "--channels=1", "--raw", "--latency-msec=20", recording.string()},
            daemon_.dir() / "parec.log")) {
      return {};
    }
    // The monitor delivers once the recorder is connected; then the melody.
    for (int i = 0; i < 500 && FileFrames(recording) < kRate / 10; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    RunChild("play", design, clickFont_, cycles * kCycleSeconds + 1.0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    recorder.Stop();
    return Analyse(ReadSamples(recording), cycles);
  }

  static std::size_t FileFrames(const fs::path& path) {
    std::error_code error;
    const auto bytes = fs::file_size(path, error);
    return error ? 0 : static_cast<std::size_t>(bytes) / 2;
  }

  static std::vector<std::int16_t> ReadSamples(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::int16_t> samples;
    unsigned char bytes[2];
    while (in.read(reinterpret_cast<char*>(bytes), 2)) {
      samples.push_back(static_cast<std::int16_t>(bytes[0] | (bytes[1] << 8)));
    }
    return samples;
  }

  // An onset is the first non-zero sample after at least 20 ms of zeros: the
  // click SoundFont leaves exact silence between notes.
  static Rhythm Analyse(const std::vector<std::int16_t>& samples, int cycles) {
    constexpr std::size_t kQuiet = kRate / 50;
    std::vector<std::size_t> onsets;
    std::size_t zeros = 0;  // what came before the recording is unknown
    for (std::size_t i = 0; i < samples.size(); ++i) {
      if (samples[i] == 0) {
        ++zeros;
        continue;
      }
      if (zeros >= kQuiet) onsets.push_back(i);
      zeros = 0;
    }
    // The melody's first step is followed by a long one; anything before it
    // (the tail of an earlier run's stream) is not the melody.
    while (onsets.size() >= 2 &&
           std::abs(static_cast<double>(onsets[1] - onsets[0]) - kLongFrames) > kLongFrames / 4) {
      onsets.erase(onsets.begin());
    }
    Rhythm rhythm;
    rhythm.onsets = onsets.size();
    const std::size_t wanted = static_cast<std::size_t>(cycles) * kStepsPerCycle + 1;
    if (onsets.size() < wanted) return rhythm;
    onsets.resize(wanted);
    std::vector<double> errors;
    double ideal = 0;
    for (std::size_t i = 0; i + 1 < onsets.size(); ++i) {
      const double step = (i % kStepsPerCycle) < kLongSteps ? kLongFrames : kShortFrames;
      ideal += step;
      errors.push_back(std::abs(static_cast<double>(onsets[i + 1] - onsets[i]) - step));
    }
    std::sort(errors.begin(), errors.end());
    rhythm.median = errors[errors.size() / 2];
    rhythm.p99 = errors[std::min(errors.size() - 1, errors.size() * 99 / 100)];
    rhythm.max = errors.back();
    rhythm.drift = static_cast<double>(onsets.back() - onsets.front()) - ideal;
    rhythm.cycles = cycles;
    return rhythm;
  }

  // Click to first sound heard, `trials` times from idle and as many right
  // after a stop, in ms.
  // The worst error of the first five intervals after each start, in
  // frames, from idle and after a stop, goes to `worst`: starting sooner
  // must not cost the rhythm.
  std::pair<std::vector<double>, std::vector<double>> RunFirstSound(
      int trials, std::pair<double, double>& worst) {
    const auto recording = daemon_.dir() / "first-sound.raw";
    Child recorder;
    if (!recorder.Start(
            {"parec", "--server=" + daemon_.server(), "-d",
             std::string(SoundServer::kSinkName) + ".monitor", "--format=s16le", "--rate=44100",
             "--channels=1", "--raw", "--latency-msec=10", recording.string()},
            daemon_.dir() / "parec.log")) {
      return {};
    }
    for (int i = 0; i < 500 && FileFrames(recording) < kRate / 10; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    setenv("QUILLOTONE_BENCH_RECORDING", recording.c_str(), 1);
    Results clicks = RunChild("heard", "engine", clickFont_, trials);
    recorder.Stop();
    const std::vector<std::int16_t> samples = ReadSamples(recording);
    std::pair<std::vector<double>, std::vector<double>> heard;
    for (const auto& [name, at] : clicks) {
      std::size_t i = static_cast<std::size_t>(std::max(0.0, at));
      while (i < samples.size() && samples[i] == 0) ++i;
      if (i == samples.size()) continue;
      const double ms = (static_cast<double>(i) - at) * 1000.0 / kRate;
      (name.starts_with("click_idle") ? heard.first : heard.second).push_back(ms);
      std::vector<std::size_t> onsets{i};
      for (std::size_t j = i, zeros = 0; j < samples.size() && onsets.size() < 6; ++j) {
        if (samples[j] == 0) {
          ++zeros;
          continue;
        }
        if (zeros >= kRate / 50) onsets.push_back(j);
        zeros = 0;
      }
      double& worstHere = name.starts_with("click_idle") ? worst.first : worst.second;
      for (std::size_t k = 0; k + 1 < onsets.size(); ++k) {
        const double error = std::abs(static_cast<double>(onsets[k + 1] - onsets[k]) - kLongFrames);
        if (error > static_cast<double>(Synth::kBlockFrames))
          std::fprintf(stderr, "  %s: interval %zu off by %.0f frames\n", name.c_str(), k + 1,
                       error);
        worstHere = std::max(worstHere, error);
      }
    }
    return heard;
  }

  bool quick() const { return quick_; }

 private:
  std::string self_;
  bool quick_;
  SoundServer daemon_;
  Child listener_;
  Child keeper_;
  std::string clickFont_;
  std::string heldFont_;

 public:
  [[nodiscard]] const std::string& heldFont() const { return heldFont_; }
};

double Median(std::vector<double> values) {
  if (values.empty()) return NAN;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void Row(const char* what, const char* unit, double engine, double baseline, int decimals = 1) {
  const double ratio = engine != 0 ? baseline / engine : NAN;
  char ratioText[32];
  if (std::isfinite(ratio)) {
    std::snprintf(ratioText, sizeof ratioText, ratio < 0.1 ? "%.3f x" : "%.1f x", ratio);
  } else {
    std::snprintf(ratioText, sizeof ratioText, "%s", engine == 0 && baseline != 0 ? "inf" : "-");
  }
  std::printf("| %-46s | %10.*f | %10.*f | %9s | %s\n", what, decimals, engine, decimals, baseline,
              ratioText, unit);
}

// Click to first sound heard, on both servers: the figure a user notices
// first, and quick to measure on its own.
int RunFirstSound(const std::string& self, int trials) {
  std::printf("Click to first sound heard on the null sink's monitor, ms (%d starts each)\n",
              trials);
  std::printf("Before the output had one owner: PulseAudio 118.8 from idle, 188.1 after a stop;\n");
  std::printf("PipeWire 183.4 and 198.1 (medians of 5 on this bench, the same way).\n");
  std::printf("Rhythm: the worst error of the first five intervals, in frames.\n");
  std::printf("| %-10s | %-10s | %6s | %6s | %6s | %8s |\n", "server", "start", "median", "min",
              "max", "rhythm");
  for (const char* kind : {"pulseaudio", "pipewire"}) {
    Bench bench(self, true, kind);
    if (!bench.Start()) return 1;
    std::pair<double, double> worst{0.0, 0.0};
    const auto [idle, afterStop] = bench.RunFirstSound(trials, worst);
    for (const auto& [what, ms, rhythm] : {std::tuple{"from idle", idle, worst.first},
                                           std::tuple{"after stop", afterStop, worst.second}}) {
      const double low = ms.empty() ? NAN : *std::min_element(ms.begin(), ms.end());
      const double high = ms.empty() ? NAN : *std::max_element(ms.begin(), ms.end());
      std::printf("| %-10s | %-10s | %6.1f | %6.1f | %6.1f | %8.0f |\n", kind, what, Median(ms),
                  low, high, rhythm);
    }
  }
  return 0;
}

int RunParent(const std::string& self, bool quick) {
  Bench bench(self, quick);
  if (!bench.Start()) return 1;
  const int cycles = quick ? 1 : 4;
  const double playSeconds = quick ? 10 : 30;
  const double idleSeconds = quick ? 10 : 30;
  const int startups = quick ? 1 : 5;

  // One scenario only, both designs, raw figures: for trying a lever.
  if (const char* only = std::getenv("QUILLOTONE_BENCH_ONLY")) {
    const char* fontName = std::getenv("QUILLOTONE_BENCH_FONT");
    const std::string font = fontName == nullptr               ? kFluidR3
                             : std::string(fontName) == "held" ? bench.heldFont()
                                                               : fontName;
    const char* onlyDesign = std::getenv("QUILLOTONE_BENCH_DESIGN");
    for (const char* design : {"engine", "baseline", "spin"}) {
      if (onlyDesign != nullptr && std::string(onlyDesign) != design) continue;
      Results r = bench.RunChild(only, design, font, playSeconds);
      std::printf("%s:", design);
      for (const auto& [name, value] : r) std::printf(" %s=%.2f", name.c_str(), value);
      std::printf("\n");
    }
    return 0;
  }
  std::fprintf(stderr, "rhythm: %d cycles of the melody each, heard through the sink...\n", cycles);
  const Bench::Rhythm rhythmEngine = bench.RunRhythm("engine", cycles);
  const Bench::Rhythm rhythmBaseline = bench.RunRhythm("baseline", cycles);
  std::fprintf(stderr, "CPU and memory while playing, %.0f s each...\n", playSeconds);
  Results playEngine = bench.RunChild("play", "engine", kFluidR3, playSeconds);
  Results playBaseline = bench.RunChild("play", "spin", kFluidR3, playSeconds);
  Results playBaselineTimed = bench.RunChild("play", "baseline", kFluidR3, playSeconds);
  Results smallEngine = bench.RunChild("play", "engine", kTimGM6mb, 5);
  Results smallBaseline = bench.RunChild("play", "baseline", kTimGM6mb, 5);
  std::fprintf(stderr, "CPU while idle, %.0f s each...\n", idleSeconds);
  Results idleEngine = bench.RunChild("idle", "engine", kFluidR3, idleSeconds);
  Results idleBaseline = bench.RunChild("idle", "baseline", kFluidR3, idleSeconds);
  std::fprintf(stderr, "start-up, %d times each; stop...\n", startups);
  std::vector<double> windowEngine, windowBaseline, readyEngine, readyBaseline;
  for (int i = 0; i < startups; ++i) {
    Results e = bench.RunChild("startup", "engine", kFluidR3, 0);
    Results b = bench.RunChild("startup", "baseline", kFluidR3, 0);
    windowEngine.push_back(e["window_ms"]);
    readyEngine.push_back(e["ready_ms"]);
    windowBaseline.push_back(b["window_ms"]);
    readyBaseline.push_back(b["ready_ms"]);
  }
  std::vector<double> startEngine, startBaseline, stopEngine, stopBaseline;
  std::vector<double> releaseEngine, releaseBaseline;
  for (int i = 0; i < startups; ++i) {
    startEngine.push_back(bench.RunChild("start", "engine", kFluidR3, 0)["first_note_ms"]);
    startBaseline.push_back(bench.RunChild("start", "baseline", kFluidR3, 0)["first_note_ms"]);
    // Stopped on a tone that ends with its note-off: what the program adds.
    stopEngine.push_back(bench.RunChild("stop", "engine", bench.heldFont(), 3 + i)["silence_ms"]);
    stopBaseline.push_back(
        bench.RunChild("stop", "baseline", bench.heldFont(), 3 + i)["silence_ms"]);
    // The piano's own release, after its note-off.
    releaseEngine.push_back(bench.RunChild("stop", "engine", kFluidR3, 3 + i)["release_ms"]);
    releaseBaseline.push_back(bench.RunChild("stop", "baseline", kFluidR3, 3 + i)["release_ms"]);
  }

  std::printf("\nQuillotone (engine) against the straightforward design (baseline);\n");
  std::printf("ratio = baseline / engine: above 1 where the engine costs less.\n");
  std::printf("44.1 kHz, reverb and chorus on, a private PulseAudio null sink. The engine\n");
  std::printf("hands audio over in periods of 2048 frames, the baseline in %d x %d.\n", kPeriods,
              kPeriodFrames);
  std::printf("Interval error: |heard interval between two steps' onsets - ideal|.\n\n");
  std::printf("| %-46s | %10s | %10s | %9s | unit\n", "figure", "engine", "baseline", "ratio");
  std::printf("|%s|%s|%s|%s|\n", std::string(48, '-').c_str(), std::string(12, '-').c_str(),
              std::string(12, '-').c_str(), std::string(11, '-').c_str());
  char rhythmTitle[64];
  std::snprintf(rhythmTitle, sizeof rhythmTitle, "rhythm heard, %d cycles (%zu / %zu onsets)",
                cycles, rhythmEngine.onsets, rhythmBaseline.onsets);
  std::printf("| %-46s | %10s | %10s | %9s |\n", rhythmTitle, "", "", "");
  Row("  interval error, median", "frames", rhythmEngine.median, rhythmBaseline.median);
  Row("  interval error, p99", "frames", rhythmEngine.p99, rhythmBaseline.p99);
  Row("  interval error, max", "frames", rhythmEngine.max, rhythmBaseline.max);
  Row("  cumulative drift at the end", "frames", rhythmEngine.drift, rhythmBaseline.drift);
  Row("CPU playing (baseline: spin waits)", "% of a core", playEngine["cpu_percent"],
      playBaseline["cpu_percent"], 2);
  Row("CPU playing (baseline: timed waits)", "% of a core", playEngine["cpu_percent"],
      playBaselineTimed["cpu_percent"], 2);
  Row("  of which the main thread (baseline: timed)", "% of a core", playEngine["main_cpu_percent"],
      playBaselineTimed["main_cpu_percent"], 2);
  Row("CPU idle, window open, after 5 s", "% of a core", idleEngine["cpu_percent"],
      idleBaseline["cpu_percent"], 2);
  Row("main-thread wake-ups playing (b.: timed)", "per s", playEngine["wakeups_per_s"],
      playBaselineTimed["wakeups_per_s"]);
  Row("main-thread wake-ups idle", "per s", idleEngine["wakeups_per_s"],
      idleBaseline["wakeups_per_s"]);
  Row("peak RSS playing, FluidR3_GM", "MB", playEngine["peak_rss_mb"],
      playBaselineTimed["peak_rss_mb"]);
  Row("peak RSS playing, TimGM6mb", "MB", smallEngine["peak_rss_mb"], smallBaseline["peak_rss_mb"]);
  Row("start-up to window painted (median)", "ms", Median(windowEngine), Median(windowBaseline));
  Row("start-up to first note possible (median)", "ms", Median(readyEngine), Median(readyBaseline));
  Row("start click to first note, from idle (median)", "ms", Median(startEngine),
      Median(startBaseline));
  Row("stop click to every note ended at the synth", "ms", Median(stopEngine),
      Median(stopBaseline));
  Row("  then the piano's release to silence (median)", "ms", Median(releaseEngine),
      Median(releaseBaseline));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 7 && std::string(argv[1]) == "--child") {
    ChildArgs args{argv[2], argv[3], argv[4], std::atof(argv[5]), std::atof(argv[6])};
    int childArgc = 1;
    return RunChild(childArgc, argv, args);
  }
  const bool quick = argc >= 2 && std::string(argv[1]) == "--quick";
  const bool firstSound = argc >= 2 && std::string(argv[1]) == "--first-sound";
  char self[4096];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) return 1;
  self[length] = '\0';
  if (firstSound) return RunFirstSound(self, argc >= 3 ? std::atoi(argv[2]) : 7);
  return RunParent(self, quick);
}
