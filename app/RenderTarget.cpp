// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/RenderTarget.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>

namespace quillotone {
namespace {

// A new file gets these permissions less the umask, as any program's would.
constexpr mode_t kNewFileMode = 0666;
constexpr mode_t kPermissionBits = 07777;
constexpr std::size_t kCopyBytes = 1 << 16;

RenderTargetError SystemError(const std::string& what) {
  return RenderTargetError(what + std::strerror(errno));
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string TemporaryFolder() {
  const char* folder = std::getenv("TMPDIR");
  return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

// A short name that is not there yet, in `folder`: short, so that a target
// name of the longest length the file system takes still works.
std::string ShortName(const std::string& folder) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::random_device random;
  std::string name = folder + "/.quillotone-";
  for (int i = 0; i < 12; ++i) name += kHex[random() % 16];
  return name;
}

// Holds back the signals that could end the program while a second name of
// the finished file exists, so that it never stays behind.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t all;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &saved_);
  }
  ~SignalsHeld() { sigprocmask(SIG_SETMASK, &saved_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t saved_{};
};

}  // namespace

RenderTarget::Descriptor::~Descriptor() {
  if (fd_ >= 0) close(fd_);
}

RenderTarget::Descriptor& RenderTarget::Descriptor::operator=(Descriptor&& other) noexcept {
  if (fd_ >= 0) close(fd_);
  fd_ = other.fd_;
  other.fd_ = -1;
  return *this;
}

RenderTarget::FallbackName::~FallbackName() {
  if (!name.empty()) unlink(name.c_str());
}

RenderTarget::RenderTarget(std::string path) : path_(std::move(path)) {
  const char* const kTerminal =
      "it is a terminal; send the render to a file or a pipe (> song.flac, or | aplay)";
  if (path_ == "-") {
    if (isatty(STDOUT_FILENO) == 1) throw RenderTargetError(kTerminal);
    copyTo_ = STDOUT_FILENO;
    OpenUnnamed(TemporaryFolder(), true);
    return;
  }
  struct stat info {};
  if (stat(path_.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
    if (S_ISDIR(info.st_mode)) throw RenderTargetError("it is a folder");
    // A pipe or a device (/dev/stdout, say) is written, not replaced.
    ownCopyTo_ = Descriptor(open(path_.c_str(), O_WRONLY | O_CLOEXEC));
    copyTo_ = ownCopyTo_.get();
    if (copyTo_ < 0) throw SystemError("");
    if (isatty(copyTo_) == 1) throw RenderTargetError(kTerminal);
    OpenUnnamed(TemporaryFolder(), true);
    return;
  }
  OpenUnnamed(FolderOf(path_), false);
}

void RenderTarget::OpenUnnamed(const std::string& folder, bool keepNameless) {
  file_ = Descriptor(open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, kNewFileMode));
  if (file_.get() < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    // The file system has no unnamed files: a named one, which only SIGKILL
    // or a power cut can leave behind.
    for (int attempt = 0; attempt < 100 && file_.get() < 0; ++attempt) {
      fallback_.name = ShortName(folder);
      file_ = Descriptor(
          open(fallback_.name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, kNewFileMode));
      if (file_.get() < 0 && errno != EEXIST) break;
    }
    if (file_.get() < 0) fallback_.name.clear();
    if (keepNameless && !fallback_.name.empty()) {
      unlink(fallback_.name.c_str());
      fallback_.name.clear();
    }
  }
  if (file_.get() < 0)
    throw SystemError(keepNameless ? "no room for the render in " + folder + ": " : "");
  fd_ = file_.get();
}

RenderTarget::~RenderTarget() = default;

void RenderTarget::Commit() {
  if (copyTo_ >= 0) {
    CopyTo(copyTo_);
    return;
  }
  // On the disk before it has the name, so a power cut leaves the old file
  // or the new one, never a part of it.
  if (fsync(fd_) != 0) throw SystemError("writing failed: ");
  struct stat old {};
  if (stat(path_.c_str(), &old) == 0 && fchmod(fd_, old.st_mode & kPermissionBits) != 0) {
    throw SystemError("cannot keep the permissions of the file there: ");
  }
  if (!fallback_.name.empty()) {
    if (rename(fallback_.name.c_str(), path_.c_str()) != 0) throw SystemError("");
    fallback_.name.clear();
    return;
  }
  LinkInPlace();
}

void RenderTarget::LinkInPlace() {
  const std::string self = "/proc/self/fd/" + std::to_string(fd_);
  if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path_.c_str(), AT_SYMLINK_FOLLOW) == 0) return;
  if (errno != EEXIST) throw SystemError("");
  // A file is there already: the new one takes a short name beside it, then
  // replaces it in one step.
  const SignalsHeld held;
  for (int attempt = 0; attempt < 100 && fallback_.name.empty(); ++attempt) {
    const std::string name = ShortName(FolderOf(path_));
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      fallback_.name = name;
    } else if (errno != EEXIST) {
      throw SystemError("");
    }
  }
  if (fallback_.name.empty()) throw SystemError("");
  if (rename(fallback_.name.c_str(), path_.c_str()) != 0) {
    const RenderTargetError error = SystemError("");
    unlink(fallback_.name.c_str());
    fallback_.name.clear();
    throw error;
  }
  fallback_.name.clear();
}

void RenderTarget::CopyTo(int out) const {
  if (lseek(fd_, 0, SEEK_SET) != 0) throw SystemError("");
  std::array<char, kCopyBytes> buffer{};
  for (;;) {
    const ssize_t got = read(fd_, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw SystemError("reading the render back failed: ");
    if (got == 0) return;
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = write(out, buffer.data() + done, static_cast<std::size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) throw SystemError("writing failed: ");
      done += put;
    }
  }
}

}  // namespace quillotone
