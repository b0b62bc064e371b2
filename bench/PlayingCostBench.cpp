// SPDX-License-Identifier: GPL-3.0-or-later
// What a playing melody costs: CPU time of the whole program while it plays
// (no sound, so only the program's own work counts), and how late the event
// loop wakes a thread after its deadline (absorbed by the synth's lead).
#include <sys/resource.h>

#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/App.h"
#include "framework/threads/EventLoopScheduler.h"
#include "ui/Window1.h"

using namespace quillotone;

namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

Task MeasureLateness(const Scheduler& scheduler, std::vector<double>& lateness) {
  for (;;) {
    co_await Wait(250'000);
    lateness.push_back(scheduler.playhead().Microseconds() - scheduler.Now());
  }
}

}  // namespace

int main(int argc, char** argv) {
  constexpr int kSeconds = 20;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  App app(argc, argv);
  App::Options options;
  options.seed = 1;
  options.sound = false;
  app.SetOptions(options);
  auto steps = app.StartupSteps();
  steps.pop_back();
  Main(steps, [](std::exception_ptr) { std::fprintf(stderr, "start-up failed\n"); });

  // A second scheduler on the same kind of clock, only to watch wake-ups.
  EventLoopScheduler watcher(app.synthHost());
  std::vector<double> lateness;
  ThreadContext probe(watcher.scheduler(), "probe");
  watcher.scheduler().Start(probe, MeasureLateness(watcher.scheduler(), lateness));

  app.window1().findChild<QPushButton*>("play")->click();
  const double cpuBefore = CpuSeconds();
  QTimer::singleShot(kSeconds * 1000, &app, [] { QCoreApplication::quit(); });
  app.exec();
  const double cpu = CpuSeconds() - cpuBefore;

  std::sort(lateness.begin(), lateness.end());
  std::printf("playing %d s: %.3f s CPU (%.2f%% of one core)\n", kSeconds, cpu,
              100 * cpu / kSeconds);
  if (!lateness.empty()) {
    std::printf("wake-up lateness over %zu waits: median %.0f us, 99th %.0f us, max %.0f us\n",
                lateness.size(), lateness[lateness.size() / 2],
                lateness[lateness.size() * 99 / 100], lateness.back());
  }
}
