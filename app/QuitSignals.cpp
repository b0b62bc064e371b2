// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/QuitSignals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

namespace quillotone {
namespace {

// A signal handler reaches nothing but what is global; this is all it needs.
std::atomic<int> signalWriteFd{-1};
static_assert(std::atomic<int>::is_always_lock_free, "read in a signal handler");

void OnSignal(int /*signal*/) {
  const int savedErrno = errno;
  const char byte = 1;
  // Non-blocking: with the socket full, a quit is already on its way.
  [[maybe_unused]] const ssize_t written = write(signalWriteFd.load(), &byte, 1);
  errno = savedErrno;
}

}  // namespace

QuitSignals::QuitSignals(std::function<void()> quit, QObject* parent)
    : QObject(parent), quit_(std::move(quit)) {
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds_) != 0) {
    throw std::runtime_error(std::string("could not make a socket pair for signals: ") +
                             std::strerror(errno));
  }
  signalWriteFd.store(fds_[0]);
  notifier_ = new QSocketNotifier(fds_[1], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    char bytes[16];
    while (read(fds_[1], bytes, sizeof bytes) > 0) {
    }
    quit_();
  });
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  // Restarted system calls: a signal interrupts nothing the program does.
  // Reset on delivery: a program that does not leave can still be ended.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) {
    sigaction(kSignals[i], &action, &previous_[i]);
  }
}

QuitSignals::~QuitSignals() {
  for (std::size_t i = 0; i < std::size(kSignals); ++i) {
    sigaction(kSignals[i], &previous_[i], nullptr);
  }
  signalWriteFd.store(-1);
  delete notifier_;
  close(fds_[0]);
  close(fds_[1]);
}

}  // namespace quillotone
