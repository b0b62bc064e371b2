// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace quillotone {

// Writes all of `bytes` to `fd`, however many calls it takes. Returns 0, or
// the error that stopped it (ENOSPC if nothing could be written).
[[nodiscard]] inline int WriteAll(int fd, const void* bytes, std::size_t size) {
  for (std::size_t done = 0; done < size;) {
    const ssize_t put = write(fd, static_cast<const char*>(bytes) + done, size - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return put < 0 ? errno : ENOSPC;
    done += static_cast<std::size_t>(put);
  }
  return 0;
}

// Whether `fd` can be written anywhere but at its end: a file, not a pipe,
// a socket or a terminal.
[[nodiscard]] inline bool Seekable(int fd) { return lseek(fd, 0, SEEK_CUR) >= 0; }

}  // namespace quillotone
