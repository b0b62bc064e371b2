// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <functional>

namespace quillotone::testing {

// Runs the event loop until `done` or `limitMs`, sleeping in it between
// checks rather than spinning, so that threads paced by it, a sound server
// and a synth's audio thread keep the processors they need. Returns `done()`.
// The one application object of a test process, made on first use and never
// destroyed: Qt's own statics go first at exit, and some of them (the test
// input devices) expect to outlive the application.
template <typename Application>
void EnsureApplication() {
  static int argc = 1;
  static char name[] = "quillotone_tests";
  static char* argv[] = {name, nullptr};
  [[maybe_unused]] static Application* app = new Application(argc, argv);
}

inline bool RunEventLoopUntil(const std::function<bool()>& done, int limitMs) {
  QElapsedTimer elapsed;
  elapsed.start();
  QEventLoop loop;
  QTimer check;
  QObject::connect(&check, &QTimer::timeout, &loop, [&] {
    if (done() || elapsed.elapsed() >= limitMs) loop.quit();
  });
  check.start(2);
  if (!done()) loop.exec();
  return done();
}

inline void RunEventLoopFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace quillotone::testing
