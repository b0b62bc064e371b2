// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/render/Progress.h"

#include <unistd.h>

#include <QCoreApplication>

namespace quillotone {

Progress::Progress(std::ostream& out, double totalMicros)
    : out_(out), total_(totalMicros), shown_(isatty(STDERR_FILENO) == 1) {}

Progress::~Progress() {
  if (shown_ && drawn_) out_ << "\r\033[K" << std::flush;
}

void Progress::Update(double micros) {
  if (!shown_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now < next_) return;
  next_ = now + std::chrono::milliseconds(200);
  out_ << '\r'
       << QCoreApplication::translate("Render", "Rendering: %1 %")
              .arg(static_cast<int>(100.0 * micros / total_))
              .toStdString()
       << std::flush;
  drawn_ = true;
}

}  // namespace quillotone
