// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <functional>
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
// replaced whole, by one that keeps its owner, group, permissions and ACL
// where the file system allows.
//
// Anything else is written directly and never replaced: standard output
// ("-"), a pipe, a FIFO, a character device, and a name that leads to one of
// the program's own descriptors (/dev/stdout, /dev/stderr, /proc/self/fd/N,
// /dev/fd/N) writes to that descriptor as it stands. Such a descriptor on a
// regular file is written from where it stands and finished as a file (a
// failed render leaves it as it was, if it ended there); anything else is a
// stream.
class RenderTarget {
 public:
  // `path` as the bytes given; "-" is standard output. `waitingForReader` is
  // called once where a FIFO has no reader yet, before the open waits for
  // one. Throws RenderTargetError for anything that can be known before
  // writing: a name too long, no permission to create or replace it, a
  // folder, a disk, a terminal, a descriptor open only for reading.
  RenderTarget(std::string path, const std::function<void()>& waitingForReader);
  ~RenderTarget();  // a file in place not committed is cut back
  RenderTarget(const RenderTarget&) = delete;
  RenderTarget& operator=(const RenderTarget&) = delete;

  // Where to write: a file to read and seek, or a stream.
  [[nodiscard]] int fd() const { return fd_; }
  [[nodiscard]] bool streams() const { return stream_.get() >= 0 && !inPlace_; }
  // Whether the render would write over the file at `path` (the same file
  // by device and inode, under any name).
  [[nodiscard]] bool Overwrites(const std::string& path) const;
  // Puts a complete file in its place, on the disk before this returns.
  // Throws RenderTargetError.
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
  void OpenFifo(const std::function<void()>& waitingForReader);
  void CheckReplaceable(const struct stat& file) const;
  void OpenUnnamed(const std::string& folder);
  void KeepOwnerAndAccess(const struct stat& old) const;
  void LinkInPlace();
  void SyncFolder() const;

  // The regular file, its symbolic links followed.
  std::string path_;
  Descriptor stream_;
  // Only where the file system has no unnamed files.
  FallbackName fallback_;
  Descriptor file_;
  int fd_ = -1;
  // What is written over, if anything is: the file there or the descriptor's.
  dev_t device_ = 0;
  ino_t inode_ = 0;
  bool identified_ = false;
  // A descriptor on a regular file, written from where it stands; cut back
  // there unless committed, if that was its end (-1: it was not).
  bool inPlace_ = false;
  off_t cutBackTo_ = -1;
  bool committed_ = false;
};

}  // namespace quillotone
