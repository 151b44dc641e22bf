// A Progress for tests: records every report and, when told to, asks the work
// to stop as the report numbered `stopAt` (1 for the first) arrives.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "io/Progress.h"

class ProgressProbe {
 public:
  explicit ProgressProbe(int stopAt = 0) : stopAt_(stopAt) {
    progress_.Report = [this](double fraction) {
      reports.push_back(fraction);
      if (static_cast<int>(reports.size()) == stopAt_) cancel_ = true;
    };
    progress_.Cancel = &cancel_;
  }
  ProgressProbe(const ProgressProbe&) = delete;
  ProgressProbe& operator=(const ProgressProbe&) = delete;

  const Progress* get() const { return &progress_; }

  // Several reports, never decreasing, within 0 .. 1, the last exactly 1.
  void ExpectCompleted(int atLeast = 3) const {
    ASSERT_GE(static_cast<int>(reports.size()), atLeast);
    for (std::size_t k = 0; k < reports.size(); ++k) {
      EXPECT_GE(reports[k], 0.0) << k;
      if (k > 0) {
        EXPECT_GE(reports[k], reports[k - 1]) << k;
      }
    }
    EXPECT_EQ(reports.back(), 1.0);
  }

  std::vector<double> reports;

 private:
  int stopAt_;
  std::atomic<bool> cancel_{false};
  Progress progress_;
};
