// SPDX-License-Identifier: GPL-3.0-or-later
// What playing costs, side by side with FluidSynth's own player tuned alike
// (fluidsynth -z 2048 -o synth.dynamic-sample-loading=1 -g 0.6, the same
// SoundFont, the same melody as a MIDI file), both playing at once through
// one private PulseAudio server: CPU per thread of each process, from the
// kernel's own accounting (/proc/PID/task/TID/schedstat), then idle.
// With --jack, both are clients of a dummy JACK server of its own (48 kHz,
// `period` frames; the program with --audio jack, fluidsynth with -a jack),
// one after the other in each of `runs` runs, each alone on the server:
// its threads' CPU from schedstat, then the medians. Run that under
// `flock /tmp/quillotone-servers.lock`.
//
//   playing_cost_bench [seconds]                      (default 60)
//   playing_cost_bench --jack [seconds [runs [period]]]  (20, 5, 256)
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "MidiBenchApp.h"
#include "app/App.h"
#include "framework/audio/AudioTiming.h"
#include "framework/audio/SoundFontChoice.h"
#include "ui/Window1.h"

using namespace quillotone;
namespace fs = std::filesystem;

namespace {

// Nanoseconds on the CPU so far, per thread name ("name (tid)").
std::map<std::string, double> ThreadCpu(pid_t pid) {
  std::map<std::string, double> cpu;
  std::error_code error;
  for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
    std::string name;
    std::ifstream(task.path() / "comm") >> name;
    double ns = 0;
    std::ifstream(task.path() / "schedstat") >> ns;
    cpu[name + " (" + task.path().filename().string() + ")"] = ns;
  }
  return cpu;
}

// Nanoseconds on the CPU so far, all its threads.
double ThreadsCpu(pid_t pid) {
  double total = 0;
  for (const auto& [thread, ns] : ThreadCpu(pid)) total += ns;
  return total;
}

double Report(const char* who, const std::map<std::string, double>& from,
              const std::map<std::string, double>& to, double seconds) {
  double total = 0;
  std::printf("%s\n", who);
  for (const auto& [thread, ns] : to) {
    const auto before = from.find(thread);
    const double used = ns - (before != from.end() ? before->second : 0.0);
    total += used;
    if (used > 0) std::printf("  %-28s %6.2f %%\n", thread.c_str(), 100 * used / 1e9 / seconds);
  }
  std::printf("  %-28s %6.2f %%\n", "all threads", 100 * total / 1e9 / seconds);
  return total;
}

// The program, playing from the moment its synth is ready (or idle), until
// killed. On JACK, it plays what fluidsynth is given: --mode ionian --seed 3.
int Child(int argc, char** argv, bool play, AudioSystem audio = AudioSystem::kAny) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  App app(argc, argv);
  App::Options options;
  options.seed = 1;
  if (audio == AudioSystem::kJack) {
    constexpr int kIonianRow = 5;
    options.seed = 3;
    options.mode = kIonianRow;
    options.audio = audio;
  }
  app.SetOptions(options);
  auto steps = app.StartupSteps();
  steps.pop_back();
  Main(steps, [](std::exception_ptr) { std::_Exit(3); });
  QObject::connect(&app.synthHost(), &SynthHost::ready, [&] {
    if (play) app.window1().findChild<QPushButton*>("play")->click();
  });
  return app.exec();
}

pid_t Spawn(const std::vector<std::string>& args) {
  std::fflush(stdout);  // or the child prints it again
  const pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (freopen("/dev/null", "w", stdout) == nullptr) std::_Exit(126);
    execvp(argv[0], argv.data());
    std::_Exit(127);
  }
  return pid;
}

void End(pid_t pid) {
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

int Jack(const char* self, double seconds, int runs, const std::string& period) {
  const std::string soundFont = ChooseSoundFont("").path;
  char pattern[] = "/tmp/quillotone-cost-XXXXXX";
  const fs::path dir = mkdtemp(pattern);
  const std::string midi = (dir / "melody.mid").string();
  if (std::system((std::string(QUILLOTONE_BINARY) + " --mode ionian --seed 3 --render " + midi +
                   " --seconds " + std::to_string(static_cast<int>(seconds) + 10))
                      .c_str()) != 0) {
    return 1;
  }
  // A server of its own, reached by name only.
  setenv("JACK_DEFAULT_SERVER", "quillotone-bench", 1);
  setenv("JACK_NO_START_SERVER", "1", 1);
  // Quiet: it tells of every client that goes without a word.
  const pid_t jackd =
      Spawn({"sh", "-c", "exec jackd -R -P 10 -d dummy -r 48000 -p " + period + " 2>/dev/null"});
  if (std::system("jack_wait -w -t 10 >/dev/null") != 0) {
    std::fprintf(stderr, "no JACK server (Debian package jackd2)\n");
    return 1;
  }
  std::printf("SoundFont %s, jackd dummy 48000 Hz, period %s, %.0f s a run, each alone\n"
              "run  Quillotone %%  fluidsynth %%  ratio\n",
              soundFont.c_str(), period.c_str(), seconds);
  // One player at a time: with two clients on one server, the one first in
  // its graph mostly pays more for each cycle than the one after it,
  // whichever program it is.
  const auto cpu = [&](const std::vector<std::string>& args) {
    const pid_t pid = Spawn(args);
    std::this_thread::sleep_for(std::chrono::seconds(3));  // loaded and playing
    const double from = ThreadsCpu(pid);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double used = ThreadsCpu(pid) - from;
    End(pid);
    return 100 * used / 1e9 / seconds;
  };
  const std::vector<std::string> program = {self, "--child-jack"};
  const std::vector<std::string> player = {
      "fluidsynth", "-q", "-n", "-i", "-a", "jack", "-r", "48000", "-o",
      "audio.jack.autoconnect=1", "-o", "synth.dynamic-sample-loading=1", "-g", "0.6",
      soundFont, midi};
  std::vector<double> programCpu, playerCpu, ratios;
  for (int run = 1; run <= runs; ++run) {
    // Taking turns at going first, so that a slow spell weighs on both.
    if (run % 2 == 1) {
      programCpu.push_back(cpu(program));
      playerCpu.push_back(cpu(player));
    } else {
      playerCpu.push_back(cpu(player));
      programCpu.push_back(cpu(program));
    }
    ratios.push_back(programCpu.back() / playerCpu.back());
    std::printf("%3d %13.2f %13.2f %6.2f\n", run, programCpu.back(), playerCpu.back(),
                ratios.back());
  }
  std::printf("median %10.2f %13.2f %6.2f\n", bench::Quantile(programCpu, 0.5),
              bench::Quantile(playerCpu, 0.5), bench::Quantile(ratios, 0.5));
  End(jackd);
  fs::remove_all(dir);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--child-jack") {
    return Child(argc, argv, true, AudioSystem::kJack);
  }
  if (argc > 1 && std::string(argv[1]) == "--jack") {
    return Jack(argv[0], argc > 2 ? std::atof(argv[2]) : 20.0, argc > 3 ? std::atoi(argv[3]) : 5,
                argc > 4 ? argv[4] : "256");
  }
  if (argc > 1 && std::string(argv[1]) == "--child") return Child(argc, argv, true);
  if (argc > 1 && std::string(argv[1]) == "--child-idle") return Child(argc, argv, false);
  const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
  const std::string soundFont = ChooseSoundFont("").path;
  char pattern[] = "/tmp/quillotone-cost-XXXXXX";
  const fs::path dir = mkdtemp(pattern);
  const std::string server = std::string(QUILLOTONE_SOUND_SERVER);
  if (std::system((server + " start pulseaudio " + dir.string() + " " + std::to_string(getpid()))
                      .c_str()) != 0) {
    std::fprintf(stderr, "no private PulseAudio server\n");
    return 1;
  }
  setenv("PULSE_SERVER", ("unix:" + (dir / "pulse/native").string()).c_str(), 1);
  setenv(kSoundFontVariable, soundFont.c_str(), 1);
  const std::string midi = (dir / "melody.mid").string();
  const int cycles = static_cast<int>(seconds / 8) + 4;
  if (std::system((std::string(QUILLOTONE_BINARY) + " --seed 1 --render " + midi + " --cycles " +
                   std::to_string(cycles))
                      .c_str()) != 0) {
    return 1;
  }
  std::printf("SoundFont %s, %.0f s of playing, both at once\n", soundFont.c_str(), seconds);
  const pid_t program = Spawn({argv[0], "--child"});
  const pid_t player = Spawn({"fluidsynth", "-q", "-n", "-i", "-a", "pulseaudio", "-z",
                              std::to_string(audio::kPeriodFrames), "-o",
                              "synth.dynamic-sample-loading=1", "-g", "0.6", soundFont, midi});
  std::this_thread::sleep_for(std::chrono::seconds(3));  // both loaded and playing
  const auto programFrom = ThreadCpu(program), playerFrom = ThreadCpu(player);
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  const double programNs = Report("Quillotone", programFrom, ThreadCpu(program), seconds);
  const double playerNs = Report("fluidsynth", playerFrom, ThreadCpu(player), seconds);
  std::printf("Quillotone / fluidsynth: %.2f\n", programNs / playerNs);
  End(player);

  End(program);
  const pid_t idle = Spawn({argv[0], "--child-idle"});
  std::this_thread::sleep_for(std::chrono::seconds(3));
  const auto idleFrom = ThreadCpu(idle);
  std::this_thread::sleep_for(std::chrono::seconds(10));
  Report("Quillotone idle, window open (10 s)", idleFrom, ThreadCpu(idle), 10);
  End(idle);
  [[maybe_unused]] const int stopped = std::system((server + " stop " + dir.string()).c_str());
  fs::remove_all(dir);
}
