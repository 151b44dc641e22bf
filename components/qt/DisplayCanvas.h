// The canvas of a plot control. It keeps the exact picture, one pixel per
// unit, which copies, saved files and every test see, and on a screen of
// higher device pixel ratio (a scale factor of 2, a 4K monitor at 200 %) a
// second picture of the same figures drawn at that ratio, which the control
// shows: text and lines stay sharp instead of being blown up, while a copied
// or saved picture stays byte for byte what it is at 100 %.
//
// Every figure goes to both pictures; what the plots ask back (size, text
// metrics, pen, the picture) is answered from the exact one, so the layout is
// the same at every scale. In the display picture a unit is `scale` device
// pixels: the lines keep the centres of their pixels and widen to the scale,
// boxes keep their edges, dots and text grow with it.
#pragma once

#include <QImage>
#include <optional>

#include "components/Canvas.h"
#include "components/qt/QtCanvas.h"

class DisplayCanvas final : public Canvas {
 public:
  // `scale` is the device pixel ratio of the screen; at 1 or below there is
  // only the exact picture.
  DisplayCanvas(int width, int height, double scale);

  // The exact picture, for a copy or a file.
  const QImage& Bitmap() const { return exact_.Bitmap(); }
  // The picture the control paints; its device pixel ratio is set, so a
  // painter draws it over Width() × Height() logical pixels.
  const QImage& Shown() const { return display_ ? display_->Bitmap() : exact_.Bitmap(); }
  double Scale() const { return display_ ? scale_ : 1.0; }

  int Width() const override { return exact_.Width(); }
  int Height() const override { return exact_.Height(); }

  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void Ellipse(int x1, int y1, int x2, int y2) override;
  void Polygon(const std::vector<CanvasPoint>& points) override;
  void FillRect(int left, int top, int right, int bottom) override;

  void TextOut(int x, int y, const std::string& text) override;
  int TextWidth(const std::string& text) override { return exact_.TextWidth(text); }
  int TextHeight(const std::string& text) override { return exact_.TextHeight(text); }

  void SetPenColor(Rgb color) override;
  void SetPenWidth(int width) override;
  void SetPenStyle(PenStyle style) override;
  void SetPenMode(PenMode mode) override;
  void SetBrushColor(Rgb color) override;

  Rgb PenColor() const override { return exact_.PenColor(); }
  int PenWidth() const override { return exact_.PenWidth(); }
  PenStyle Style() const override { return exact_.Style(); }
  Rgb BrushColor() const override { return exact_.BrushColor(); }

  RgbImage Image() const override { return exact_.Image(); }

 private:
  // A pixel's centre and a pixel edge, from units to device pixels.
  int Centre(int v) const;
  int Edge(int v) const;

  QtCanvas exact_;
  std::optional<QtCanvas> display_;
  double scale_ = 1.0;
};
