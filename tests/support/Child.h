// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Programs run beside a test or benchmark (servers, receivers, commands),
// started with fork and exec. Not with QProcess: Qt starts a child with a
// clone that shares this process's memory until exec, and the calls that
// child makes from inside Qt, which tsan.supp has ThreadSanitizer ignore
// (called_from_lib), leave this thread marked as inside Qt for good: every
// lock it takes from then on goes unseen, and what it hands over under
// those locks is reported as a race.
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

namespace quillotone::testing {

// A child process, ended however its owner leaves, and killed with its
// parent (by a timeout, a sanitizer's halt): no server outlives its test to
// stand in the next one's way.
class Child {
 public:
  Child() = default;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() { Stop(); }

  // `args.front()` is looked up on PATH; stdout and stderr go to the file
  // `out` where one is named.
  bool Start(const std::vector<std::string>& args, const std::string& out = {}) {
    Stop();
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const int fd = out.empty() ? -1 : creat(out.c_str(), 0600);
    const pid_t parent = getpid();
    if ((pid_ = fork()) == 0) {
      // Only async-signal-safe calls here: the parent has threads.
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (getppid() != parent) _exit(127);
      if (fd >= 0) dup2(fd, STDOUT_FILENO), dup2(fd, STDERR_FILENO);
      execvp(argv[0], argv.data()), _exit(127);
    }
    if (fd >= 0) close(fd);
    return pid_ > 0;
  }

  // Whether it ended within `limit`; status() is then its wait status.
  bool Wait(std::chrono::milliseconds limit = std::chrono::minutes(1)) {
    for (auto ms = limit.count(); pid_ > 0 && waitpid(pid_, &status_, WNOHANG) == 0; ms -= 10) {
      if (ms <= 0) return false;
      usleep(10'000);
    }
    pid_ = -1;
    return true;
  }

  // Sends `signal`, and SIGCONT should it be stopped; SIGKILL if it is still
  // there 5 s later.
  void Stop(int signal = SIGTERM) {
    if (pid_ <= 0) return;
    kill(pid_, signal), kill(pid_, SIGCONT);
    if (!Wait(std::chrono::seconds(5))) kill(pid_, SIGKILL), Wait();
  }

  [[nodiscard]] pid_t pid() const { return pid_; }
  [[nodiscard]] int status() const { return status_; }

 private:
  pid_t pid_ = -1;
  int status_ = -1;
};

// A JACK server of the tests' own: `args` (jackd, the dummy driver), once it
// answers. Reached by name only, so that a user's own server is never
// touched. One name for every run (they take turns): JACK keeps eight
// servers in its registry, and frees the entry of one that was killed only
// for the next server of the same name. The one-shot commands (jack_wait
// here) go through std::system, whose child is made by the C library alone.
inline bool StartJack(Child& jackd, const std::vector<std::string>& args) {
  setenv("JACK_DEFAULT_SERVER", "quillotone-test", 1);
  setenv("JACK_NO_START_SERVER", "1", 1);
  return jackd.Start(args) && std::system("jack_wait -w -t 10") == 0;
}

}  // namespace quillotone::testing
