// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/render/RenderTarget.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QCoreApplication>
#include <array>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>
#include <optional>
#include <random>
#include <vector>

namespace quillotone {
namespace {

// A new file gets these permissions less the umask, as any program's would.
constexpr mode_t kNewFileMode = 0666;
constexpr mode_t kPermissionBits = 07777;
// As many as the kernel follows in one path.
constexpr int kMaxSymlinks = 40;
// Where a file's access control list beyond its mode is kept.
constexpr char kAclAttribute[] = "system.posix_acl_access";

// What the system says went wrong (errno), inside `what` (a text with %1
// for it) where one is given: in the user's language.
RenderTargetError SystemError(const char* what = nullptr) {
  const QString reason = QString::fromLocal8Bit(std::strerror(errno));
  return RenderTargetError(
      (what != nullptr ? QCoreApplication::translate("Render", what).arg(reason) : reason)
          .toStdString());
}

// A refusal, in the user's language.
RenderTargetError Refusal(const QString& why) { return RenderTargetError(why.toStdString()); }

constexpr const char* kWritingFailed = QT_TRANSLATE_NOOP("Render", "writing failed: %1");

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The descriptor of this process that `path` names literally, if any:
// /proc/self/fd/N and the like, where /dev/stdout and /dev/stderr lead.
std::optional<int> OwnDescriptor(const std::string& path) {
  for (const std::string& folder :
       {std::string("/proc/self/fd/"), std::string("/dev/fd/"),
        std::string("/proc/thread-self/fd/"), "/proc/" + std::to_string(getpid()) + "/fd/"}) {
    if (path.size() <= folder.size() || path.compare(0, folder.size(), folder) != 0) continue;
    int fd = -1;
    const char* end = path.data() + path.size();
    const auto [stop, error] = std::from_chars(path.data() + folder.size(), end, fd);
    if (error == std::errc() && stop == end) return fd;
  }
  return std::nullopt;
}

// Where `path` leads through its symbolic links, the last one included: a
// descriptor of our own, or a name that is no link (a file, a device, or
// nothing yet).
struct Destination {
  std::string path;
  std::optional<int> own;
};

Destination Follow(std::string path) {
  for (int hop = 0; hop <= kMaxSymlinks; ++hop) {
    if (const std::optional<int> own = OwnDescriptor(path)) return {path, own};
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return {path, std::nullopt};
    std::array<char, PATH_MAX> target{};
    const ssize_t size = readlink(path.c_str(), target.data(), target.size());
    if (size < 0) throw SystemError();
    const std::string next(target.data(), static_cast<std::size_t>(size));
    path = next.front() == '/' ? next : FolderOf(path) + "/" + next;
  }
  errno = ELOOP;
  throw SystemError();
}

// CAP_FOWNER: root's leave to replace anyone's file in a sticky folder.
bool MayReplaceAnyonesFile() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  std::array<__user_cap_data_struct, _LINUX_CAPABILITY_U32S_3> data{};
  if (syscall(SYS_capget, &header, data.data()) != 0) return false;
  return (data[CAP_FOWNER / 32].effective & (1u << (CAP_FOWNER % 32))) != 0;
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

RenderTarget::RenderTarget(std::string path, const std::function<void()>& waitingForReader) {
  if (path == "-") {
    OpenStream(STDOUT_FILENO);
    return;
  }
  const Destination destination = Follow(std::move(path));
  if (destination.own) {
    OpenStream(*destination.own);
    return;
  }
  path_ = destination.path;
  struct stat info {};
  if (stat(path_.c_str(), &info) != 0) {
    if (errno == ENAMETOOLONG) {
      throw Refusal(QCoreApplication::translate(
          "Render", "the name is too long (at most 255 bytes a name, 4095 a path)"));
    }
    if (errno != ENOENT) throw SystemError();
  } else if (S_ISDIR(info.st_mode)) {
    throw Refusal(QCoreApplication::translate("Render", "it is a folder"));
  } else if (S_ISBLK(info.st_mode)) {
    throw Refusal(
        QCoreApplication::translate("Render", "it is a disk; a render is not written over one"));
  } else if (S_ISFIFO(info.st_mode)) {
    OpenFifo(waitingForReader);
    return;
  } else if (!S_ISREG(info.st_mode)) {
    // A device is written, not replaced.
    const Descriptor device(open(path_.c_str(), O_WRONLY | O_CLOEXEC));
    if (device.get() < 0) throw SystemError();
    OpenStream(device.get());
    return;
  } else {
    CheckReplaceable(info);
    device_ = info.st_dev;
    inode_ = info.st_ino;
    identified_ = true;
  }
  OpenUnnamed(FolderOf(path_));
}

void RenderTarget::OpenStream(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 && errno == EBADF) {
    throw Refusal(
        QCoreApplication::translate(
            "Render", "descriptor %1 is not open; open it for writing (> song.flac) or name a file")
            .arg(fd));
  }
  if (flags >= 0 && (flags & O_ACCMODE) == O_RDONLY) {
    throw Refusal(QCoreApplication::translate("Render",
                                              "descriptor %1 is open only for reading; open it "
                                              "for writing (> song.flac) or name a file")
                      .arg(fd));
  }
  if (isatty(fd) == 1) {
    throw Refusal(QCoreApplication::translate(
        "Render",
        "it is a terminal; send the render to a file or a pipe (> song.flac, or | aplay)"));
  }
  stream_ = Descriptor(fcntl(fd, F_DUPFD_CLOEXEC, 0));
  if (stream_.get() < 0) throw SystemError();
  fd_ = stream_.get();
  struct stat info {};
  if (fstat(fd_, &info) != 0) throw SystemError();
  device_ = info.st_dev;
  inode_ = info.st_ino;
  identified_ = true;
  // A regular file opened for writing where it stands (not appending) can
  // go back for what a format writes last, as a named one does.
  const off_t start = lseek(fd_, 0, SEEK_CUR);
  inPlace_ = S_ISREG(info.st_mode) && (flags & O_APPEND) == 0 && start >= 0;
  if (inPlace_ && start == info.st_size) cutBackTo_ = start;
}

void RenderTarget::OpenFifo(const std::function<void()>& waitingForReader) {
  Descriptor fifo(open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
  if (fifo.get() < 0 && errno == ENXIO) {
    waitingForReader();
    fifo = Descriptor(open(path_.c_str(), O_WRONLY | O_CLOEXEC));
  } else if (fifo.get() >= 0) {
    fcntl(fifo.get(), F_SETFL, fcntl(fifo.get(), F_GETFL) & ~O_NONBLOCK);
  }
  if (fifo.get() < 0) throw SystemError();
  OpenStream(fifo.get());
}

bool RenderTarget::Overwrites(const std::string& path) const {
  struct stat info {};
  return identified_ && stat(path.c_str(), &info) == 0 && info.st_dev == device_ &&
         info.st_ino == inode_;
}

// What rename(2) would refuse at the end, said before the work.
void RenderTarget::CheckReplaceable(const struct stat& file) const {
  struct stat folder {};
  if (stat(FolderOf(path_).c_str(), &folder) != 0) throw SystemError();
  const uid_t me = geteuid();
  if ((folder.st_mode & S_ISVTX) != 0 && file.st_uid != me && folder.st_uid != me &&
      !MayReplaceAnyonesFile()) {
    throw Refusal(QCoreApplication::translate(
        "Render",
        "the file there is another user's, in a folder where only a file's owner may replace it "
        "(the sticky bit); choose another name"));
  }
}

void RenderTarget::OpenUnnamed(const std::string& folder) {
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
  }
  if (file_.get() < 0) throw SystemError();
  fd_ = file_.get();
}

RenderTarget::~RenderTarget() {
  if (inPlace_ && !committed_ && cutBackTo_ >= 0) {
    [[maybe_unused]] const int cut = ftruncate(fd_, cutBackTo_);
  }
}

void RenderTarget::Commit() {
  if (streams()) return;
  if (inPlace_) {
    if (fsync(fd_) != 0) throw SystemError(kWritingFailed);
    committed_ = true;
    return;
  }
  struct stat old {};
  if (stat(path_.c_str(), &old) == 0) KeepOwnerAndAccess(old);
  // On the disk before it has the name, so a power cut leaves the old file
  // or the new one, never a part of it.
  if (fsync(fd_) != 0) throw SystemError(kWritingFailed);
  if (!fallback_.name.empty()) {
    if (rename(fallback_.name.c_str(), path_.c_str()) != 0) throw SystemError();
    fallback_.name.clear();
  } else {
    LinkInPlace();
  }
  // The name on the disk too, before the render says it is done.
  SyncFolder();
}

// The owner and group first: a change of owner clears set-user-ID bits that
// the mode then puts back. Whatever a user may not give away (another
// user's file replaced in a folder of one's own) stays the renderer's.
void RenderTarget::KeepOwnerAndAccess(const struct stat& old) const {
  if (fchown(fd_, old.st_uid, old.st_gid) != 0) {
    [[maybe_unused]] const int group = fchown(fd_, static_cast<uid_t>(-1), old.st_gid);
  }
  if (fchmod(fd_, old.st_mode & kPermissionBits) != 0) {
    throw SystemError(
        QT_TRANSLATE_NOOP("Render", "cannot keep the permissions of the file there: %1"));
  }
  // Where the file system keeps ACLs, the old file's list goes over whole;
  // where it keeps none, the mode is all there is.
  const ssize_t size = getxattr(path_.c_str(), kAclAttribute, nullptr, 0);
  if (size <= 0) return;
  std::vector<char> acl(static_cast<std::size_t>(size));
  const ssize_t got = getxattr(path_.c_str(), kAclAttribute, acl.data(), acl.size());
  if (got > 0 && fsetxattr(fd_, kAclAttribute, acl.data(), static_cast<std::size_t>(got), 0) != 0 &&
      errno != ENOTSUP && errno != EPERM) {
    throw SystemError(
        QT_TRANSLATE_NOOP("Render", "cannot keep the access control list of the file there: %1"));
  }
}

void RenderTarget::SyncFolder() const {
  const Descriptor folder(open(FolderOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  // Some file systems cannot sync a folder (EINVAL): their names are on the
  // disk when the file is.
  if (folder.get() < 0 || (fsync(folder.get()) != 0 && errno != EINVAL)) {
    throw SystemError(QT_TRANSLATE_NOOP(
        "Render", "the file is in place, but its folder could not be written to the disk: %1"));
  }
}

void RenderTarget::LinkInPlace() {
  const std::string self = "/proc/self/fd/" + std::to_string(fd_);
  if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path_.c_str(), AT_SYMLINK_FOLLOW) == 0) return;
  if (errno != EEXIST) throw SystemError();
  // A file is there already: the new one takes a short name beside it, then
  // replaces it in one step.
  const SignalsHeld held;
  for (int attempt = 0; attempt < 100 && fallback_.name.empty(); ++attempt) {
    const std::string name = ShortName(FolderOf(path_));
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      fallback_.name = name;
    } else if (errno != EEXIST) {
      throw SystemError();
    }
  }
  if (fallback_.name.empty()) throw SystemError();
  if (rename(fallback_.name.c_str(), path_.c_str()) != 0) {
    const RenderTargetError error = SystemError();
    unlink(fallback_.name.c_str());
    fallback_.name.clear();
    throw error;
  }
  fallback_.name.clear();
}

}  // namespace quillotone
