#pragma once

#include <gtest/gtest.h>

#include <cstdlib>

#include "support/ResidentMemory.h"

namespace quillotone::testing {

// Expects resident memory to be within kFlatMemoryBytes of `earlier`, read
// at an earlier point of the same long run. Under AddressSanitizer it says
// why it cannot tell, as a property of the test.
inline void ExpectFlatMemorySince(long earlier) {
  if (!kResidentMemoryMeaningful) {
    ::testing::Test::RecordProperty(
        "memory", "not measured: AddressSanitizer's quarantine holds freed memory");
    return;
  }
  const long growth = ResidentBytes() - earlier;
  EXPECT_LT(std::abs(growth), kFlatMemoryBytes) << "resident memory grew by " << growth << " bytes";
}

}  // namespace quillotone::testing
