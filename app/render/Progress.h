// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <ostream>

namespace quillotone {

// Shows how far a long render has got, on a terminal only; gone before any
// message that follows.
class Progress {
 public:
  Progress(std::ostream& out, double totalMicros);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  void Update(double micros);

 private:
  std::ostream& out_;
  double total_;
  bool shown_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point next_ = std::chrono::steady_clock::now();
};

}  // namespace quillotone
