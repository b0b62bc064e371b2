// SPDX-License-Identifier: GPL-3.0-or-later
// The window's event loop while what the program waits on hangs, and how
// long quitting takes then: a sound server that accepts and never answers
// (PULSE_SERVER at a silent socket), a SoundFont of a valid header and a
// gigabyte of zeros, a JACK server stopped with SIGSTOP under the MIDI port,
// and, for comparison, none and a JACK server that runs. Each runs in a child process, the program
// started up to its event loop: a 5 ms timer's lateness is its lag, taken
// for kFaultMs from the start click (the stop for JACK); then the child
// sends itself SIGTERM, and the parent times it to its exit.
// Run under `flock /tmp/quillotone-servers.lock` (JACK's fixed server name).
//
//   hung_server_bench [runs]   (5)
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Child.h"
#include "MidiBenchApp.h"
#include "app/App.h"
#include "support/Hangs.h"
#include "ui/Window1.h"

using namespace quillotone;

namespace {

constexpr int kTickMs = 5;
constexpr int kFaultMs = 4000;
const char* const kFaults[] = {"none", "silent-server", "zeros-soundfont", "running-jack",
                               "stopped-jack"};

double MonotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

class NoMessages final : public MessageSink {
 public:
  void Show(const QString&) override {}
};

// The program under one fault; prints lag_max_ms, lag_p99_ms and
// sigterm_at_ms, and returns as main does.
int RunChild(int argc, char** argv, const std::string& fault, const std::string& dir, pid_t jackd) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  App app(argc, argv);
  NoMessages messages;
  app.SetMessageSink(&messages);
  testing::SilentSocket silent(dir + "/native");
  App::Options options;
  options.seed = 3;
  options.soundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
  if (fault == "silent-server") setenv("PULSE_SERVER", ("unix:" + dir + "/native").c_str(), 1);
  if (fault == "zeros-soundfont") {
    options.soundFont = dir + "/zeros.sf2";
    testing::WriteZerosSoundFont(options.soundFont);
  }
  const bool jack = fault.ends_with("-jack");
  if (jack) {
    bench::StartWithMidiOut(app);
  } else {
    app.SetOptions(options);
    auto steps = app.StartupSteps();
    steps.pop_back();
    for (const auto& step : steps) step();
  }
  std::vector<double> lags;
  QElapsedTimer since;
  QTimer tick;
  tick.setTimerType(Qt::PreciseTimer);
  QObject::connect(&tick, &QTimer::timeout, [&] {
    lags.push_back(std::max(0.0, static_cast<double>(since.nsecsElapsed()) / 1e6 - kTickMs));
    since.restart();
  });
  // A second for the synth (or the port) to be ready, then the fault.
  QTimer::singleShot(1000, [&] {
    app.window1().findChild<QPushButton*>("play")->click();
    if (fault == "stopped-jack") kill(jackd, SIGSTOP);
    since.start();
    tick.start(kTickMs);
    QTimer::singleShot(kFaultMs, [&] {
      tick.stop();
      std::printf("lag_max_ms=%.2f\nlag_p99_ms=%.2f\n", bench::Quantile(lags, 1.0),
                  bench::Quantile(lags, 0.99));
      std::printf("sigterm_at_ms=%.3f\n", MonotonicMs());
      std::fflush(stdout);
      kill(getpid(), SIGTERM);
    });
  });
  return app.RunEventLoop();
}

struct Figures {
  double lagMax = NAN, lagP99 = NAN, quitMs = NAN;
  int status = -1;
};

Figures RunOne(const std::string& self, const std::string& fault, const QTemporaryDir& dir) {
  QProcess jackd;
  jackd.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
  if (fault.ends_with("-jack")) {
    jackd.start("jackd", {"-d", "dummy", "-r", "48000", "-p", "1024"});
    if (QProcess::execute("jack_wait", {"-w", "-t", "10"}) != 0) return {};
  }
  const std::string log = dir.filePath(QString::fromStdString(fault + ".log")).toStdString();
  bench::Child child;
  Figures figures;
  if (!child.Start(
          {self, "--child", fault, dir.path().toStdString(), std::to_string(jackd.processId())},
          log) ||
      !child.Wait(std::chrono::seconds(60))) {
    std::fprintf(stderr, "%s: the child did not end\n", fault.c_str());
    return figures;
  }
  const double ended = MonotonicMs();
  figures.status = WIFEXITED(child.status()) ? WEXITSTATUS(child.status()) : -1;
  const std::string text = bench::ReadText(log);
  const auto field = [&](const std::string& name) {
    const auto at = text.find(name + "=");
    return at == std::string::npos ? NAN : std::atof(text.c_str() + at + name.size() + 1);
  };
  figures.lagMax = field("lag_max_ms");
  figures.lagP99 = field("lag_p99_ms");
  figures.quitMs = ended - field("sigterm_at_ms");
  if (fault.ends_with("-jack")) {
    kill(static_cast<pid_t>(jackd.processId()), SIGCONT);
    jackd.kill();
    jackd.waitForFinished(5000);
  }
  return figures;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 5 && std::string(argv[1]) == "--child") {
    int childArgc = 1;
    return RunChild(childArgc, argv, argv[2], argv[3], static_cast<pid_t>(std::atoi(argv[4])));
  }
  setenv("JACK_DEFAULT_SERVER", "quillotone-test", 1);
  setenv("JACK_NO_START_SERVER", "1", 1);
  const int runs = argc >= 2 ? std::atoi(argv[1]) : 5;
  std::printf(
      "Event-loop lag over %d ms of each fault (a %d ms timer's lateness), and SIGTERM to\n"
      "exit; %d runs each: the worst of the runs' maxima, the median of their p99s and\n"
      "quit times, and every exit status.\n",
      kFaultMs, kTickMs, runs);
  std::printf("| %-16s | %12s | %12s | %12s | %12s | %s\n", "fault", "lag max ms", "lag p99 ms",
              "quit med ms", "quit max ms", "status");
  for (const char* fault : kFaults) {
    std::vector<double> p99s, quits;
    double worst = 0;
    std::string statuses;
    for (int run = 0; run < runs; ++run) {
      const QTemporaryDir dir;
      const Figures f = RunOne(argv[0], fault, dir);
      worst = std::max(worst, f.lagMax);
      p99s.push_back(f.lagP99);
      quits.push_back(f.quitMs);
      statuses += std::to_string(f.status) + " ";
    }
    std::printf("| %-16s | %12.2f | %12.2f | %12.1f | %12.1f | %s\n", fault, worst,
                bench::Quantile(p99s, 0.5), bench::Quantile(quits, 0.5),
                bench::Quantile(quits, 1.0), statuses.c_str());
  }
  return 0;
}
