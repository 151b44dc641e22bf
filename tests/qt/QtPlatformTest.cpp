// Long work under the real progress dialog: quick work shows none, 中止 on
// the shown dialog stops the work at its next check, and a failure of the
// work reaches the window's thread instead of ending the program.
#include <gtest/gtest.h>

#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <new>
#include <thread>

#include "components/qt/QtPlatform.h"
#include "tests/support/QtTestApp.h"

namespace {

class QtPlatformTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { EnsureQtApp(); }
  QtPlatform platform;
};

TEST_F(QtPlatformTest, QuickWorkCompletesWithoutADialog) {
  bool dialogSeen = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] { dialogSeen |= QApplication::activeModalWidget() != nullptr; });
  watch.start(5);
  int steps = 0;
  const bool completed = platform.RunLongWork("読み込み中…", [&](WorkReporter& reporter) {
    for (; steps < 10; ++steps) reporter.progress.At(steps / 10.0);
  });
  EXPECT_TRUE(completed);
  EXPECT_EQ(steps, 10);
  EXPECT_FALSE(dialogSeen);
}

// Runs work that would last 20 s and answers the progress dialog, once it
// shows, with `answer`; returns whether the work completed.
bool RunAnswered(QtPlatform& platform, const std::function<void(QProgressDialog&)>& answer, QString& shownLabel,
                 int& checks) {
  QTimer press;
  QObject::connect(&press, &QTimer::timeout, [&] {
    if (auto* dialog = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget())) {
      shownLabel = dialog->labelText();
      answer(*dialog);
    }
  });
  press.start(20);
  std::atomic<int> count{0};
  const bool completed = platform.RunLongWork("変換中…", [&](WorkReporter& reporter) {
    reporter.Stage("フィルタ処理中…");
    for (int i = 0; i < 2000 && !reporter.progress.Cancelled(); ++i) {
      ++count;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  checks = count.load();
  return completed;
}

TEST_F(QtPlatformTest, CancelOrEscOnTheShownDialogStopsTheWork) {
  const std::function<void(QProgressDialog&)> answers[] = {
      [](QProgressDialog& dialog) {
        if (auto* button = dialog.findChild<QPushButton*>()) button->click();
      },
      [](QProgressDialog& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); },
  };
  for (const auto& answer : answers) {
    QString shownLabel;
    int checks = 0;
    EXPECT_FALSE(RunAnswered(platform, answer, shownLabel, checks));
    EXPECT_EQ(shownLabel, "フィルタ処理中…");
    EXPECT_LT(checks, 2000);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  }
}

TEST_F(QtPlatformTest, AFailureOfTheWorkIsRaisedOnTheCallersThread) {
  const auto caller = std::this_thread::get_id();
  std::thread::id worker;
  EXPECT_THROW(platform.RunLongWork("読み込み中…",
                                    [&](WorkReporter&) {
                                      worker = std::this_thread::get_id();
                                      throw std::bad_alloc();
                                    }),
               std::bad_alloc);
  EXPECT_NE(worker, caller);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
