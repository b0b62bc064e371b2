// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/audio/SoundFontFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "framework/Printable.h"

namespace quillotone {
namespace {

// A RIFF chunk header: a four-letter id, then the size of what follows.
constexpr std::int64_t kChunkHeader = 8;
// "RIFF", size, "sfbk".
constexpr std::int64_t kFileHeader = 12;

// The problems are told in the user's language, among the synth's texts.
constexpr const char* kWhatToDo = QT_TRANSLATE_NOOP(
    "Synth",
    "Choose a working .sf2/.sf3 file (--soundfont, or QUILLOTONE_SOUNDFONT), or leave both unset "
    "to use the system's (sudo apt-get install fluid-soundfont-gm).");

std::string Problem(const QString& what) {
  return (what + QLatin1Char(' ') + QCoreApplication::translate("Synth", kWhatToDo)).toStdString();
}

constexpr const char* kCannotRead =
    QT_TRANSLATE_NOOP("Synth", "The SoundFont %1 cannot be read: %2.");

// The system's words for `error`.
QString Reason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Closes the descriptor however the check ends.
class File {
 public:
  explicit File(int fd) : fd_(fd) {}
  ~File() {
    if (fd_ >= 0) close(fd_);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  [[nodiscard]] int fd() const { return fd_; }

  // Exactly `size` bytes at `offset`, or false.
  bool ReadAt(std::int64_t offset, char* out, std::size_t size) const {
    std::size_t done = 0;
    while (done < size) {
      const ssize_t got = pread(fd_, out + done, size - done, static_cast<off_t>(offset + done));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      done += static_cast<std::size_t>(got);
    }
    return true;
  }

 private:
  int fd_;
};

std::uint32_t LittleEndian32(const char* bytes) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[i]);
  return value;
}

std::string_view Id(const char* bytes) { return {bytes, 4}; }

// A SoundFont's lists hold a handful of chunks (its file three, "pdta"
// nine); a walk that finds this many without what it looks for is in a file
// of something else, made of small chunks, however large it is.
constexpr int kMostChunks = 64;

// A chunk's id is four printable ASCII characters. Anything else (zeros
// after a valid header, say) is no chunk, and nothing after it can be
// trusted: the walk stops there rather than step through a whole file of
// empty "chunks".
bool IsChunkId(const char* bytes) {
  return std::all_of(bytes, bytes + 4, [](char c) { return c >= 0x20 && c <= 0x7E; });
}

// Where a chunk's contents lie in the file.
struct Chunk {
  std::int64_t begin = 0;
  std::int64_t end = 0;
  [[nodiscard]] std::int64_t size() const { return end - begin; }
};

// The sub-chunk `id` of a LIST chunk's contents, if it is there whole.
std::optional<Chunk> SubChunk(const File& file, Chunk list, std::string_view id) {
  std::int64_t offset = list.begin;
  for (int walked = 0; walked < kMostChunks && offset + kChunkHeader <= list.end; ++walked) {
    std::array<char, kChunkHeader> header{};
    if (!file.ReadAt(offset, header.data(), header.size()) || !IsChunkId(header.data())) {
      return std::nullopt;
    }
    const Chunk chunk{offset + kChunkHeader,
                      offset + kChunkHeader + LittleEndian32(header.data() + 4)};
    if (chunk.end > list.end) return std::nullopt;
    if (Id(header.data()) == id) return chunk;
    offset = chunk.end + (chunk.end & 1);
  }
  return std::nullopt;
}

// A sample header: its name, then where its sample lies, in sample points
// (bytes for a compressed .sf3 sample), then its type last.
constexpr std::int64_t kSampleHeader = 46;
constexpr std::size_t kStartAt = 20;
constexpr std::size_t kEndAt = 24;
constexpr std::size_t kTypeAt = 44;
constexpr unsigned kRomSample = 0x8000;
constexpr unsigned kCompressedSample = 0x10;
constexpr std::int64_t kBytesPerPoint = 2;

// FluidSynth loads a SoundFont without samples, or with sample headers that
// point past them, and then plays silence.
std::optional<std::string> SampleProblem(const File& file, Chunk samples, Chunk presets,
                                         const QString& named) {
  const std::optional<Chunk> points = SubChunk(file, samples, "smpl");
  if (!points || points->size() == 0) {
    return Problem(
        (points
             ? QCoreApplication::translate(
                   "Synth", "The SoundFont %1 has no sample data (its \"smpl\" chunk is empty).")
             : QCoreApplication::translate(
                   "Synth", "The SoundFont %1 has no sample data (its \"smpl\" chunk is missing)."))
            .arg(named));
  }
  const std::optional<Chunk> headers = SubChunk(file, presets, "shdr");
  // At least one sample and the terminal record.
  if (!headers || headers->size() < 2 * kSampleHeader || headers->size() % kSampleHeader != 0) {
    return Problem(QCoreApplication::translate(
                       "Synth", "The SoundFont %1 is damaged: its sample headers are missing.")
                       .arg(named));
  }
  std::vector<char> bytes(static_cast<std::size_t>(headers->size()));
  if (!file.ReadAt(headers->begin, bytes.data(), bytes.size())) {
    return Problem(QCoreApplication::translate("Synth", kCannotRead).arg(named, Reason(errno)));
  }
  const std::int64_t count = headers->size() / kSampleHeader - 1;
  for (std::int64_t i = 0; i < count; ++i) {
    const char* header = bytes.data() + i * kSampleHeader;
    const unsigned type = static_cast<unsigned char>(header[kTypeAt]) |
                          static_cast<unsigned>(static_cast<unsigned char>(header[kTypeAt + 1]))
                              << 8;
    if ((type & kRomSample) != 0) continue;
    const std::int64_t limit =
        (type & kCompressedSample) != 0 ? points->size() : points->size() / kBytesPerPoint;
    const std::uint32_t start = LittleEndian32(header + kStartAt);
    const std::uint32_t stop = LittleEndian32(header + kEndAt);
    if (start > stop || stop > limit) {
      return Problem(
          QCoreApplication::translate(
              "Synth", "The SoundFont %1 is damaged: its sample %2 lies outside its sample data.")
              .arg(named, QString::number(i)));
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> SoundFontProblem(const std::string& path) {
  const QString named = QString::fromStdString("\"" + Printable(path) + "\"");
  // Non-blocking, so that opening a pipe returns at once instead of waiting
  // for a writer; fstat below then turns it away.
  const File file(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (file.fd() < 0) {
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) {
      return Problem(QCoreApplication::translate("Synth", "SoundFont not found: %1.").arg(named));
    }
    if (error == EACCES) {
      return Problem(QCoreApplication::translate(
                         "Synth",
                         "The SoundFont %1 cannot be read: permission denied (check the file's "
                         "permissions).")
                         .arg(named));
    }
    return Problem(QCoreApplication::translate("Synth", "The SoundFont %1 cannot be opened: %2.")
                       .arg(named, Reason(error)));
  }
  struct stat info {};
  if (fstat(file.fd(), &info) != 0) {
    return Problem(QCoreApplication::translate("Synth", kCannotRead).arg(named, Reason(errno)));
  }
  if (S_ISDIR(info.st_mode)) {
    return Problem(
        QCoreApplication::translate("Synth", "%1 is a folder, not a SoundFont file.").arg(named));
  }
  if (!S_ISREG(info.st_mode)) {
    return Problem(
        QCoreApplication::translate(
            "Synth", "%1 is not a regular file (a pipe or a device?), so not a SoundFont.")
            .arg(named));
  }
  const std::int64_t size = info.st_size;
  if (size == 0) {
    return Problem(
        QCoreApplication::translate("Synth", "The SoundFont %1 is empty (0 bytes).").arg(named));
  }

  std::array<char, kFileHeader> header{};
  if (size < kFileHeader || !file.ReadAt(0, header.data(), header.size()) ||
      Id(header.data()) != "RIFF" || Id(header.data() + 8) != "sfbk") {
    return Problem(QCoreApplication::translate(
                       "Synth", "%1 is not a SoundFont: it does not begin like a .sf2/.sf3 file.")
                       .arg(named));
  }
  const std::int64_t end = kChunkHeader + LittleEndian32(header.data() + 4);
  if (end > size) {
    return Problem(QCoreApplication::translate(
                       "Synth",
                       "The SoundFont %1 is incomplete: it has %2 bytes where its header promises "
                       "%3. It was probably cut short while being copied or downloaded.")
                       .arg(named, QString::number(size), QString::number(end)));
  }

  // The three parts every SoundFont has, in this order: its information, its
  // samples and the presets that play them.
  constexpr std::array<std::string_view, 3> kParts = {"INFO", "sdta", "pdta"};
  std::array<Chunk, kParts.size()> parts{};
  std::size_t found = 0;
  std::int64_t offset = kFileHeader;
  for (int walked = 0;
       walked < kMostChunks && offset + kChunkHeader <= end && found < kParts.size(); ++walked) {
    std::array<char, kChunkHeader + 4> chunk{};
    if (!file.ReadAt(offset, chunk.data(), chunk.size()) || !IsChunkId(chunk.data())) break;
    const std::int64_t next = offset + kChunkHeader + LittleEndian32(chunk.data() + 4);
    if (next > end) break;
    if (Id(chunk.data()) == "LIST" && Id(chunk.data() + 8) == kParts[found]) {
      parts[found++] = {offset + kChunkHeader + 4, next};
    }
    offset = next + (next & 1);  // chunks are padded to an even length
  }
  if (found < kParts.size()) {
    return Problem(QCoreApplication::translate(
                       "Synth",
                       "The SoundFont %1 is damaged: its \"%2\" part is missing or runs past the "
                       "end of the file.")
                       .arg(named, QLatin1StringView(kParts[found].data(), kParts[found].size())));
  }
  return SampleProblem(file, parts[1], parts[2], named);
}

}  // namespace quillotone
