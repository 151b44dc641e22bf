#include "components/qt/DisplayCanvas.h"

#include <algorithm>
#include <cmath>

namespace {

int Rounded(double v) { return static_cast<int>(std::lround(v)); }

}  // namespace

DisplayCanvas::DisplayCanvas(int width, int height, double scale) : exact_(width, height) {
  if (!(scale > 1.0)) return;
  scale_ = scale;
  display_.emplace(Rounded(std::max(width, 0) * scale), Rounded(std::max(height, 0) * scale));
  display_->SetDotScale(std::max(1, Rounded(scale)));
  display_->SetFontPixelSize(Rounded(QtCanvas::kFontPixelSize * scale));
  display_->SetPenWidth(std::max(1, Rounded(scale)));
  // A painter then takes the picture's size in logical pixels.
  QImage picture = display_->Bitmap();
  picture.setDevicePixelRatio(scale);
  display_->SetBitmap(picture);
}

int DisplayCanvas::Centre(int v) const { return static_cast<int>(std::floor((v + 0.5) * scale_)); }

int DisplayCanvas::Edge(int v) const { return Rounded(v * scale_); }

void DisplayCanvas::MoveTo(int x, int y) {
  exact_.MoveTo(x, y);
  if (display_) display_->MoveTo(Centre(x), Centre(y));
}

void DisplayCanvas::LineTo(int x, int y) {
  exact_.LineTo(x, y);
  if (display_) display_->LineTo(Centre(x), Centre(y));
}

void DisplayCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  exact_.Ellipse(x1, y1, x2, y2);
  if (display_) display_->Ellipse(Edge(x1), Edge(y1), Edge(x2), Edge(y2));
}

void DisplayCanvas::Polygon(const std::vector<CanvasPoint>& points) {
  exact_.Polygon(points);
  if (!display_) return;
  std::vector<CanvasPoint> scaled;
  scaled.reserve(points.size());
  for (const CanvasPoint& p : points) scaled.push_back({Centre(p.x), Centre(p.y)});
  display_->Polygon(scaled);
}

void DisplayCanvas::FillRect(int left, int top, int right, int bottom) {
  exact_.FillRect(left, top, right, bottom);
  if (display_) display_->FillRect(Edge(left), Edge(top), Edge(right), Edge(bottom));
}

void DisplayCanvas::TextOut(int x, int y, const std::string& text) {
  exact_.TextOut(x, y, text);
  if (display_) display_->TextOut(Edge(x), Edge(y), text);
}

void DisplayCanvas::SetPenColor(Rgb color) {
  exact_.SetPenColor(color);
  if (display_) display_->SetPenColor(color);
}

void DisplayCanvas::SetPenWidth(int width) {
  exact_.SetPenWidth(width);
  if (display_) display_->SetPenWidth(std::max(1, Rounded(exact_.PenWidth() * scale_)));
}

void DisplayCanvas::SetPenStyle(PenStyle style) {
  exact_.SetPenStyle(style);
  if (display_) display_->SetPenStyle(style);
}

void DisplayCanvas::SetPenMode(PenMode mode) {
  exact_.SetPenMode(mode);
  if (display_) display_->SetPenMode(mode);
}

void DisplayCanvas::SetBrushColor(Rgb color) {
  exact_.SetBrushColor(color);
  if (display_) display_->SetBrushColor(color);
}
