// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>

typedef struct sf_private_tag SNDFILE;

namespace quillotone {

// A write that failed (a full disk, a file-size limit, a closed pipe): the
// system's words, and its error number where it gave one.
class AudioFileError : public std::runtime_error {
 public:
  explicit AudioFileError(const std::string& what, int code = 0)
      : std::runtime_error(what), code_(code) {}
  [[nodiscard]] int code() const { return code_; }

 private:
  int code_;
};

// Stereo audio encoded by libsndfile into an open file descriptor, which
// stays the caller's. Every write is checked as it happens, so a full disk
// stops a render at once rather than at the end.
//
// A file is written, read and seeked as the format needs, from where the
// descriptor stands (standard output on a file). A stream (a pipe,
// a device, standard output) only ever gets the next bytes: what a format
// would go back to fill in at the end (sizes, totals, checksums) keeps the
// value that means "unknown", and the audio decodes the same.
class AudioFileWriter {
 public:
  // WAV and RF64 (WAV with 64-bit sizes, for files past 4 GB) are 16-bit PCM.
  enum class Format { Wav, Rf64, Flac, Ogg, Opus, Mp3 };
  enum class Output { File, Stream };
  // The most bytes of samples a WAV file's 32-bit sizes leave room for.
  static constexpr std::uint64_t kMaxWavDataBytes = 0xFFFF'FFFFull - 1024;

  // Throws AudioFileError.
  AudioFileWriter(int fd, Format format, int sampleRate, Output output = Output::File);
  ~AudioFileWriter();
  AudioFileWriter(const AudioFileWriter&) = delete;
  AudioFileWriter& operator=(const AudioFileWriter&) = delete;

  // Appends frames, one sample of each channel; values beyond ±1 are clipped.
  void Write(std::span<const float> left, std::span<const float> right);
  // Flushes the encoder and completes the headers. Nothing may be written after.
  void Finish();

  [[nodiscard]] std::uint64_t frames() const { return frames_; }

  // The file descriptor and the first error met on it, for libsndfile's
  // callbacks; for a stream, how much is sent and where libsndfile thinks
  // it writes.
  struct Io {
    int fd = -1;
    // Where a file's first byte goes.
    std::int64_t start = 0;
    int error = 0;
    bool stream = false;
    // MP3's first frame, kept empty for the info that is written last.
    bool withholdFirstFrame = false;
    std::int64_t sent = 0;
    std::int64_t position = 0;
  };

 private:
  // `what`: a render's text with %1 for the system's reason.
  void ThrowIfFailed(const char* what) const;

  Io io_;
  SNDFILE* file_ = nullptr;
  std::uint64_t frames_ = 0;
  std::unique_ptr<float[]> interleaved_;
  std::size_t capacity_ = 0;
};

}  // namespace quillotone
