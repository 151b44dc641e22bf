// The window closed while long work runs under its progress dialog: the work
// stops as "中止" stops it, the dialog goes, and the program can end at once
// instead of waiting for all of the work.
#include <gtest/gtest.h>

#include <QApplication>
#include <QProgressDialog>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <thread>

#include "components/qt/QtPlatform.h"
#include "tests/support/QtTestApp.h"

namespace {

TEST(LongWorkClose, ClosingTheWindowStopsTheWork) {
  EnsureQtApp();
  QWidget window;
  window.show();
  QtPlatform platform(&window);
  bool closedWhileShown = false;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (qobject_cast<QProgressDialog*>(QApplication::activeModalWidget()) != nullptr && window.isVisible()) {
      closedWhileShown = true;
      window.close();
    }
  });
  closer.start(20);
  std::atomic<int> steps{0};
  const auto begin = std::chrono::steady_clock::now();
  // 20 s of work, checking for a stop every 10 ms.
  const bool completed = platform.RunLongWork("読み込み中…", [&](WorkReporter& reporter) {
    for (int i = 0; i < 2000 && !reporter.progress.Cancelled(); ++i) {
      ++steps;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  const auto took = std::chrono::steady_clock::now() - begin;
  EXPECT_TRUE(closedWhileShown);
  EXPECT_FALSE(completed);
  EXPECT_LT(steps.load(), 2000);
  EXPECT_LT(took, std::chrono::seconds(5));
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
