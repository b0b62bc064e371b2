// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/files/AudioFileWriter.h"

#include <sndfile.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace quillotone {
namespace {

constexpr int kChannels = 2;

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

// libsndfile's virtual I/O on our descriptor: it reports a failed write only
// as a short count, and this keeps the reason.
AudioFileWriter::Io& IoOf(void* data) { return *static_cast<AudioFileWriter::Io*>(data); }

sf_count_t Length(void* data) {
  const off_t here = lseek(IoOf(data).fd, 0, SEEK_CUR);
  const off_t end = lseek(IoOf(data).fd, 0, SEEK_END);
  lseek(IoOf(data).fd, here, SEEK_SET);
  return end;
}

sf_count_t Seek(sf_count_t offset, int whence, void* data) {
  return lseek(IoOf(data).fd, offset, whence);
}

sf_count_t Read(void* out, sf_count_t count, void* data) {
  const ssize_t got = read(IoOf(data).fd, out, static_cast<std::size_t>(count));
  return got < 0 ? 0 : got;
}

sf_count_t Write(const void* bytes, sf_count_t count, void* data) {
  AudioFileWriter::Io& io = IoOf(data);
  sf_count_t done = 0;
  while (done < count && io.error == 0) {
    const ssize_t put = write(io.fd, static_cast<const char*>(bytes) + done,
                              static_cast<std::size_t>(count - done));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) io.error = put < 0 ? errno : ENOSPC;
    if (put > 0) done += put;
  }
  return done;
}

sf_count_t Tell(void* data) { return lseek(IoOf(data).fd, 0, SEEK_CUR); }

SF_VIRTUAL_IO kVirtualIo = {Length, Seek, Read, Write, Tell};

}  // namespace

AudioFileWriter::AudioFileWriter(int fd, Format format, int sampleRate) {
  io_.fd = fd;
  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = kChannels;
  info.format = SndfileFormat(format);
  file_ = sf_open_virtual(&kVirtualIo, SFM_WRITE, &info, &io_);
  if (file_ == nullptr) throw AudioFileError(sf_strerror(nullptr));
  // Clipped, not wrapped round, where the synth goes past full scale.
  sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  ThrowIfFailed("cannot start the file");
}

AudioFileWriter::~AudioFileWriter() {
  if (file_ != nullptr) sf_close(file_);
}

void AudioFileWriter::ThrowIfFailed(const char* what) const {
  if (io_.error != 0) throw AudioFileError(std::string(what) + ": " + std::strerror(io_.error));
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
  ThrowIfFailed("writing failed");
  if (written != count) throw AudioFileError(std::string("writing failed: ") + sf_strerror(file_));
  frames_ += left.size();
}

void AudioFileWriter::Finish() {
  SNDFILE* file = file_;
  file_ = nullptr;
  const int closed = sf_close(file);
  ThrowIfFailed("writing failed");
  if (closed != 0) throw AudioFileError(std::string("writing failed: ") + sf_error_number(closed));
}

}  // namespace quillotone
