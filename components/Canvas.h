// The drawing surface the plots draw on: a small subset of a raster canvas with
// a current pen, brush and font. The window and the command line give it a
// QImage implementation; tests give it a recording one. Coordinates are pixels,
// y grows downwards.
#pragma once

#include <string>
#include <vector>

#include "image/RgbImage.h"

struct CanvasPoint {
  int x = 0, y = 0;
  friend bool operator==(const CanvasPoint&, const CanvasPoint&) = default;
};

enum class PenStyle { Solid, Dot };
enum class PenMode { Copy, Xor };

class Canvas {
 public:
  virtual ~Canvas() = default;

  virtual int Width() const = 0;
  virtual int Height() const = 0;

  // A line drawn by LineTo covers its start pixel and stops short of its end
  // pixel; the pen position moves to the end point.
  virtual void MoveTo(int x, int y) = 0;
  virtual void LineTo(int x, int y) = 0;
  // Ellipse in the box (x1, y1)-(x2, y2), filled with the brush, outlined with the pen.
  virtual void Ellipse(int x1, int y1, int x2, int y2) = 0;
  // Closed polygon, filled with the brush, outlined with the pen.
  virtual void Polygon(const std::vector<CanvasPoint>& points) = 0;
  // Fills (left, top)-(right, bottom), right and bottom excluded, with the brush.
  virtual void FillRect(int left, int top, int right, int bottom) = 0;

  // Text is given as the bytes it was stored with (UTF-8, or Shift-JIS from a
  // data file); it is drawn in black with its top-left corner at (x, y) over an
  // opaque box in the brush colour.
  virtual void TextOut(int x, int y, const std::string& text) = 0;
  virtual int TextWidth(const std::string& text) = 0;
  virtual int TextHeight(const std::string& text) = 0;

  virtual void SetPenColor(Rgb color) = 0;
  virtual void SetPenWidth(int width) = 0;
  virtual void SetPenStyle(PenStyle style) = 0;
  virtual void SetPenMode(PenMode mode) = 0;
  virtual void SetBrushColor(Rgb color) = 0;

  virtual Rgb PenColor() const = 0;
  virtual int PenWidth() const = 0;
  virtual PenStyle Style() const = 0;
  virtual Rgb BrushColor() const = 0;

  // The picture as it stands (empty for a canvas that only records).
  virtual RgbImage Image() const = 0;
};
