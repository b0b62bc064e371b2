// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdarg>
#include <cstddef>
#include <string_view>

namespace quillotone {

// Keeps FluidSynth's and ALSA's messages off the terminal where the program
// says what matters in its own words: FluidSynth's chatter (info, debug) is
// dropped everywhere; its warnings and errors reach stderr marked as ours,
// except on a thread that captures them.
void RouteFluidSynthLog();

// Whether the user asked for the libraries' own words (QUILLOTONE_DEBUG=1).
[[nodiscard]] bool WantsLibraryDetails();

// This thread's FluidSynth and ALSA messages go into this object while it is
// installed (while opening an output, say, which without a server would
// print a dozen lines at every retry). Its room is fixed, so capturing never
// allocates: the audio thread captures too (its write error is how a lost
// server shows).
class CapturedLog {
 public:
  CapturedLog() = default;
  CapturedLog(const CapturedLog&) = delete;
  CapturedLog& operator=(const CapturedLog&) = delete;

  // Appends, cut short when the room is full.
  void Add(std::string_view text);
  void Clear() { size_ = 0; }
  [[nodiscard]] std::string_view text() const { return {text_.data(), size_}; }

  // Installs `log` on this thread until the returned scope ends.
  class Scope {
   public:
    explicit Scope(CapturedLog& log);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    // ALSA's snd_local_error_handler_t, spelled out to keep its header here out.
    using AlsaHandler = void (*)(const char*, int, const char*, int, const char*, va_list);
    CapturedLog* previous_;
    AlsaHandler previousAlsa_;
  };
  // Installs `log` on this thread for as long as the thread lives (the audio
  // thread, which ends before what it captures into).
  static void InstallOnThisThread(CapturedLog& log);

 private:
  std::array<char, 1024> text_{};
  std::size_t size_ = 0;
};

}  // namespace quillotone
