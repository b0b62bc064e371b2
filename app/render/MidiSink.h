// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "app/render/NoteSink.h"
#include "framework/files/MidiFileWriter.h"

namespace quillotone {

// The notes as a Standard MIDI File. It is small, so it is assembled in
// memory and written whole at the end.
class MidiSink final : public NoteSink {
 public:
  MidiSink(std::string title, int fd);
  void Note(double micros, int channel, int note, int velocity) override;
  void End(double micros) override;
  void Finish() override;  // throws AudioFileError

 private:
  MidiFileWriter writer_;
  int fd_;
};

}  // namespace quillotone
