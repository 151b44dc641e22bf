// Shows the wait cursor while a short piece of work blocks the window: an
// evaluation, which takes a few milliseconds. Work that can take longer (a
// load, the filter, a conversion) runs away from the window with a progress
// dialog instead (Platform::RunLongWork).
#pragma once

#include <QApplication>

class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};
