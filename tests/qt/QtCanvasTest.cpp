#include "components/qt/QtCanvas.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QStringEncoder>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "components/qt/DisplayText.h"
#include "io/ShiftJisText.h"

namespace {

using Pixel = std::pair<int, int>;
using PixelSet = std::set<Pixel>;

const Rgb kWhite{255, 255, 255};
const Rgb kBlack{0, 0, 0};
const Rgb kRed{255, 0, 0};
const Rgb kGrey{200, 201, 202};

class QtCanvasTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Text needs an application object; one for the whole test program.
    if (QCoreApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "tests_components";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
  }
};

// Every pixel whose colour differs from `background`.
PixelSet Changed(const QtCanvas& canvas, Rgb background) {
  const RgbImage img = canvas.Image();
  PixelSet out;
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x)
      if (!(img.At(x, y) == background)) out.insert({x, y});
  return out;
}

PixelSet Rect(int x0, int y0, int x1, int y1) {  // inclusive corners
  PixelSet out;
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) out.insert({x, y});
  return out;
}

PixelSet LinePixels(QtCanvas& canvas, int x0, int y0, int x1, int y1) {
  canvas.FillRect(0, 0, canvas.Width(), canvas.Height());
  canvas.MoveTo(x0, y0);
  canvas.LineTo(x1, y1);
  return Changed(canvas, canvas.BrushColor());
}

// A picture with some content, so XOR has something to invert.
QtCanvas BusyCanvas() {
  QtCanvas canvas(60, 40);
  for (int y = 0; y < 40; y += 3) {
    canvas.SetBrushColor(Rgb{static_cast<std::uint8_t>(y * 6), 120, static_cast<std::uint8_t>(255 - y * 5)});
    canvas.FillRect(y % 7, y, 60, y + 2);
  }
  return canvas;
}

TEST_F(QtCanvasTest, ThinLineCoversItsStartAndStopsBeforeItsEnd) {
  QtCanvas canvas(40, 30);
  struct Case {
    int x0, y0, x1, y1;
    PixelSet want;
  };
  const Case cases[] = {
      {10, 20, 30, 20, Rect(10, 20, 29, 20)},  // right
      {30, 20, 10, 20, Rect(11, 20, 30, 20)},  // left
      {5, 5, 5, 15, Rect(5, 5, 5, 14)},        // down
      {5, 15, 5, 5, Rect(5, 6, 5, 15)},        // up
      {0, 0, 4, 4, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
      {8, 2, 4, 6, {{8, 2}, {7, 3}, {6, 4}, {5, 5}}},
      // Shallow: y = round(3i/10), halves rounded away from the start.
      {0, 0, 10, 3, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}, {5, 2}, {6, 2}, {7, 2}, {8, 2}, {9, 3}}},
      {3, 3, 3, 3, {}},  // no length, no pixel
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.x0) + "," + std::to_string(c.y0) + " -> " + std::to_string(c.x1) + "," +
                 std::to_string(c.y1));
    EXPECT_EQ(LinePixels(canvas, c.x0, c.y0, c.x1, c.y1), c.want);
  }
}

TEST_F(QtCanvasTest, LineToMovesThePenAndJoinsAPolylineWithoutGaps) {
  QtCanvas canvas(20, 20);
  canvas.MoveTo(2, 2);
  canvas.LineTo(6, 2);
  canvas.LineTo(6, 5);
  canvas.MoveTo(10, 10);
  canvas.LineTo(10, 12);
  PixelSet want = Rect(2, 2, 6, 2);
  want.merge(Rect(6, 3, 6, 4));
  want.merge(Rect(10, 10, 10, 11));
  EXPECT_EQ(Changed(canvas, kWhite), want);
}

TEST_F(QtCanvasTest, WidePenWidensAcrossTheLineAndCoversBothEnds) {
  QtCanvas canvas(40, 40);
  canvas.SetPenWidth(2);
  EXPECT_EQ(LinePixels(canvas, 10, 20, 30, 20), Rect(10, 19, 30, 20));
  EXPECT_EQ(LinePixels(canvas, 5, 5, 5, 15), Rect(4, 5, 5, 15));
  EXPECT_EQ(LinePixels(canvas, 0, 0, 0, 0), Rect(0, 0, 0, 0));
  EXPECT_EQ(LinePixels(canvas, 2, 2, 5, 5),
            (PixelSet{{2, 1}, {2, 2}, {3, 2}, {3, 3}, {4, 3}, {4, 4}, {5, 4}, {5, 5}}));

  // A frame of four separate lines closes at every corner.
  canvas.FillRect(0, 0, 40, 40);
  canvas.MoveTo(10, 30);
  canvas.LineTo(30, 30);
  canvas.MoveTo(30, 30);
  canvas.LineTo(30, 10);
  canvas.MoveTo(10, 10);
  canvas.LineTo(30, 10);
  canvas.MoveTo(10, 30);
  canvas.LineTo(10, 10);
  const PixelSet frame = Changed(canvas, kWhite);
  for (const Pixel& p : {Pixel{30, 10}, Pixel{30, 9}, Pixel{29, 10}, Pixel{10, 30}, Pixel{9, 30}, Pixel{30, 30},
                        Pixel{9, 10}, Pixel{10, 9}})
    EXPECT_TRUE(frame.count(p)) << p.first << "," << p.second;
  EXPECT_EQ(canvas.PenWidth(), 2);
}

TEST_F(QtCanvasTest, DottedPenDrawsThreeOnThreeOffAndLeavesTheGaps) {
  QtCanvas canvas(30, 10);
  canvas.SetBrushColor(kGrey);
  canvas.SetPenStyle(PenStyle::Dot);
  EXPECT_EQ(LinePixels(canvas, 0, 5, 20, 5),
            (PixelSet{{0, 5}, {1, 5}, {2, 5}, {6, 5}, {7, 5}, {8, 5}, {12, 5}, {13, 5}, {14, 5}, {18, 5}, {19, 5}}));
  // Counted from the start of each line, also leftwards.
  EXPECT_EQ(LinePixels(canvas, 9, 1, 0, 1), (PixelSet{{9, 1}, {8, 1}, {7, 1}, {3, 1}, {2, 1}, {1, 1}}));
  // A wide dotted pen draws solid.
  canvas.SetPenWidth(2);
  EXPECT_EQ(LinePixels(canvas, 0, 5, 20, 5), Rect(0, 4, 20, 5));
}

TEST_F(QtCanvasTest, XorInvertsAgainstThePenAndTwiceRestoresThePicture) {
  QtCanvas canvas = BusyCanvas();
  const RgbImage before = canvas.Image();
  const Rgb pen{0x35, 0xC0, 0x7A};
  canvas.SetPenColor(pen);
  canvas.SetBrushColor(Rgb{0x0F, 0xF0, 0x55});
  canvas.SetPenMode(PenMode::Xor);
  auto drawAll = [&] {
    canvas.MoveTo(0, 17);
    canvas.LineTo(60, 17);  // crosshair
    canvas.MoveTo(23, 0);
    canvas.LineTo(23, 40);
    canvas.MoveTo(3, 39);
    canvas.LineTo(57, 2);
    canvas.SetPenWidth(2);
    canvas.MoveTo(-5, 30);
    canvas.LineTo(50, 9);
    canvas.Ellipse(30, 20, 47, 33);
    canvas.Polygon({{40, 2}, {55, 12}, {42, 25}, {33, 10}});
    canvas.SetPenWidth(1);
  };
  drawAll();
  const RgbImage once = canvas.Image();
  // A pixel on the horizontal line only is the old pixel XOR the pen colour.
  const Rgb old = before.At(5, 17), now = once.At(5, 17);
  EXPECT_EQ(now, (Rgb{static_cast<std::uint8_t>(old.r ^ pen.r), static_cast<std::uint8_t>(old.g ^ pen.g),
                      static_cast<std::uint8_t>(old.b ^ pen.b)}));
  EXPECT_NE(once.pixels, before.pixels);
  drawAll();
  EXPECT_EQ(canvas.Image().pixels, before.pixels);
}

TEST_F(QtCanvasTest, EllipseStaysInsideItsBoxFilledWithTheBrushAndOutlinedWithThePen) {
  QtCanvas canvas(80, 60);
  canvas.SetPenColor(kBlack);
  canvas.SetBrushColor(kRed);
  canvas.Ellipse(10, 10, 16, 16);  // a marker circle of radius 3
  const RgbImage img = canvas.Image();
  PixelSet want = Rect(11, 10, 14, 15);
  want.merge(Rect(10, 11, 15, 14));
  EXPECT_EQ(Changed(canvas, kWhite), want);
  // Thin outline: the inside pixels with a four-neighbour outside the circle.
  PixelSet ring = Rect(11, 10, 14, 10);
  ring.merge(Rect(11, 15, 14, 15));
  ring.merge(Rect(10, 11, 10, 14));
  ring.merge(Rect(15, 11, 15, 14));
  for (const auto& [x, y] : want) EXPECT_EQ(img.At(x, y), ring.count({x, y}) ? kBlack : kRed) << x << "," << y;

  // A larger one, given with its corners swapped: touches all four sides of
  // the box x 20..60, y 30..50 and is mirror-symmetric.
  canvas.SetBrushColor(kWhite);
  canvas.FillRect(0, 0, 80, 60);
  canvas.SetBrushColor(kRed);
  canvas.SetPenWidth(2);
  canvas.Ellipse(61, 51, 20, 30);
  const PixelSet big = Changed(canvas, kWhite);
  int minX = 99, maxX = -1, minY = 99, maxY = -1;
  for (const auto& [x, y] : big) {
    minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
    EXPECT_TRUE(big.count({80 - x, y})) << x << "," << y;
    EXPECT_TRUE(big.count({x, 80 - y})) << x << "," << y;
  }
  EXPECT_EQ(minX, 20);
  EXPECT_EQ(maxX, 60);
  EXPECT_EQ(minY, 30);
  EXPECT_EQ(maxY, 50);
  const RgbImage bigImg = canvas.Image();
  EXPECT_EQ(bigImg.At(20, 40), kBlack);
  EXPECT_EQ(bigImg.At(21, 40), kBlack);  // pen width 2
  EXPECT_EQ(bigImg.At(22, 40), kRed);
  EXPECT_EQ(bigImg.At(40, 40), kRed);

  canvas.Ellipse(5, 5, 5, 20);  // empty box
  EXPECT_EQ(Changed(canvas, kWhite), big);
}

TEST_F(QtCanvasTest, PolygonFillsInsideAndOutlinesEveryEdge) {
  QtCanvas canvas(40, 40);
  canvas.SetPenColor(kBlack);
  canvas.SetBrushColor(kRed);
  canvas.Polygon({{10, 10}, {20, 10}, {20, 20}, {10, 20}});
  const RgbImage img = canvas.Image();
  EXPECT_EQ(Changed(canvas, kWhite), Rect(10, 10, 20, 20));
  for (int y = 10; y <= 20; ++y)
    for (int x = 10; x <= 20; ++x) {
      const bool edge = x == 10 || x == 20 || y == 10 || y == 20;
      EXPECT_EQ(img.At(x, y), edge ? kBlack : kRed) << x << "," << y;
    }

  // A triangle marker: corners (30, 24), (27, 28), (33, 28).
  canvas.SetBrushColor(kWhite);
  canvas.FillRect(0, 0, 40, 40);
  canvas.SetBrushColor(kRed);
  canvas.Polygon({{30, 24}, {27, 28}, {33, 28}});
  const RgbImage tri = canvas.Image();
  EXPECT_EQ(tri.At(30, 24), kBlack);
  EXPECT_EQ(tri.At(27, 28), kBlack);
  EXPECT_EQ(tri.At(33, 28), kBlack);
  EXPECT_EQ(tri.At(30, 27), kRed);
  EXPECT_EQ(tri.At(30, 29), kWhite);
  EXPECT_EQ(tri.At(26, 28), kWhite);
}

TEST_F(QtCanvasTest, FillRectExcludesRightAndBottomAndIgnoresThePenMode) {
  QtCanvas canvas(20, 20);
  canvas.SetBrushColor(kRed);
  canvas.SetPenMode(PenMode::Xor);
  canvas.FillRect(3, 4, 8, 6);
  canvas.FillRect(3, 4, 8, 6);  // copied, not inverted back
  EXPECT_EQ(Changed(canvas, kWhite), Rect(3, 4, 7, 5));
  canvas.FillRect(9, 9, 9, 15);  // empty
  canvas.FillRect(12, 12, 10, 15);
  EXPECT_EQ(Changed(canvas, kWhite), Rect(3, 4, 7, 5));
  canvas.FillRect(-100, -100, 1000, 1000);
  EXPECT_EQ(Changed(canvas, kRed), PixelSet{});
}

TEST_F(QtCanvasTest, ClippingKeepsTheSamePixelsInside) {
  // The same lines on a small picture and on a large one shifted by (100, 80):
  // the small picture must show exactly the large one's window.
  const std::vector<std::vector<int>> lines = {
      {-50, -30, 150, 70}, {-7, 45, 70, -3}, {12, -1000, 13, 1000}, {-1, 3, 50, 3}, {59, -5, -5, 40}};
  for (int width : {1, 2}) {
    for (PenStyle style : {PenStyle::Solid, PenStyle::Dot}) {
      QtCanvas small(60, 40), large(260, 200);
      for (QtCanvas* c : {&small, &large}) {
        c->SetPenWidth(width);
        c->SetPenStyle(style);
      }
      for (const auto& l : lines) {
        small.MoveTo(l[0], l[1]);
        small.LineTo(l[2], l[3]);
        large.MoveTo(l[0] + 100, l[1] + 80);
        large.LineTo(l[2] + 100, l[3] + 80);
      }
      const RgbImage s = small.Image(), g = large.Image();
      for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x)
          ASSERT_EQ(s.At(x, y), g.At(x + 100, y + 80)) << x << "," << y << " width " << width;
    }
  }
  // Far-away end points are clipped, not walked.
  QtCanvas canvas(50, 20);
  canvas.MoveTo(-2000000000, 7);
  canvas.LineTo(2000000000, 7);
  canvas.MoveTo(9, -2000000000);
  canvas.LineTo(9, 2000000000);
  PixelSet want = Rect(0, 7, 49, 7);
  want.merge(Rect(9, 0, 9, 19));
  EXPECT_EQ(Changed(canvas, kWhite), want);
}

TEST_F(QtCanvasTest, TextIsBlackOverABoxInTheBrushColour) {
  const QFontInfo info(QtCanvas::DefaultFont());
  EXPECT_EQ(info.family(), QStringLiteral("IPAPGothic"));
  EXPECT_EQ(info.pixelSize(), QtCanvas::kFontPixelSize);

  QtCanvas canvas(120, 40);
  const Rgb brush{211, 237, 252};
  canvas.SetBrushColor(brush);
  const std::string text = "Wave 12.5";
  const int w = canvas.TextWidth(text), h = canvas.TextHeight(text);
  EXPECT_GT(w, 30);
  EXPECT_LT(w, 80);
  EXPECT_GE(h, 11);
  EXPECT_LE(h, 15);
  EXPECT_EQ(canvas.TextHeight(" "), h);
  EXPECT_GT(canvas.TextWidth("Wave 12.55"), w);
  EXPECT_EQ(canvas.TextWidth(""), 0);

  canvas.TextOut(7, 9, text);
  const RgbImage img = canvas.Image();
  int black = 0, boxColour = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 120; ++x) {
      const bool inBox = x >= 7 && x < 7 + w && y >= 9 && y < 9 + h;
      const Rgb p = img.At(x, y);
      if (!inBox) {
        ASSERT_EQ(p, kWhite) << x << "," << y;
      } else if (p == kBlack) {
        ++black;
      } else {
        ASSERT_EQ(p, brush) << x << "," << y;  // no antialiased shades
        ++boxColour;
      }
    }
  EXPECT_GT(black, 20);
  EXPECT_GT(boxColour, black);
}

TEST_F(QtCanvasTest, ShiftJisTextIsDrawnAsItsCharacters) {
  const QString title = QStringLiteral("減衰比 ω[Hz]");
  QStringEncoder toSjis("Shift_JIS");
  const QByteArray sjis = toSjis.encode(title);
  ASSERT_FALSE(toSjis.hasError());
  const std::string sjisBytes(sjis.constData(), static_cast<std::size_t>(sjis.size()));
  const std::string utf8Bytes = title.toStdString();
  ASSERT_NE(sjisBytes, utf8Bytes);

  QtCanvas a(120, 30), b(120, 30);
  EXPECT_EQ(a.TextWidth(sjisBytes), b.TextWidth(utf8Bytes));
  a.TextOut(3, 4, sjisBytes);
  b.TextOut(3, 4, utf8Bytes);
  EXPECT_EQ(a.Image().pixels, b.Image().pixels);
  EXPECT_GT(Changed(a, kWhite).size(), 30u);
}

TEST_F(QtCanvasTest, PictureCanBeReplacedAndReadBack) {
  QImage picture(5, 3, QImage::Format_RGB888);
  picture.fill(QColor(10, 20, 30));
  picture.setPixelColor(4, 2, QColor(200, 100, 50));
  QtCanvas canvas(picture);
  EXPECT_EQ(canvas.Width(), 5);
  EXPECT_EQ(canvas.Height(), 3);
  EXPECT_EQ(canvas.Bitmap().format(), QImage::Format_RGB32);
  const RgbImage img = canvas.Image();
  ASSERT_EQ(img.pixels.size(), 5u * 3u * 3u);
  EXPECT_EQ(img.At(0, 0), (Rgb{10, 20, 30}));
  EXPECT_EQ(img.At(4, 2), (Rgb{200, 100, 50}));
  canvas.SetBitmap(QImage(7, 2, QImage::Format_RGB32));
  EXPECT_EQ(canvas.Width(), 7);
  EXPECT_EQ(canvas.Image().pixels.size(), 7u * 2u * 3u);
}

TEST(DisplayTextTest, Utf8IsKeptAndOtherBytesAreReadAsShiftJis) {
  EXPECT_EQ(DisplayText("\x83\xD6"), QString(QChar(0x03C9)));  // ω
  EXPECT_EQ(DisplayText("\xCF\x89"), QString(QChar(0x03C9)));  // ω in UTF-8
  EXPECT_EQ(DisplayText("Ch1 [cm]"), QStringLiteral("Ch1 [cm]"));
  // 減衰特性 in Shift-JIS, and the NEC circled digit one.
  EXPECT_EQ(DisplayText("\x8C\xB8\x90\x8A\x93\xC1\x90\xAB"), QStringLiteral("減衰特性"));
  EXPECT_EQ(DisplayText("\x87\x40"), QString(QChar(0x2460)));
  EXPECT_EQ(DisplayUtf8("\x83\xD6[rad/s]"), "ω[rad/s]");
  EXPECT_EQ(DisplayUtf8("自由振動"), "自由振動");
  // A byte that starts no character, and a lead byte cut off at the end.
  EXPECT_EQ(DisplayUtf8("A\x80" "B\x83"), "A\uFFFDB\uFFFD");
  EXPECT_EQ(DisplayText(""), QString());
}

}  // namespace
