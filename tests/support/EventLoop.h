#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <functional>

namespace quillotone::testing {

// Runs the event loop until `done` or `limitMs`, sleeping in it between
// checks rather than spinning, so that threads paced by it, a sound server
// and a synth's audio thread keep the processors they need. Returns `done()`.
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
