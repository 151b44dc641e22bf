// The plots' copy and save through the Qt canvas: the whole picture reaches
// the clipboard and the PNG writer.
#include <gtest/gtest.h>

#include "components/MyGraph.h"
#include "components/MyWave.h"
#include "components/qt/QtCanvas.h"
#include "tests/support/RecordingPlatform.h"
#include "tests/support/TempDir.h"

namespace {

TEST(TMyWave, CopyPutsTheWholePictureOnTheClipboard) {
  QtCanvas canvas(753, 401);
  TMyWave wave(canvas);
  wave.Clear({247, 255, 255});
  canvas.SetPenColor({255, 0, 0});
  canvas.MoveTo(10, 20);
  canvas.LineTo(30, 20);
  RecordingPlatform platform;
  wave.Copy(platform);
  ASSERT_EQ(platform.clipboard.size(), 1u);
  const RgbImage& image = platform.clipboard[0];
  EXPECT_EQ(image.width, 753);
  EXPECT_EQ(image.height, 401);
  EXPECT_EQ(image.At(15, 20), (Rgb{255, 0, 0}));
  EXPECT_EQ(image.At(700, 400), (Rgb{247, 255, 255}));
}

TEST(TMyGraph, CopyAndSavePngTakeTheWholePicture) {
  QtCanvas canvas(300, 300);
  RecordingPlatform platform;
  TMyGraph graph(canvas, platform);
  graph.Clear({255, 255, 255});
  canvas.SetPenColor({255, 0, 0});
  canvas.SetPenWidth(2);
  canvas.MoveTo(35, 270);
  canvas.LineTo(285, 270);

  graph.Copy();
  ASSERT_EQ(platform.clipboard.size(), 1u);
  EXPECT_EQ(platform.clipboard[0].width, 300);
  EXPECT_EQ(platform.clipboard[0].At(100, 270), (Rgb{255, 0, 0}));

  TempDir dir;
  const PngResult saved = graph.Save_PNG(dir.File("graph"));
  ASSERT_TRUE(saved.ok) << saved.message;
  const std::string bytes = TempDir::Read(dir.File("graph"));
  ASSERT_GT(bytes.size(), 33u);
  EXPECT_EQ(bytes.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  EXPECT_EQ(bytes.substr(12, 4), "IHDR");
  EXPECT_EQ(bytes.substr(16, 8), std::string("\0\0\x01\x2c\0\0\x01\x2c", 8));  // 300 x 300

  const PngResult failed = graph.Save_PNG(dir.File("missing/graph.png"));
  EXPECT_FALSE(failed.ok);
  EXPECT_FALSE(failed.message.empty());
}

}  // namespace
