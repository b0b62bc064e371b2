// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/render/MidiSink.h"

#include <QCoreApplication>
#include <cstring>
#include <vector>

#include "framework/files/AudioFileWriter.h"
#include "framework/files/Descriptor.h"

namespace quillotone {

MidiSink::MidiSink(std::string title, int fd)
    : writer_(std::move(title), {kRenderProgram, kRenderProgram}), fd_(fd) {}

void MidiSink::Note(double micros, int channel, int note, int velocity) {
  writer_.Note(micros, channel, note, velocity);
}

void MidiSink::End(double micros) { writer_.End(micros); }

void MidiSink::Finish() {
  const std::vector<unsigned char> bytes = writer_.Bytes();
  if (const int error = WriteAll(fd_, bytes.data(), bytes.size())) {
    throw AudioFileError(QCoreApplication::translate("Render", "writing failed: %1")
                             .arg(QString::fromLocal8Bit(std::strerror(error)))
                             .toStdString(),
                         error);
  }
}

}  // namespace quillotone
