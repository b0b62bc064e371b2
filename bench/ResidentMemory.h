// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <unistd.h>

#include <cstdio>

namespace quillotone::testing {

// Resident memory of this process in bytes, 0 if it cannot be read.
inline long ResidentBytes() {
  long pages = 0;
  long resident = 0;
  if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(statm);
  }
  return resident * sysconf(_SC_PAGESIZE);
}

// AddressSanitizer holds freed memory back in quarantine, so resident memory
// says nothing about leaks there (LeakSanitizer covers them instead).
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kResidentMemoryMeaningful = false;
#else
inline constexpr bool kResidentMemoryMeaningful = true;
#endif

// Growth allowed between two points of a long run that should hold steady.
inline constexpr long kFlatMemoryBytes = 1L << 20;

}  // namespace quillotone::testing
