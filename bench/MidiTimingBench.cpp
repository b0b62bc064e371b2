// SPDX-License-Identifier: GPL-3.0-or-later
// The rhythm of the MIDI port at a JACK receiver, and the program's CPU while
// it plays: `quillotone --midi-out --no-synth --mode ionian --seed 3` on a
// dummy JACK server of its own (48 kHz, realtime where allowed), heard by
// jack_midi_dump -a, whose frame stamps are exact. Each note-on interval is
// compared with the nearest multiple of the short step (125 ms, 6000 frames).
// With --synth the built-in synth plays too, into the desktop's sound server
// (PULSE_SERVER: a null sink, say), and the MIDI port times its notes by
// that stream's clock, as the window program does with --midi-out. The last
// column is how far the melody's pace at the receiver strays from the grid
// over the whole run, in parts per million. --rate sets the server's rate.
// Run under `flock /tmp/quillotone-servers.lock`: one dummy server at a time.
//
//   midi_timing_bench [--synth] [--rate HZ] [seconds per period] [period...]
//                                                       (60; 64 256 1024)
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
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

constexpr char kSoundFont[] = "/usr/share/sounds/sf2/default-GM.sf2";

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

bool Measure(int rate, int period, int seconds, bool synth, int& argc, char** argv) {
  const double gridFrames = rate / 8.0;  // a short step
  QProcess jackd;
  jackd.start("jackd", {"-R", "-P", "10", "-d", "dummy", "-r", QString::number(rate), "-p",
                        QString::number(period)});
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
    quillotone::bench::StartWithMidiOut(app, synth ? kSoundFont : "");
    while (synth && app.synthHost().synth() == nullptr) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
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
  double heard = 0.0, grid = 0.0;
  for (auto it = std::next(frames.begin()); it != frames.end() && !frames.empty(); ++it) {
    const double interval = static_cast<double>(*it - *std::prev(it));
    const double onGrid = std::round(interval / gridFrames) * gridFrames;
    errors.push_back(std::abs(interval - onGrid) / rate * 1000.0);
    heard += interval;
    grid += onGrid;
  }
  const auto within = std::ranges::count_if(errors, [](double e) { return e <= 1.0; });
  std::printf("%6d %6d %7d %8zu %10.3f %10.3f %10.3f %9.1f%% %8.2f%% %8.0f\n", rate, period,
              seconds, errors.size(), quillotone::bench::Quantile(errors, 0.5),
              quillotone::bench::Quantile(errors, 0.99),
              errors.empty() ? NAN : *std::ranges::max_element(errors),
              errors.empty() ? 0.0 : 100.0 * static_cast<double>(within) / errors.size(),
              100.0 * cpu / seconds, grid > 0.0 ? (heard / grid - 1.0) * 1e6 : NAN);
  std::fflush(stdout);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  bool synth = false;
  int rate = 48000;
  int first = 1;
  for (; first < argc && argv[first][0] == '-'; ++first) {
    if (std::string(argv[first]) == "--synth") synth = true;
    if (std::string(argv[first]) == "--rate" && first + 1 < argc) rate = std::atoi(argv[++first]);
  }
  const int seconds = first < argc ? std::atoi(argv[first]) : 60;
  std::vector<int> periods;
  for (int i = first + 1; i < argc; ++i) periods.push_back(std::atoi(argv[i]));
  if (periods.empty()) periods = {64, 256, 1024};
  // A server of its own, reached by name only.
  setenv("JACK_DEFAULT_SERVER", "quillotone-test", 1);
  setenv("JACK_NO_START_SERVER", "1", 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  int appArgc = 1;
  std::printf(
      "  rate period seconds intervals  median ms     p99 ms     max ms  within 1ms      CPU "
      "pace ppm\n");
  for (const int period : periods) {
    if (!Measure(rate, period, seconds, synth, appArgc, argv)) return 1;
  }
  return 0;
}
