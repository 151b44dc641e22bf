// Passes the progress of one piece of work on to the caller's optional
// Progress: never backwards, at most about kReports times over the whole work
// (a report may post to a window, so it costs), and 1 only once the work has
// completed, so that a stop asked for at any earlier report is honoured. Used
// only on the thread that called the unit: the caller's Report is never
// called from two threads.
#pragma once

#include "io/Progress.h"

class ProgressTicker {
 public:
  static constexpr int kReports = 200;

  explicit ProgressTicker(const Progress* progress) : progress_(progress) {}

  // Reports `fraction` when it lies a step beyond the last report. 1 is left
  // to Done: the work may still stop or fail after its last step.
  void At(double fraction) {
    if (progress_ == nullptr || fraction < next_ || fraction >= 1.0) return;
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
