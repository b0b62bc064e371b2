// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the program would wait on, hanging: for the tests and benchmarks
// that make it hang, in a folder of their own.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <fstream>
#include <string>

namespace quillotone::testing {

// A Unix socket whose connections the kernel accepts and nobody ever reads:
// a sound server that never answers. Gone with this object.
class SilentSocket {
 public:
  explicit SilentSocket(const std::string& path)
      : fd_(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    ok_ = bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
          listen(fd_, 64) == 0;
  }
  ~SilentSocket() { close(fd_); }
  SilentSocket(const SilentSocket&) = delete;
  SilentSocket& operator=(const SilentSocket&) = delete;
  [[nodiscard]] bool ok() const { return ok_; }

 private:
  int fd_;
  bool ok_ = false;
};

// A gigabyte: "RIFF", its size, "sfbk", then nothing but zeros (sparse, so
// it takes no room on the disk).
inline bool WriteZerosSoundFont(const std::string& path) {
  std::ofstream(path, std::ios::binary) << std::string(
      "RIFF\xF4\xFF\xFF\x3F"
      "sfbk",
      12);
  return truncate(path.c_str(), 1 << 30) == 0;
}

}  // namespace quillotone::testing
