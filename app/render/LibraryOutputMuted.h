// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace quillotone {

// FluidSynth, and the SoundFont loader it falls back on, print lines of
// their own about a damaged SoundFont (its error is ours to say, once).
// Whatever they print goes nowhere while this lives.
class LibraryOutputMuted {
 public:
  LibraryOutputMuted();
  ~LibraryOutputMuted();
  LibraryOutputMuted(const LibraryOutputMuted&) = delete;
  LibraryOutputMuted& operator=(const LibraryOutputMuted&) = delete;

 private:
  int saved_;
};

}  // namespace quillotone
