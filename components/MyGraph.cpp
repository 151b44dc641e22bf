#include "components/MyGraph.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "components/Platform.h"
#include "io/NumberText.h"

namespace {

// A coordinate this far from the plot lies outside any picture. Clamping to it
// before truncating keeps huge values, infinities and NaN (a zero or unit
// logarithmic factor, a zero value per division) from an undefined
// float-to-int conversion and leaves every visible pixel as it is.
constexpr long double kPixelLimit = 1.0e6L;

int TruncPixel(long double v) {
  if (!(v > -kPixelLimit)) return -static_cast<int>(kPixelLimit);
  if (v > kPixelLimit) return static_cast<int>(kPixelLimit);
  return static_cast<int>(v);
}

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};
constexpr int kLabelGap = 5;        // pixels between the axis and the X labels
constexpr int kYLabelGap = 10;      // pixels between the axis and the left Y labels
constexpr int kSubTick = 7;         // length of a sub-division tick
constexpr int kLogSubLines = 4;     // at 2, 4, 6 and 8 within a decade
constexpr double kTitleXDrop = 1.4; // X title this many text heights below the axis
constexpr double kTitleYLift = 1.3; // Y title this many text heights above the frame

// Scale steps tried within each decade, from 1e-10 up.
constexpr double kScaleSteps[] = {1.0, 2.0, 2.5, 5.0};
constexpr double kScaleStart = 1e-10;
// A maximum that equals a full scale, or passes it by less than grid * 0.001 * u,
// still takes that scale.
constexpr double kScaleMargin = 0.001;

// Grid counts below one would divide by zero; the graph then draws one division.
int GridCount(int n) { return std::max(n, 1); }

float TickValue(bool linear, float perDivision, float start, int i) {
  if (linear) {
    return static_cast<float>(static_cast<double>(perDivision) * i + static_cast<double>(start));
  }
  return static_cast<float>(std::pow(static_cast<double>(perDivision), i) * static_cast<double>(start));
}

}  // namespace

struct TMyGraph::Axis {
  int* nGrid;
  bool linear;
  float* sValue;
  float* vValue;
};

TMyGraph::TMyGraph(Canvas& canvas, Platform& platform) : canvas_(&canvas), platform_(&platform) {}

TMyGraph::TMyGraph(std::unique_ptr<Canvas> canvas, Platform& platform)
    : owned_(std::move(canvas)), canvas_(owned_.get()), platform_(&platform) {}

void TMyGraph::Clear(Rgb color) {
  canvas_->SetBrushColor(color);
  canvas_->FillRect(0, 0, canvas_->Width(), canvas_->Height());
}

void TMyGraph::DrawWaku() {
  Canvas& c = *canvas_;
  c.SetBrushColor(kWhite);
  if (!OverWrite) c.FillRect(0, 0, c.Width(), c.Height());

  // The frame is still drawn after the notice, and the program goes on.
  if (!LinearX && SValueX == 0.0f) {
    notices_.push_back({"X Logarithmic Scale can not be determind.\n対数目盛りの開始値が 0 です。開始値を 0 より大きくしてください。",
                        "X Scale Error", MessageIcon::None});
  }
  if (!LinearY && SValueY == 0.0f) {
    notices_.push_back({"Y Logarithmic Scale can not be determind.\n対数目盛りの開始値が 0 です。開始値を 0 より大きくしてください。",
                        "Y Scale Error", MessageIcon::None});
  }

  const int gridX = GridCount(NGridX);
  const int gridY = GridCount(NGridY);
  const int dx = WidthX / gridX;
  const int dy = HeightY / gridY;
  const int right = OriginX + gridX * dx;
  const int top = OriginY - gridY * dy;

  // A sub-division: a full dotted line, or a solid tick on the axis.
  auto subLine = [&](int x1, int y1, int x2, int y2, int tickX, int tickY) {
    if (SubAxis) {
      c.MoveTo(x1, y1);
      c.LineTo(x2, y2);
    } else {
      c.SetPenStyle(PenStyle::Solid);
      c.MoveTo(x1, y1);
      c.LineTo(tickX, tickY);
    }
  };

  for (int i = 0; i <= gridX; ++i) {
    const int x = OriginX + i * dx;
    c.SetPenColor(kBlack);
    c.SetPenStyle(PenStyle::Solid);
    c.SetPenWidth(i == 0 || i == gridX ? 2 : 1);
    c.MoveTo(x, OriginY);
    c.LineTo(x, top);
    c.SetPenWidth(1);
    const std::string label = _round_number(TickValue(LinearX, VValueX, SValueX, i));
    c.TextOut(x - c.TextWidth(label) / 2, OriginY + kLabelGap, label);
    c.SetPenStyle(PenStyle::Dot);
    if (i == gridX) continue;
    if (LinearX) {
      for (int j = 1; j < SubX; ++j) {
        const int xs = (j * dx) / SubX + i * dx + OriginX;
        subLine(xs, OriginY, xs, top, xs, OriginY - kSubTick);
      }
    } else {
      for (int j = 1; j <= kLogSubLines; ++j) {
        const int xs = TruncPixel(std::log10(2.0L * j) * dx + i * dx + OriginX);
        subLine(xs, OriginY, xs, top, xs, OriginY - kSubTick);
      }
    }
  }

  for (int i = 0; i <= gridY; ++i) {
    const int y = OriginY - i * dy;
    c.SetPenStyle(PenStyle::Solid);
    c.SetPenWidth(i == 0 || i == gridY ? 2 : 1);
    c.MoveTo(OriginX, y);
    c.LineTo(right, y);
    c.SetPenWidth(1);
    const std::string label = _round_number(TickValue(LinearY, VValueY, SValueY, i));
    const int h = c.TextHeight(label);
    const int labelX = LeftScale ? OriginX - kYLabelGap - c.TextWidth(label) : OriginX + WidthX + 5;
    c.TextOut(labelX, y - h / 2, label);
    c.SetPenStyle(PenStyle::Dot);
    if (i == gridY) continue;
    if (LinearY) {
      for (int j = 1; j < SubY; ++j) {
        const int ys = y - (j * dy) / SubY;
        subLine(OriginX, ys, right, ys, OriginX + kSubTick, ys);
      }
    } else {
      for (int j = 1; j <= kLogSubLines; ++j) {
        const int ys = TruncPixel(static_cast<long double>(y) - std::log10(2.0L * j) * dy);
        subLine(OriginX, ys, right, ys, OriginX + kSubTick, ys);
      }
    }
  }

  const int hA = c.TextHeight("A");
  c.TextOut(OriginX + WidthX / 2 - c.TextWidth(TitleX) / 2,
            TruncPixel(OriginY + kTitleXDrop * hA), TitleX);
  const int titleYTop = TruncPixel(OriginY - HeightY - kTitleYLift * hA);
  const int titleYX = LeftScale ? OriginX + 10 : OriginX + WidthX - c.TextWidth(TitleY) - 5;
  c.TextOut(titleYX, titleYTop, TitleY);
  c.SetPenStyle(PenStyle::Solid);
}

bool TMyGraph::MapPoint(float x, float y, int& px, int& py) const {
  const long double dx = WidthX / GridCount(NGridX);
  const long double dy = HeightY / GridCount(NGridY);
  const long double lx = x;
  const long double ly = y;
  const long double sx = SValueX;
  const long double sy = SValueY;
  if (LinearX) {
    px = TruncPixel((lx - sx) / VValueX * dx + OriginX);
  } else {
    if (!(x > 0.0f) || SValueX == 0.0f) return false;
    px = TruncPixel(std::log10(lx / sx) / std::log10(static_cast<long double>(VValueX)) * dx + OriginX);
  }
  if (LinearY) {
    py = TruncPixel(OriginY - (ly - sy) / VValueY * dy);
  } else {
    if (!(y > 0.0f) || SValueY == 0.0f) return false;
    py = TruncPixel(OriginY - std::log10(ly / sy) / std::log10(static_cast<long double>(VValueY)) * dy);
  }
  return true;
}

void TMyGraph::DrawGraph(int n, const float* xs, const float* ys) {
  for (int i = 0; i < n; ++i) {
    int px = 0;
    int py = 0;
    if (!MapPoint(xs[i], ys[i], px, py)) continue;
    // Only point 0 moves the pen: when it is skipped the first drawn point is
    // joined to wherever the pen stood.
    if (i == 0) {
      canvas_->MoveTo(px, py);
    } else {
      canvas_->LineTo(px, py);
    }
  }
}

void TMyGraph::DrawMarker(int cx, int cy, int type, int size) {
  Canvas& c = *canvas_;
  const int r = size;
  const int s = (r + 1) / 2;
  switch (type) {
    case 0:
      c.Ellipse(cx - r, cy - r, cx + r, cy + r);
      break;
    case 1:
      c.Polygon({{cx, cy - r}, {cx - r, cy + s}, {cx + r, cy + s}});
      c.MoveTo(cx, cy - r);
      c.LineTo(cx - r, cy + s);
      c.LineTo(cx + r, cy + s);
      c.LineTo(cx, cy - r);
      break;
    case 2:
      c.FillRect(cx - s, cy - s, cx + s, cy + s);
      c.MoveTo(cx - s, cy - s);
      c.LineTo(cx - s, cy + s);
      c.LineTo(cx + s, cy + s);
      c.LineTo(cx + s, cy - s);
      c.LineTo(cx - s, cy - s);
      break;
    case 3:
      c.Polygon({{cx, cy - s}, {cx - s, cy}, {cx, cy + s}, {cx + s, cy}});
      c.MoveTo(cx, cy - s);
      c.LineTo(cx - s, cy);
      c.LineTo(cx, cy + s);
      c.LineTo(cx + s, cy);
      c.LineTo(cx, cy - s);
      break;
    case 4:
      c.MoveTo(cx - r, cy - r);
      c.LineTo(cx + r, cy + r);
      c.MoveTo(cx + r, cy - r);
      c.LineTo(cx - r, cy + r);
      break;
    case 5:
      c.MoveTo(cx, cy - r);
      c.LineTo(cx, cy + r);
      c.MoveTo(cx + r, cy);
      c.LineTo(cx - r, cy);
      break;
    default:
      break;
  }
}

void TMyGraph::Plot(int n, const float* xs, const float* ys, int type, int size, int step,
                    bool solid) {
  const int rightEdge = OriginX + WidthX;
  for (int i = 0; i < n; ++i) {
    if (i % step != 0) continue;
    int cx = 0;
    int cy = 0;
    if (!MapPoint(xs[i], ys[i], cx, cy)) continue;
    // The first point right of the plot area ends the drawing; nothing else
    // is clipped.
    if (cx > rightEdge) return;
    if (solid) {
      const PenStyle saved = canvas_->Style();
      canvas_->SetPenStyle(PenStyle::Solid);
      DrawMarker(cx, cy, type, size);
      canvas_->SetPenStyle(saved);
    } else {
      DrawMarker(cx, cy, type, size);
    }
  }
}

void TMyGraph::PlotGraph(int n, const float* xs, const float* ys, int MarkerType, int MarkerSize) {
  Plot(n, xs, ys, MarkerType, MarkerSize, 1, false);
}

void TMyGraph::SkipGraph(int n, const float* xs, const float* ys, int MarkerType, int MarkerSize,
                         int step) {
  if (step == 0) return;
  Plot(n, xs, ys, MarkerType, MarkerSize, step, true);
}

TMyGraph::Axis TMyGraph::XAxis() { return {&NGridX, LinearX, &SValueX, &VValueX}; }
TMyGraph::Axis TMyGraph::YAxis() { return {&NGridY, LinearY, &SValueY, &VValueY}; }

namespace {

// The first m * u (m of 1, 2, 2.5, 5; u a power of ten from 1e-10) whose grid
// divisions reach past max. Returns 0 when no finite scale does (max infinite).
double FindLinearScale(int grid, double max) {
  for (double u = kScaleStart; std::isfinite(u); u *= 10.0) {
    for (const double m : kScaleSteps) {
      if (grid * (m + kScaleMargin) * u > max) return m * u;
    }
  }
  return 0.0;
}

// The top of a logarithmic axis: the first power of ten from 1e-10 above max.
double FindLogTop(double max) {
  double u = kScaleStart;
  while (max >= u && std::isfinite(u)) u *= 10.0;
  return u;
}

}  // namespace

void TMyGraph::ScaleUnit(const Axis& axis, int n, const float* values) {
  double max = 0.0;
  for (int i = 0; i < n; ++i) {
    if (values[i] > max) max = values[i];
  }
  // An infinite maximum has no scale; the axis keeps the one it had.
  if (!std::isfinite(max)) return;
  const int grid = GridCount(*axis.nGrid);
  if (axis.linear) {
    *axis.sValue = 0.0f;
    *axis.vValue = static_cast<float>(FindLinearScale(grid, max));
  } else {
    *axis.sValue = static_cast<float>(FindLogTop(max) / std::pow(10.0, grid));
    *axis.vValue = 10.0f;
  }
}

void TMyGraph::ScaleUnit1(const Axis& axis, int n, const float* values) {
  double max = 0.0;
  bool negative = false;
  for (int i = 0; i < n; ++i) {
    if (std::fabs(values[i]) > max) max = std::fabs(values[i]);
    if (values[i] < 0.0f) negative = true;
  }
  if (!axis.linear) {
    if (negative) {
      notices_.push_back({"負のデータを対数目盛りでは表せません\n負の値のあるデータは線形目盛りで表示してください。",
                          "目盛り設定エラー", MessageIcon::Warning});
    }
    if (!std::isfinite(max)) return;
    *axis.sValue = static_cast<float>(FindLogTop(max) / std::pow(10.0, GridCount(*axis.nGrid)));
    *axis.vValue = 10.0f;
    return;
  }
  if (!std::isfinite(max)) return;
  const int grid = GridCount(*axis.nGrid);
  const int g = negative ? (grid + 1) / 2 : grid;
  const float perDivision = static_cast<float>(FindLinearScale(g, max));
  if (negative) *axis.nGrid = 2 * g;
  *axis.vValue = perDivision;
  *axis.sValue = negative ? static_cast<float>(-g * static_cast<double>(perDivision)) : 0.0f;
}

void TMyGraph::XScaleUnit(int n, const float* xs) { ScaleUnit(XAxis(), n, xs); }
void TMyGraph::YScaleUnit(int n, const float* ys) { ScaleUnit(YAxis(), n, ys); }
void TMyGraph::XScaleUnit1(int n, const float* xs) { ScaleUnit1(XAxis(), n, xs); }
void TMyGraph::YScaleUnit1(int n, const float* ys) { ScaleUnit1(YAxis(), n, ys); }

void TMyGraph::Copy() { platform_->CopyImageToClipboard(canvas_->Image()); }

std::vector<GraphNotice> TMyGraph::TakeNotices() { return std::exchange(notices_, {}); }

PngResult TMyGraph::Save_PNG(const std::string& fileName) const {
  TPNGObject png;
  png.Assign(canvas_->Image());
  return png.SaveToFile(fileName);
}

std::string TMyGraph::_round_number(float value) {
  const double a = std::fabs(static_cast<double>(value));
  if (value == 0.0f || a < 1e-8) return "0";
  // Compared in double precision: 0.00001 as a float lies just below 1e-5.
  if (a < 1e-5 || a > 100000.0) return FormatC(value > 0.0f ? "%.1e" : "-%.1e", a);
  std::string t = FormatC("%.4f", a);
  if (!t.empty() && t.back() == '9') t = FormatC("%.4f", a + 0.0001);
  while (!t.empty() && t.back() == '0') t.pop_back();
  if (!t.empty() && t.back() == '.') t.pop_back();
  return value < 0.0f ? "-" + t : t;
}
