#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>

#include "cli/ImageCanvas.h"
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

// The drawing module: loaded only when a command draws, checked for its
// version, and never the end of the process when it is missing or wrong.
namespace {

std::string Shell(const std::string& command, int& status) {
  std::string output;
  if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, got);
    status = ::pclose(pipe);
  }
  return output;
}

TEST(CanvasModuleTest, APlatformWithoutADisplayStillDrawsOffscreen) {
  TempDir dir;
  int status = -1;
  for (const char* platform : {"offscreen", "xcb", "wayland"}) {
    SCOPED_TRACE(platform);
    const std::string out = dir.File(std::string(platform) + ".png");
    Shell("env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=" + std::string(platform) + " " +
              CliShellCommand({"plot", kSample0, out, "--start", "2000", "--fit"}) + " 2>&1",
          status);
    EXPECT_EQ(status, 0);
  }
  const std::string offscreen = TempDir::Read(dir.File("offscreen.png"));
  ASSERT_GT(offscreen.size(), 1000u);
  EXPECT_EQ(TempDir::Read(dir.File("xcb.png")), offscreen);
  EXPECT_EQ(TempDir::Read(dir.File("wayland.png")), offscreen);
}

TEST(CanvasModuleTest, AMissingModuleFailsDrawingOnlyWithAMessage) {
  // The program alone in a folder: its module is not where it looks.
  TempDir dir;
  const std::string alone = dir.File("oscalyx-cli");
  std::filesystem::copy_file(OSCALYX_CLI_PATH, alone);
  std::filesystem::permissions(alone, std::filesystem::perms::owner_all);
  const std::string quoted = "'" + alone + "'";
  int status = -1;
  const std::string info = Shell(quoted + " info '" + kSample0 + "' 2>&1", status);
  EXPECT_EQ(status, 0) << info;
  EXPECT_NE(info.find("\"samples\": 6000"), std::string::npos);
  const std::string plot = Shell(quoted + " plot '" + kSample0 + "' '" + dir.File("p.png") + "' 2>&1", status);
  EXPECT_EQ(WEXITSTATUS(status), 1) << plot;
  EXPECT_NE(plot.find("描画用のモジュール"), std::string::npos) << plot;
  EXPECT_FALSE(std::filesystem::exists(dir.File("p.png")));
}

TEST(CanvasModuleTest, LoadingFailuresAreReportedEveryTime) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    const CanvasModule missing = LoadCanvasModule("/nonexistent/liboscalyx-canvas.so");
    EXPECT_FALSE(missing.Usable());
    EXPECT_NE(missing.error.find("/nonexistent/liboscalyx-canvas.so"), std::string::npos);
  }
  // A library that is not ours has no version entry point.
  const CanvasModule foreign = LoadCanvasModule("libz.so.1");
  EXPECT_FALSE(foreign.Usable());
  EXPECT_NE(foreign.error.find("合いません"), std::string::npos) << foreign.error;
}

}  // namespace
