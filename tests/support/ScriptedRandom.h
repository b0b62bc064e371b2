// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <deque>
#include <stdexcept>
#include <utility>
#include <vector>

#include "framework/Random.h"

namespace quillotone::testing {

// Gives the draws a test wrote down, in order, and tells `ranges` (which
// outlives the melody that owns this) every range it was asked for. Running
// out of draws is a test failure, not a silent zero.
class ScriptedRandom final : public RandomSource {
 public:
  explicit ScriptedRandom(std::deque<int> draws, std::vector<std::pair<int, int>>* ranges = nullptr)
      : draws_(std::move(draws)), ranges_(ranges) {}

  int InRange(int lo, int hi) override {
    if (ranges_ != nullptr) ranges_->emplace_back(lo, hi);
    if (draws_.empty()) throw std::out_of_range("scripted draws ran out");
    const int value = draws_.front();
    draws_.pop_front();
    return value;
  }

 private:
  std::deque<int> draws_;
  std::vector<std::pair<int, int>>* ranges_;
};

}  // namespace quillotone::testing
