// The drawing surface of the plots on a QImage (32-bit RGB). Every figure is
// rasterised here pixel by pixel, so the picture is exact and the same on
// every machine; QPainter only renders the glyphs of text. Nothing is
// antialiased. Pixels outside the picture are clipped, and clipping never
// changes which pixels inside the picture a figure covers.
//
// Pixel rules:
// - Line from A to B, pen width 1: the pixels of the major axis from A up to
//   but not including B (no pixel at all when A = B); on the minor axis the
//   pixel nearest the exact line, a tie going to the pixel farther from A.
// - Pen width w > 1: the same centre line, but including B, and each of its
//   pixels widened across the minor axis to w pixels, offsets -(w / 2) ...
//   (w - 1) / 2 (width 2: the centre pixel and the one above it, or left of
//   it for a steep line). Including B closes frames drawn from separate lines
//   at their corners, as round caps of a wide pen do.
// - Dotted pen (width 1 only; a wider dotted pen draws solid): 3 pixels on,
//   3 off, counted from A for each line. The gaps are left untouched.
// - XOR pen mode: a pixel becomes itself XOR the pen colour (the fill of an
//   ellipse or polygon: XOR the brush colour), so drawing the same figure twice
//   restores the picture. Every figure touches each pixel once.
// - Ellipse (x1, y1)-(x2, y2): the box is normalised and covers x1 ... x2 - 1,
//   y1 ... y2 - 1 (an empty box draws nothing). A pixel is inside when its
//   centre lies in the ellipse whose axes are the box width and height
//   centred on the box's middle pixel. Inside pixels within w pixels (four-
//   neighbour steps) of an outside pixel take the pen colour; the rest the
//   brush colour. The outline is always solid.
// - Polygon: even-odd fill of the pixels whose centres lie inside, with the
//   right and bottom edges excluded, then the closed outline drawn as lines
//   from each corner to the next (pen style applies). Outline pixels take the
//   pen, the other inside pixels the brush.
// - FillRect: left ... right - 1, top ... bottom - 1 in the brush colour,
//   always copied (the pen mode does not apply).
// - Text: the canvas font is IPAPGothic at 11 pixels per em, the size of an
//   8-point GUI font at 96 dpi, rendered without antialiasing. TextOut fills
//   the box (x, y)-(x + TextWidth, y + TextHeight) with the brush colour and
//   draws the glyphs in black on the baseline y + ascent. TextWidth is the
//   font's advance of the text, TextHeight the font's ascent plus descent.
//   Text bytes are decoded with DisplayText. Text needs a QGuiApplication.
#pragma once

#include <QFont>
#include <QImage>
#include <cstdint>
#include <optional>

#include "components/Canvas.h"

class QtCanvas final : public Canvas {
 public:
  static constexpr int kFontPixelSize = 11;
  static constexpr int kDotOn = 3;   // pixels drawn per dot
  static constexpr int kDotOff = 3;  // pixels skipped between dots

  // A white picture of the given size; pen black, width 1, solid, copy mode;
  // brush white; pen position (0, 0).
  QtCanvas(int width, int height);
  explicit QtCanvas(const QImage& picture);

  // The picture, for a window to show or the clipboard to take.
  const QImage& Bitmap() const { return image_; }
  // Replaces the picture (converted to 32-bit RGB); the canvas takes its size.
  void SetBitmap(const QImage& picture);

  static QFont DefaultFont();

  // For a picture drawn at k device pixels per unit (see DisplayCanvas): the
  // dots of a dotted pen grow to k·3 on, k·3 off and stay dotted up to pen
  // width k; text is drawn at `pixelSize`. Today's pictures use 1 and
  // kFontPixelSize.
  void SetDotScale(int k) { dotScale_ = k < 1 ? 1 : k; }
  void SetFontPixelSize(int pixelSize);

  int Width() const override { return image_.width(); }
  int Height() const override { return image_.height(); }

  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void Ellipse(int x1, int y1, int x2, int y2) override;
  void Polygon(const std::vector<CanvasPoint>& points) override;
  void FillRect(int left, int top, int right, int bottom) override;

  void TextOut(int x, int y, const std::string& text) override;
  int TextWidth(const std::string& text) override;
  int TextHeight(const std::string& text) override;

  void SetPenColor(Rgb color) override { penColor_ = color; }
  void SetPenWidth(int width) override { penWidth_ = width < 1 ? 1 : width; }
  void SetPenStyle(PenStyle style) override { penStyle_ = style; }
  void SetPenMode(PenMode mode) override { penMode_ = mode; }
  void SetBrushColor(Rgb color) override { brushColor_ = color; }

  Rgb PenColor() const override { return penColor_; }
  int PenWidth() const override { return penWidth_; }
  PenStyle Style() const override { return penStyle_; }
  PenMode Mode() const { return penMode_; }
  Rgb BrushColor() const override { return brushColor_; }

  RgbImage Image() const override;

 private:
  const QFont& Font();
  // Writes `color` over pixels x0 ... x1 of row y (clipped) with `mode`.
  void Span(std::uint32_t* bits, qsizetype stride, int y, long long x0, long long x1,
            std::uint32_t color, PenMode mode);
  // Calls plot(x, y) for every pixel of the pen's line from (x0, y0) to (x1, y1)
  // that lies in the clip box [0, clipW) x [0, clipH).
  template <typename Plot>
  void RasterLine(long long x0, long long y0, long long x1, long long y1, int clipW, int clipH,
                  Plot plot) const;

  QImage image_;
  std::optional<QFont> font_;
  int fontPixelSize_ = kFontPixelSize;
  int dotScale_ = 1;
  int penX_ = 0, penY_ = 0;
  Rgb penColor_{0, 0, 0};
  int penWidth_ = 1;
  PenStyle penStyle_ = PenStyle::Solid;
  PenMode penMode_ = PenMode::Copy;
  Rgb brushColor_{255, 255, 255};
};
