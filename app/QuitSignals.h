// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <csignal>
#include <functional>

namespace quillotone {

// Turns SIGTERM, SIGINT and SIGHUP (a logout, Ctrl+C in the terminal) into a
// call of `quit` on the event loop, so the program leaves the way its Quit
// item does. A second signal of a kind, while the first is still being
// handled, ends the program at once as usual. One instance at a time; the
// former handlers come back when it goes.
class QuitSignals : public QObject {
  Q_OBJECT

 public:
  explicit QuitSignals(std::function<void()> quit, QObject* parent = nullptr);
  ~QuitSignals() override;
  QuitSignals(const QuitSignals&) = delete;
  QuitSignals& operator=(const QuitSignals&) = delete;

 private:
  static constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

  std::function<void()> quit_;
  // The handler writes a byte to fds_[0]; the notifier reads fds_[1].
  int fds_[2] = {-1, -1};
  struct sigaction previous_[std::size(kSignals)] = {};
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace quillotone
