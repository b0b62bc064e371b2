// SPDX-License-Identifier: GPL-3.0-or-later
// The rhythm of the MIDI port at a JACK receiver, and the program's CPU while
// it plays: `quillotone --midi-out --no-synth --mode ionian --seed 3` on a
// dummy JACK server of its own (48 kHz, realtime where allowed), heard by
// jack_midi_dump -a, whose frame stamps are exact. Each note-on interval is
// compared with the nearest multiple of the short step (125 ms, 6000 frames).
// Run under `flock /tmp/quillotone-jack.lock`: one dummy server at a time.
//
//   midi_timing_bench [seconds per period] [period...]   (60; 64 256 1024)
#include <sys/resource.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "MidiBenchApp.h"
#include "app/App.h"
#include "framework/midi/MidiOutput.h"
#include "ui/Window1.h"

namespace {

constexpr double kRate = 48000.0;
constexpr double kGridFrames = 6000.0;  // a short step

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void Stop(QProcess& process, int signal) {
  if (process.state() == QProcess::NotRunning) return;
  kill(static_cast<pid_t>(process.processId()), signal);
  if (!process.waitForFinished(5000)) process.kill(), process.waitForFinished(1000);
}

bool Measure(int period, int seconds, int& argc, char** argv) {
  QProcess jackd;
  jackd.start("jackd",
              {"-R", "-P", "10", "-d", "dummy", "-r", "48000", "-p", QString::number(period)});
  if (QProcess::execute("jack_wait", {"-w", "-t", "10"}) != 0) {
    std::fprintf(stderr, "midi_timing_bench: no JACK server (Debian package jackd2)\n");
    return false;
  }
  // To a file: a pipe left unread for minutes would fill and stall it.
  QTemporaryDir dir;
  QProcess dump;
  dump.setStandardOutputFile(dir.filePath("dump"));
  dump.start("stdbuf", {"-oL", "jack_midi_dump", "-a"});

  double cpu = 0.0;
  {
    quillotone::App app(argc, argv);
    quillotone::bench::StartWithMidiOut(app);
    const QStringList ports = {QString::fromStdString(app.midiOutput()->portName()),
                               "midi-monitor:input"};
    for (int attempt = 0; QProcess::execute("jack_connect", ports) != 0; ++attempt) {
      if (attempt == 50) return false;
      usleep(100'000);
    }
    const double cpuBefore = CpuSeconds();
    app.window1().play_Action();
    QTimer::singleShot(seconds * 1000, &app, [&] {
      cpu = CpuSeconds() - cpuBefore;
      app.window1().stop_Action();
      QCoreApplication::exit(0);
    });
    (void)app.RunEventLoop();
  }
  usleep(500'000);
  Stop(dump, SIGINT);
  Stop(jackd, SIGTERM);

  static const QRegularExpression kNoteOn(R"((\d+): 9[0-9a-f] [0-9a-f]{2} [0-9a-f]{2})");
  std::set<long long> frames;
  QFile file(dir.filePath("dump"));
  if (!file.open(QIODevice::ReadOnly)) return false;
  for (auto lines = kNoteOn.globalMatch(file.readAll()); lines.hasNext();) {
    frames.insert(lines.next().captured(1).toLongLong());
  }
  std::vector<double> errors;  // ms
  for (auto it = std::next(frames.begin()); it != frames.end() && !frames.empty(); ++it) {
    const double interval = static_cast<double>(*it - *std::prev(it));
    errors.push_back(std::abs(interval - std::round(interval / kGridFrames) * kGridFrames) / kRate *
                     1000.0);
  }
  const auto within = std::ranges::count_if(errors, [](double e) { return e <= 1.0; });
  std::printf("%6d %7d %8zu %10.3f %10.3f %10.3f %9.1f%% %8.2f%%\n", period, seconds, errors.size(),
              quillotone::bench::Quantile(errors, 0.5), quillotone::bench::Quantile(errors, 0.99),
              errors.empty() ? NAN : *std::ranges::max_element(errors),
              errors.empty() ? 0.0 : 100.0 * static_cast<double>(within) / errors.size(),
              100.0 * cpu / seconds);
  std::fflush(stdout);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
  std::vector<int> periods;
  for (int i = 2; i < argc; ++i) periods.push_back(std::atoi(argv[i]));
  if (periods.empty()) periods = {64, 256, 1024};
  // A server of its own, reached by name only.
  setenv("JACK_DEFAULT_SERVER", "quillotone-test", 1);
  setenv("JACK_NO_START_SERVER", "1", 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  int appArgc = 1;
  std::printf("period seconds  intervals  median ms     p99 ms     max ms  within 1ms      CPU\n");
  for (const int period : periods) {
    if (!Measure(period, seconds, appArgc, argv)) return 1;
  }
  return 0;
}
