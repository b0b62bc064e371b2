// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/files/AudioFileWriter.h"

#include <sndfile.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string>

#include "framework/files/Descriptor.h"

namespace quillotone {
namespace {

constexpr int kChannels = 2;

// Told in the user's language, among a render's texts; %1 is the system's
// or libsndfile's reason.
constexpr const char* kCannotStart = QT_TRANSLATE_NOOP("Render", "cannot start the file: %1");
constexpr const char* kWritingFailed = QT_TRANSLATE_NOOP("Render", "writing failed: %1");

std::string Failure(const char* what, const char* reason) {
  return QCoreApplication::translate("Render", what)
      .arg(QString::fromLocal8Bit(reason))
      .toStdString();
}

int SndfileFormat(AudioFileWriter::Format format) {
  switch (format) {
    case AudioFileWriter::Format::Wav:
      return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    case AudioFileWriter::Format::Rf64:
      return SF_FORMAT_RF64 | SF_FORMAT_PCM_16;
    case AudioFileWriter::Format::Flac:
      return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    case AudioFileWriter::Format::Ogg:
      return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    case AudioFileWriter::Format::Opus:
      return SF_FORMAT_OGG | SF_FORMAT_OPUS;
    case AudioFileWriter::Format::Mp3:
      return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
  }
  return 0;
}

// The length of the MPEG-1 layer III frame whose header `bytes` start with;
// 0 if it is none. LAME's own frames are MPEG-1 at 44.1 and 48 kHz.
sf_count_t Mp3FrameBytes(const unsigned char* bytes, sf_count_t count) {
  constexpr std::array<int, 16> kKilobits = {0,   32,  40,  48,  56,  64,  80,  96,
                                             112, 128, 160, 192, 224, 256, 320, 0};
  constexpr std::array<int, 4> kRates = {44100, 48000, 32000, 0};
  if (count < 4 || bytes[0] != 0xFF || (bytes[1] & 0xFE) != 0xFA) return 0;
  const int kilobits = kKilobits[bytes[2] >> 4];
  const int rate = kRates[(bytes[2] >> 2) & 3];
  if (kilobits == 0 || rate == 0) return 0;
  return 144'000 * kilobits / rate + ((bytes[2] >> 1) & 1);
}

// libsndfile's virtual I/O on our descriptor: it reports a failed write only
// as a short count, and this keeps the reason.
AudioFileWriter::Io& IoOf(void* data) { return *static_cast<AudioFileWriter::Io*>(data); }

// A file's offsets count from where the descriptor stood.
sf_count_t FromStart(const AudioFileWriter::Io& io, off_t offset) {
  return offset < 0 ? -1 : offset - io.start;
}

sf_count_t Length(void* data) {
  const AudioFileWriter::Io& io = IoOf(data);
  if (io.stream) return io.sent;
  const off_t here = lseek(io.fd, 0, SEEK_CUR);
  const off_t end = lseek(io.fd, 0, SEEK_END);
  lseek(io.fd, here, SEEK_SET);
  return FromStart(io, end);
}

// A stream only moves libsndfile's idea of where it writes; see Write.
sf_count_t Seek(sf_count_t offset, int whence, void* data) {
  AudioFileWriter::Io& io = IoOf(data);
  if (!io.stream) {
    return FromStart(io, lseek(io.fd, whence == SEEK_SET ? io.start + offset : offset, whence));
  }
  const std::int64_t from = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? io.position : io.sent;
  if (from + offset < 0) return -1;
  io.position = from + offset;
  return io.position;
}

sf_count_t Read(void* out, sf_count_t count, void* data) {
  if (IoOf(data).stream) return 0;
  const ssize_t got = read(IoOf(data).fd, out, static_cast<std::size_t>(count));
  return got < 0 ? 0 : got;
}

// On a stream, bytes for where it has already been (a header filled in at
// the end) cannot be sent; they are dropped, and what is new goes out.
sf_count_t Write(const void* bytes, sf_count_t count, void* data) {
  AudioFileWriter::Io& io = IoOf(data);
  if (io.error != 0) return 0;
  sf_count_t sentBefore = 0;
  if (io.stream) {
    if (io.withholdFirstFrame && io.sent == 0 && io.position == 0) {
      // Sent as though it went out; the rewrite of it at the end is dropped.
      io.sent = std::min<sf_count_t>(Mp3FrameBytes(static_cast<const unsigned char*>(bytes), count),
                                     count);
    }
    sentBefore = std::clamp<sf_count_t>(io.sent - io.position, 0, count);
    io.position += count;
  }
  io.error = WriteAll(io.fd, static_cast<const char*>(bytes) + sentBefore,
                      static_cast<std::size_t>(count - sentBefore));
  if (io.error != 0) return 0;
  if (io.stream) io.sent = std::max(io.sent, io.position);
  return count;
}

sf_count_t Tell(void* data) {
  const AudioFileWriter::Io& io = IoOf(data);
  return io.stream ? io.position : FromStart(io, lseek(io.fd, 0, SEEK_CUR));
}

SF_VIRTUAL_IO kVirtualIo = {Length, Seek, Read, Write, Tell};

void PutLittleEndian(std::array<unsigned char, 44>& bytes, std::size_t at, std::uint32_t value,
                     int size) {
  for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

// The header libsndfile gives a 16-bit stereo WAV file, with the sizes that
// ffmpeg and libsndfile write, and read as "up to the end of the stream",
// where the length is not known in advance: the largest there are.
std::array<unsigned char, 44> WavStreamHeader(int sampleRate) {
  constexpr std::uint32_t kUnknown = 0xFFFF'FFFF;
  constexpr int kBytesPerFrame = kChannels * 2;
  std::array<unsigned char, 44> header{'R', 'I', 'F', 'F', 0,   0,  0, 0, 'W', 'A', 'V',
                                       'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,   1,   0};
  PutLittleEndian(header, 4, kUnknown, 4);
  PutLittleEndian(header, 22, kChannels, 2);
  PutLittleEndian(header, 24, static_cast<std::uint32_t>(sampleRate), 4);
  PutLittleEndian(header, 28, static_cast<std::uint32_t>(sampleRate * kBytesPerFrame), 4);
  PutLittleEndian(header, 32, kBytesPerFrame, 2);
  PutLittleEndian(header, 34, 16, 2);
  const char data[] = "data";
  std::copy(data, data + 4, header.begin() + 36);
  PutLittleEndian(header, 40, kUnknown, 4);
  return header;
}

}  // namespace

AudioFileWriter::AudioFileWriter(int fd, Format format, int sampleRate, Output output) {
  io_.fd = fd;
  io_.stream = output == Output::Stream;
  if (!io_.stream) io_.start = std::max<off_t>(0, lseek(fd, 0, SEEK_CUR));
  // Decoders would take the empty frame LAME keeps for its info for sound.
  io_.withholdFirstFrame = io_.stream && format == Format::Mp3;
  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = kChannels;
  info.format = SndfileFormat(format);
  if (io_.stream && (format == Format::Wav || format == Format::Rf64)) {
    // libsndfile's WAV needs to seek back for its sizes: the header is ours,
    // the samples its, in the same bytes.
    const std::array<unsigned char, 44> header = WavStreamHeader(sampleRate);
    io_.error = WriteAll(fd, header.data(), header.size());
    ThrowIfFailed(kCannotStart);
    info.format = SF_FORMAT_RAW | SF_FORMAT_PCM_16 | SF_ENDIAN_LITTLE;
  }
  file_ = sf_open_virtual(&kVirtualIo, SFM_WRITE, &info, &io_);
  if (file_ == nullptr) throw AudioFileError(sf_strerror(nullptr));
  // Clipped, not wrapped round, where the synth goes past full scale.
  sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  ThrowIfFailed(kCannotStart);
}

AudioFileWriter::~AudioFileWriter() {
  if (file_ != nullptr) sf_close(file_);
}

void AudioFileWriter::ThrowIfFailed(const char* what) const {
  if (io_.error != 0) {
    throw AudioFileError(Failure(what, std::strerror(io_.error)), io_.error);
  }
}

void AudioFileWriter::Write(std::span<const float> left, std::span<const float> right) {
  if (left.size() != right.size()) {
    throw std::logic_error("AudioFileWriter: channels differ in length");
  }
  if (capacity_ < left.size()) {
    capacity_ = left.size();
    interleaved_ = std::make_unique<float[]>(capacity_ * kChannels);
  }
  for (std::size_t i = 0; i < left.size(); ++i) {
    interleaved_[kChannels * i] = left[i];
    interleaved_[kChannels * i + 1] = right[i];
  }
  const auto count = static_cast<sf_count_t>(left.size());
  const sf_count_t written = sf_writef_float(file_, interleaved_.get(), count);
  ThrowIfFailed(kWritingFailed);
  if (written != count) throw AudioFileError(Failure(kWritingFailed, sf_strerror(file_)));
  frames_ += left.size();
}

void AudioFileWriter::Finish() {
  SNDFILE* file = file_;
  file_ = nullptr;
  const int closed = sf_close(file);
  ThrowIfFailed(kWritingFailed);
  if (closed != 0) throw AudioFileError(Failure(kWritingFailed, sf_error_number(closed)));
}

}  // namespace quillotone
