// Passes the progress of one piece of work on to the caller's optional
// Progress: never backwards, at most about kReports times over the whole work
// (a report may post to a window, so it costs), and exactly 1 at the end of
// work that completes. Used only on the thread that called the unit, so the
// caller's Report is never called from two threads.
#pragma once

#include "io/Progress.h"

class ProgressTicker {
 public:
  static constexpr int kReports = 200;

  explicit ProgressTicker(const Progress* progress) : progress_(progress) {}

  // Reports `fraction` (0 to 1) when it lies a step beyond the last report.
  void At(double fraction) {
    if (progress_ == nullptr || fraction < next_) return;
    if (fraction > 1.0) fraction = 1.0;
    progress_->At(fraction);
    last_ = fraction;
    next_ = fraction + 1.0 / kReports;
  }
  // The work is complete.
  void Done() {
    if (progress_ != nullptr && last_ < 1.0) progress_->At(1.0);
    last_ = 1.0;
  }
  bool Cancelled() const { return progress_ != nullptr && progress_->Cancelled(); }

 private:
  const Progress* progress_;
  double last_ = -1.0;
  double next_ = 0.0;
};
