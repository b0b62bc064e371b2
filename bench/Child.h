// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Child processes for the benchmarks: each measurement runs in one of its
// own, as do the recorders and the sound server's helpers.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/Child.h"

namespace quillotone::bench {

namespace fs = std::filesystem;
using testing::Child;

inline std::string ReadText(const fs::path& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace quillotone::bench
