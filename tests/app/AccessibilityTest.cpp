// Every control of every window has a name a screen reader can say.
#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QWidget>
#include <gtest/gtest.h>
#include <string>

#include "tests/support/MainWindowFixture.h"

namespace {

// Whatever a user can reach with the keyboard or press; the parts Qt builds
// inside its own controls (a spin box's text box, a menu bar's overflow
// button) are said as part of them.
bool IsControl(const QWidget& widget) {
  if (widget.objectName().startsWith(QLatin1String("qt_"))) return false;
  if (qobject_cast<const QAbstractSpinBox*>(widget.parentWidget()) != nullptr) return false;
  if (QLatin1String(widget.metaObject()->className()) == QLatin1String("QTableCornerButton")) return false;
  return widget.focusPolicy() != Qt::NoFocus || qobject_cast<const QAbstractButton*>(&widget) != nullptr;
}

QString SpokenName(QWidget& widget) {
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&widget);
  return accessible != nullptr ? accessible->text(QAccessible::Name).trimmed() : QString();
}

}  // namespace

TEST_F(MainWindowTest, EveryControlOfEveryWindowHasAnAccessibleName) {
  int controls = 0;
  for (QWidget* window : std::initializer_list<QWidget*>{open.get(), howTo.get(), about.get(), graph.get(),
                                                         format.get(), center.get()}) {
    for (QWidget* widget : window->findChildren<QWidget*>()) {
      if (!IsControl(*widget)) continue;
      ++controls;
      if (SpokenName(*widget).isEmpty()) {
        ADD_FAILURE() << "no accessible name: " << widget->metaObject()->className() << " "
                      << widget->objectName().toStdString() << " in " << widget->window()->metaObject()->className();
      }
    }
  }
  EXPECT_GT(controls, 80);
  // A caption is said without the spaces that widen it.
  EXPECT_EQ(SpokenName(*Button9()), "評価");
  EXPECT_EQ(SpokenName(*Edit1()), "波形表示開始点");
}

TEST_F(MainWindowTest, ArrowsHomeAndEndMoveTheViewWhenThePlotHasTheFocus) {
  Load(kSample0);  // 6000 samples at 100/s, 5 s shown
  WavePlot* plot = open->Plot();
  const int step = session->View().ArrowStep;
  ASSERT_GT(step, 0);
  QTest::keyClick(plot, Qt::Key_Right);
  EXPECT_EQ(TrackBar1()->value(), step);
  EXPECT_EQ(Edit1()->text(), QString::number(step));
  QTest::keyClick(plot, Qt::Key_Left);
  QTest::keyClick(plot, Qt::Key_Left);  // no further than the start
  EXPECT_EQ(TrackBar1()->value(), 0);
  QTest::keyClick(plot, Qt::Key_End);  // the last full screen
  EXPECT_EQ(TrackBar1()->value(), 5500);
  EXPECT_EQ(session->View().Start, 5500);
  QTest::keyClick(plot, Qt::Key_Home);
  EXPECT_EQ(TrackBar1()->value(), 0);
  EXPECT_TRUE(platform.messages.empty());
}
