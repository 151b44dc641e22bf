// The window on a screen of device pixel ratio 2: the plots are drawn at that
// ratio, and what is copied and saved stays the picture of 100 %.
#include <gtest/gtest.h>

#include <QImage>

#include "app/GraphImage.h"
#include "tests/support/MainWindowFixture.h"

namespace {

class HiDpiWindowTest : public MainWindowTest {
 protected:
  void SetUp() override {
    // Only before the test program's application exists: each test runs in
    // its own process under ctest.
    if (QCoreApplication::instance() == nullptr) qputenv("QT_SCALE_FACTOR", "2");
    MainWindowTest::SetUp();
    if (qGuiApp->devicePixelRatio() != 2.0) GTEST_SKIP() << "the application was made before the scale was set";
  }
};

TEST_F(HiDpiWindowTest, PlotsAreShownAtTheRatioAndCopiedAndSavedAtTheirOwnSize) {
  Load(kSample0);
  TypeStart("2000");
  open->Button6Click();
  ASSERT_TRUE(platform.messages.empty());

  const DisplayCanvas& wave = open->Plot()->PlotCanvas();
  EXPECT_EQ(wave.Shown().size(), QSize(1506, 802));
  EXPECT_EQ(wave.Shown().devicePixelRatio(), 2.0);

  platform.saveAnswer = dir.File("wave.png");
  open->Button7Click();
  const QImage saved(QString::fromStdString(dir.File("wave.png")));
  ASSERT_EQ(saved.size(), QSize(753, 401));
  EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32), wave.Bitmap());
  open->Button3Click();
  ASSERT_EQ(platform.clipboard.size(), 1u);
  EXPECT_EQ(platform.clipboard[0].pixels, wave.Image().pixels);

  // The scatter of the accepted point, and the copy of it.
  graph->show();
  const auto* scatter = graph->findChild<TGraphImage*>("MyGraph1");
  ASSERT_NE(scatter, nullptr);
  EXPECT_EQ(scatter->Picture().Shown().size(), QSize(600, 600));
  graph->Button3Click();
  ASSERT_EQ(platform.clipboard.size(), 2u);
  EXPECT_EQ(platform.clipboard[1].width, 300);
  EXPECT_EQ(platform.clipboard[1].pixels, scatter->Picture().Image().pixels);
}

}  // namespace
