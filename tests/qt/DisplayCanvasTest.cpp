#include "components/qt/DisplayCanvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "components/MyWave.h"
#include "tests/support/QtTestApp.h"

namespace {

// A damped wave with its frame, text, markers and a dotted line, drawn the way
// the window draws its view.
void DrawView(Canvas& canvas) {
  TMyWave wave(canvas);
  wave.OriginX = 60;
  wave.OriginY = 200;
  wave.UnitLenX = 200;
  wave.UnitLenY = 80;
  wave.Title = "cm/s2";
  wave.Clear({255, 255, 255});
  wave.DrawScale();
  std::vector<float> values(500);
  for (std::size_t i = 0; i < values.size(); ++i) {
    const double t = static_cast<double>(i) * 0.01;
    values[i] = static_cast<float>(8.0 * std::exp(-0.3 * t) * std::cos(9.0 * t));
  }
  canvas.SetPenColor({0, 0, 255});
  wave.DrawWave1(static_cast<int>(values.size()), values.data(), 0.01f);
  wave.PlotWave1(40, values.data(), 0.1f, 1, 3);
  canvas.SetPenStyle(PenStyle::Dot);
  canvas.MoveTo(60, 50);
  canvas.LineTo(700, 50);
  canvas.SetPenStyle(PenStyle::Solid);
  // The crosshair the window draws and erases in XOR mode.
  canvas.SetPenMode(PenMode::Xor);
  canvas.MoveTo(300, 0);
  canvas.LineTo(300, 401);
  canvas.SetPenMode(PenMode::Copy);
}

Rgb At(const QImage& image, int x, int y) {
  const QRgb p = image.pixel(x, y);
  return {static_cast<std::uint8_t>(qRed(p)), static_cast<std::uint8_t>(qGreen(p)),
          static_cast<std::uint8_t>(qBlue(p))};
}

}  // namespace

// The picture that is copied and saved does not depend on the screen: at a
// pixel ratio of 2 it is byte for byte the picture of a plain canvas, while
// the picture shown has twice the pixels each way and follows the same
// drawing.
TEST(DisplayCanvasTest, TheExactPictureIsTheSameAtEveryScaleAndTheShownOneIsDrawnAtTheRatio) {
  EnsureQtApp();
  QtCanvas plain(753, 401);
  DrawView(plain);
  for (const double scale : {1.0, 1.5, 2.0}) {
    SCOPED_TRACE(scale);
    DisplayCanvas canvas(753, 401, scale);
    DrawView(canvas);
    EXPECT_EQ(canvas.Image().pixels, plain.Image().pixels);
    EXPECT_EQ(canvas.Width(), 753);
    EXPECT_EQ(canvas.Height(), 401);
    const QImage& shown = canvas.Shown();
    EXPECT_EQ(shown.width(), static_cast<int>(std::lround(753 * scale)));
    EXPECT_NEAR(shown.deviceIndependentSize().width(), 753, 0.5);
    EXPECT_NEAR(shown.deviceIndependentSize().height(), 401, 0.5);
  }

  DisplayCanvas sharp(753, 401, 2.0);
  DrawView(sharp);
  const QImage& shown = sharp.Shown();
  const QImage& exact = sharp.Bitmap();
  // Each exact pixel against the four it became: mostly the same colour
  // (lines, fills and the frame land where they were), and text drawn at 22
  // pixels gives blocks that no enlargement of the exact picture could.
  int agreeing = 0, mixedBlocks = 0;
  for (int y = 0; y < 401; ++y) {
    for (int x = 0; x < 753; ++x) {
      const Rgb e = At(exact, x, y);
      const Rgb a = At(shown, 2 * x, 2 * y), b = At(shown, 2 * x + 1, 2 * y + 1);
      if (a == e || b == e) ++agreeing;
      if (!(At(shown, 2 * x, 2 * y) == At(shown, 2 * x + 1, 2 * y) && a == b)) ++mixedBlocks;
    }
  }
  EXPECT_GT(agreeing, 753 * 401 * 98 / 100);
  EXPECT_GT(mixedBlocks, 50);
  // The dotted line stays dotted: 6 on, 6 off at twice the size.
  const int row = 2 * 50 + 1;
  EXPECT_EQ(At(shown, 2 * 60 + 1, row), (Rgb{0, 0, 255}));
  EXPECT_EQ(At(shown, 2 * 60 + 6 + 1, row), (Rgb{255, 255, 255}));
}
