// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Child processes for the benchmarks: each measurement runs in one of its
// own, as do the recorders and the sound server's helpers.
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace quillotone::bench {

namespace fs = std::filesystem;

inline std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    const std::size_t end = std::min(dirs.find(':', start), dirs.size());
    const fs::path candidate = fs::path(dirs.substr(start, end - start)) / name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
    start = end + 1;
  }
  return {};
}

inline std::string ReadText(const fs::path& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A child process that is ended however the caller leaves: SIGTERM, then
// SIGKILL if it lingers. It dies with its parent, should a timeout kill that.
class Child {
 public:
  Child() = default;
  ~Child() { Stop(); }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // `args.front()` is looked up on PATH unless it holds a slash. `extraEnv`
  // entries ("NAME=value") override the caller's own environment; stdout and
  // stderr go to `log`.
  bool Start(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv,
             const fs::path& log) {
    const std::string program =
        args.front().find('/') != std::string::npos ? args.front() : FindProgram(args.front());
    if (program.empty()) return false;
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string entry = *e;
      const std::string key = entry.substr(0, entry.find('=') + 1);
      const bool overridden = std::any_of(extraEnv.begin(), extraEnv.end(),
                                          [&](const std::string& x) { return x.starts_with(key); });
      if (!overridden) env.push_back(entry);
    }
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (out < 0) return false;
    const pid_t parent = getpid();

    const pid_t pid = fork();
    if (pid == 0) {
      // Only async-signal-safe calls here: the parent has threads.
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      if (getppid() != parent) _exit(127);
      const int in = open("/dev/null", O_RDONLY);
      if (in >= 0) dup2(in, STDIN_FILENO);
      dup2(out, STDOUT_FILENO);
      dup2(out, STDERR_FILENO);
      execve(program.c_str(), argv.data(), envp.data());
      _exit(127);
    }
    close(out);
    pid_ = pid > 0 ? pid : -1;
    return pid > 0;
  }

  bool Running() {
    if (pid_ <= 0) return false;
    if (waitpid(pid_, &status_, WNOHANG) == 0) return true;
    pid_ = -1;
    return false;
  }

  // Waits for the child to end by itself; false if it is still running.
  bool Wait(std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (Running()) {
      if (std::chrono::steady_clock::now() >= until) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  }
  [[nodiscard]] int status() const { return status_; }

  void Stop() {
    if (!Running()) return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 300; ++i) {
      if (waitpid(pid_, &status_, WNOHANG) == pid_) {
        pid_ = -1;
        return;
      }
      usleep(10'000);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, &status_, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int status_ = 0;
};

}  // namespace quillotone::bench
