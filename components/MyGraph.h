// TMyGraph: an XY graph. A rectangular plot area with major grid lines,
// dotted sub-divisions, tick labels and two axis titles, each axis linear or
// logarithmic; data series are drawn into it as polylines or markers. Nothing
// is redrawn by itself: callers Clear, DrawWaku, then plot. Real coordinates
// are computed in extended precision and truncated toward zero to pixels.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "components/Canvas.h"
#include "components/Platform.h"
#include "image/PngObject.h"

// A scale the graph could not honour. The graph draws on regardless and keeps
// the notice for its window, which shows it as a message box after the drawing.
struct GraphNotice {
  std::string Text;
  std::string Title;
  MessageIcon Icon = MessageIcon::None;
};

class TMyGraph {
 public:
  static constexpr int kDefaultWidth = 300;
  static constexpr int kDefaultHeight = 300;

  // The clipboard goes through platform.
  TMyGraph(Canvas& canvas, Platform& platform);
  TMyGraph(std::unique_ptr<Canvas> canvas, Platform& platform);

  TMyGraph(const TMyGraph&) = delete;
  TMyGraph& operator=(const TMyGraph&) = delete;

  // Published properties, with the values of a new graph.
  int NGridX = 4;
  int NGridY = 4;
  int WidthX = 250;    // plot-area width in pixels
  int HeightY = 250;   // plot-area height in pixels
  int OriginX = 35;    // left edge of the plot area
  int OriginY = 270;   // bottom edge of the plot area
  bool LinearX = true;
  bool LinearY = true;
  float SValueX = 0.0f;   // value at the origin
  float SValueY = 0.0f;
  float VValueX = 5.0f;   // linear: value per division; logarithmic: factor per division
  float VValueY = 10.0f;
  bool SubAxis = true;    // sub-divisions as full dotted lines (else 7-pixel ticks)
  bool OverWrite = false; // DrawWaku draws without erasing first
  bool LeftScale = true;  // Y labels and title on the left
  int SubX = 5;
  int SubY = 5;
  std::string TitleX = "TitleX [unit]";
  std::string TitleY = "TitleY [unit]";

  Canvas& GetCanvas() { return *canvas_; }
  int Width() const { return canvas_->Width(); }
  int Height() const { return canvas_->Height(); }

  void Clear(Rgb color);
  void DrawWaku();
  // Polyline through the points; a point that a logarithmic axis cannot show
  // is passed over. Nothing is clipped.
  void DrawGraph(int n, const float* xs, const float* ys);
  // A marker at each point; stops at the first point right of the plot area.
  void PlotGraph(int n, const float* xs, const float* ys, int MarkerType, int MarkerSize);
  // PlotGraph for every step-th point, markers drawn with a solid pen; step 0
  // draws nothing.
  void SkipGraph(int n, const float* xs, const float* ys, int MarkerType, int MarkerSize, int step);
  // Scale from non-negative data: the full range just exceeds the largest value.
  void XScaleUnit(int n, const float* xs);
  void YScaleUnit(int n, const float* ys);
  // Scale from data of either sign; negative data put the origin row in the
  // middle and may make the grid count even.
  void XScaleUnit1(int n, const float* xs);
  void YScaleUnit1(int n, const float* ys);
  void Copy();
  // The notices left by DrawWaku and the scale calls since the last take,
  // oldest first; taking them empties the list.
  std::vector<GraphNotice> TakeNotices();
  // Writes the picture as a PNG file under fileName (no extension added). A
  // file that cannot be created or written comes back as a failed result.
  PngResult Save_PNG(const std::string& fileName) const;

  // The tick-label text of a value: "0" below 1e-8; exponent form with one
  // decimal below 1e-5 or above 100000; otherwise four decimals without
  // trailing zeros.
  static std::string _round_number(float value);

  // The pixel of the point (x, y) in the present frame; false when an axis
  // cannot show it (a value not above 0 on a logarithmic axis).
  bool MapPoint(float x, float y, int& px, int& py) const;

 private:
  struct Axis;
  Axis XAxis();
  Axis YAxis();
  void ScaleUnit(const Axis& axis, int n, const float* values);
  void ScaleUnit1(const Axis& axis, int n, const float* values);
  void DrawMarker(int cx, int cy, int type, int size);
  void Plot(int n, const float* xs, const float* ys, int type, int size, int step, bool solid);

  std::unique_ptr<Canvas> owned_;
  Canvas* canvas_;
  Platform* platform_;
  std::vector<GraphNotice> notices_;
};
