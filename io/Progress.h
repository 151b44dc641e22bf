// How long work reports how far it has come and learns that it should stop:
// the caller passes one of these in; the unit reports at its block boundaries
// and, when the caller has asked it to stop, ends there with nothing changed.
// The unit knows nothing of threads or dialogs: `Report` may post to a
// window, and `Cancel` may be set from any thread.
#pragma once

#include <atomic>
#include <functional>

struct Progress {
  // Fraction done, 0 to 1, never decreasing; the last report of work that
  // completes is 1. May be empty.
  std::function<void(double fraction)> Report;
  // Set by the caller to stop the work at its next block boundary. May be null.
  const std::atomic<bool>* Cancel = nullptr;

  void At(double fraction) const {
    if (Report) Report(fraction);
  }
  bool Cancelled() const { return Cancel != nullptr && Cancel->load(std::memory_order_relaxed); }
};
