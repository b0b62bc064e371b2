// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>
#include <string>

namespace quillotone {

// Why a render's output cannot be made or completed, in words for the user.
class RenderTargetError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where a render's bytes go while it runs: a file with no name, in the
// target's folder, that gets the target's name only once it is complete. So
// whatever ends the program early (a signal, SIGKILL, a power cut) leaves
// nothing behind, and a file already there stays whole until replaced whole.
// Standard output, and targets that are no regular file (a pipe, a device),
// get the finished bytes copied to them, so they hold the same bytes a file
// would.
class RenderTarget {
 public:
  // `path` as the bytes given; "-" is standard output. Throws
  // RenderTargetError if the output cannot be written there at all.
  explicit RenderTarget(std::string path);
  ~RenderTarget();
  RenderTarget(const RenderTarget&) = delete;
  RenderTarget& operator=(const RenderTarget&) = delete;

  // The file to write, read and seek while rendering.
  [[nodiscard]] int fd() const { return fd_; }
  // Puts the complete file in its place. Throws RenderTargetError.
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

  void OpenUnnamed(const std::string& folder, bool keepNameless);
  void CopyTo(int out) const;
  void LinkInPlace();

  std::string path_;
  // Standard output, or what the target names when it is no regular file.
  int copyTo_ = -1;
  Descriptor ownCopyTo_;
  // Only where the file system has no unnamed files.
  FallbackName fallback_;
  Descriptor file_;
  int fd_ = -1;
};

}  // namespace quillotone
