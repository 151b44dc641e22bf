#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>

#include "tests/support/CliRun.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/TempDir.h"

namespace {

const std::string kSample0 = std::string(OSCALYX_SOURCE_DIR) + "/sample/sample0.csv";
const std::string kSample1 = std::string(OSCALYX_SOURCE_DIR) + "/sample/sample1.dbl";

int CountColour(const QImage& image, QRgb colour) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) count += (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
  }
  return count;
}

class CliPlotTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureQtApp(); }
  QImage Plot(const std::vector<std::string>& extra, int expectedStatus = 0) {
    std::vector<std::string> args = {"plot"};
    args.insert(args.end(), extra.begin(), extra.end());
    const CliRunResult run = RunCliCaptured(args);
    EXPECT_EQ(run.status, expectedStatus) << run.err;
    return QImage(QString::fromStdString(extra[1]));
  }
  TempDir dir;
};

TEST_F(CliPlotTest, DrawsTheViewAsThePlotShowsIt) {
  const QImage view = Plot({kSample0, dir.File("view.png"), "--start", "2000"});
  ASSERT_EQ(view.size(), QSize(753, 401));
  EXPECT_EQ(view.pixel(5, 5) & 0xFFFFFF, qRgb(247, 255, 255) & 0xFFFFFF);
  EXPECT_GT(CountColour(view, qRgb(255, 0, 0)), 500);  // the red trace
  EXPECT_EQ(CountColour(view, qRgb(0, 0, 255)), 0);
  // The x axis of the single strip lies on y = 200, from 80 to 680.
  EXPECT_EQ(view.pixel(400, 200) & 0xFFFFFF, 0u);
  EXPECT_EQ(view.pixel(700, 200) & 0xFFFFFF, qRgb(247, 255, 255) & 0xFFFFFF);

  const QImage white = Plot({kSample0, dir.File("white.png"), "--white"});
  EXPECT_EQ(white.pixel(5, 5) & 0xFFFFFF, 0xFFFFFFu);
}

TEST_F(CliPlotTest, FitDrawsPointsCurveAndResultsOverTheView) {
  const QImage fit = Plot({kSample0, dir.File("fit.png"), "--start", "2000", "--fit"});
  ASSERT_EQ(fit.size(), QSize(753, 401));
  EXPECT_GT(CountColour(fit, qRgb(0, 0, 255)), 500);  // the fitted curve
  EXPECT_GT(CountColour(fit, qRgb(0, 128, 0)), 100);  // the fit points
}

TEST_F(CliPlotTest, RefusesWhatTheWindowWouldNotDraw) {
  EXPECT_EQ(RunCliCaptured({"plot", kSample1, dir.File("a.png"), "--fit"}).status, 2);  // three channels
  EXPECT_EQ(RunCliCaptured({"plot", kSample1, dir.File("a.png"), "--channels", "1,4"}).status, 2);
  const CliRunResult late = RunCliCaptured({"plot", kSample0, dir.File("late.png"), "--start", "5990", "--fit"});
  EXPECT_EQ(late.status, 1);
  EXPECT_FALSE(late.err.empty());
  EXPECT_FALSE(std::filesystem::exists(dir.File("late.png")));
  const QImage two = Plot({kSample1, dir.File("two.png"), "--channels", "1,3", "--width", "0.1"});
  EXPECT_EQ(two.size(), QSize(753, 401));
}

}  // namespace
