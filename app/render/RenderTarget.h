// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>
#include <string>

struct stat;

namespace quillotone {

// Why a render's output cannot be made or completed, in words for the user.
class RenderTargetError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where a render's bytes go, as the user named it.
//
// A regular file (through any symbolic links, which stay) is written as a
// file with no name in its folder, that gets the name only once it is
// complete. So whatever ends the program early (a signal, SIGKILL, a power
// cut) leaves nothing behind, and a file already there stays whole until
// replaced whole.
//
// Anything else is written directly, as a stream, and never replaced:
// standard output ("-"), a pipe, a character device, and a name that leads
// to one of the program's own descriptors (/dev/stdout, /dev/stderr,
// /proc/self/fd/N, /dev/fd/N) writes to that descriptor as it stands.
class RenderTarget {
 public:
  // `path` as the bytes given; "-" is standard output. Throws
  // RenderTargetError for anything that can be known before writing: a name
  // too long, no permission to create or replace it, a folder, a disk, a
  // terminal.
  explicit RenderTarget(std::string path);
  ~RenderTarget();
  RenderTarget(const RenderTarget&) = delete;
  RenderTarget& operator=(const RenderTarget&) = delete;

  // Where to write: a file to read and seek, or a stream.
  [[nodiscard]] int fd() const { return fd_; }
  [[nodiscard]] bool streams() const { return stream_.get() >= 0; }
  // Puts a complete file in its place. Throws RenderTargetError.
  void Commit();

 private:
  // A file descriptor of our own, closed however the render ends.
  class Descriptor {
   public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor();
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(Descriptor&& other) noexcept;
    [[nodiscard]] int get() const { return fd_; }

   private:
    int fd_ = -1;
  };
  // A name beside the target, removed unless renamed into place.
  class FallbackName {
   public:
    ~FallbackName();
    std::string name;
  };

  void OpenStream(int fd);
  void CheckReplaceable(const struct stat& file) const;
  void OpenUnnamed(const std::string& folder);
  void LinkInPlace();

  // The regular file, its symbolic links followed.
  std::string path_;
  Descriptor stream_;
  // Only where the file system has no unnamed files.
  FallbackName fallback_;
  Descriptor file_;
  int fd_ = -1;
};

}  // namespace quillotone
