#include "components/AmplitudeGraph.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "components/Markers.h"

namespace {

constexpr double kSteps[] = {1.0, 2.0, 2.5, 5.0};
// The graph's tick labels show four decimals, and one whose fourth decimal is
// a 9 is shown rounded up: steps no finer than two in the fourth decimal, and
// 2.5 times a power of ten only where that is a whole number of them.
constexpr double kLabelStep = 2e-4;
constexpr double kSingleValueShare = 0.05;  // a lone value: the axis spans ±5 % of it
constexpr int kGrids = 4;

constexpr Rgb kPointPen{255, 0, 0};
constexpr Rgb kFlaggedPen{200, 110, 0};
constexpr Rgb kFlaggedFill{255, 200, 0};
constexpr Rgb kMeanPen{0, 0, 200};
constexpr Rgb kWhite{255, 255, 255};

constexpr int kLeft = 52;
constexpr int kRight = 14;
constexpr int kTop = 28;
constexpr int kBottom = 38;

}  // namespace

LinearAxis FitLinearAxis(double lo, double hi, int grids) {
  grids = std::max(grids, 1);
  if (!(std::isfinite(lo) && std::isfinite(hi))) return {};
  if (hi < lo) std::swap(lo, hi);
  if (hi == lo) {
    const double half = lo == 0.0 ? 2.0 : kSingleValueShare * std::fabs(lo);
    lo -= half;
    hi += half;
  }
  const double rough = (hi - lo) / grids;
  for (double decade = std::pow(10.0, std::floor(std::log10(rough))); std::isfinite(decade); decade *= 10.0) {
    for (const double m : kSteps) {
      const double step = m * decade;
      if (step < rough || step < kLabelStep * (1.0 - 1e-9) || (m == 2.5 && decade < 5.0 * kLabelStep * (1.0 - 1e-9))) {
        continue;
      }
      const double start = std::floor(lo / step) * step;
      // Compared as the graph will hold them, in single precision.
      const auto startF = static_cast<float>(start);
      const auto stepF = static_cast<float>(step);
      if (static_cast<double>(startF) <= lo && static_cast<double>(startF) + grids * static_cast<double>(stepF) >= hi) {
        return {startF, stepF};
      }
    }
  }
  return {};
}

void DrawAmplitudeGraph(TMyGraph& graph, std::span<const AmplitudePoint> points, std::optional<float> mean,
                        const std::string& titleY, Rgb background) {
  graph.OriginX = kLeft;
  graph.OriginY = graph.Height() - kBottom;
  graph.WidthX = graph.Width() - kLeft - kRight;
  graph.HeightY = graph.Height() - kTop - kBottom;
  graph.NGridX = kGrids;
  graph.NGridY = kGrids;
  graph.SubX = 2;
  graph.SubY = 2;
  graph.LinearX = true;
  graph.LinearY = true;
  graph.TitleX = "振幅 |A|";
  graph.TitleY = titleY;

  std::vector<float> xs;
  double lo = mean ? static_cast<double>(*mean) : HUGE_VAL;
  double hi = mean ? static_cast<double>(*mean) : -HUGE_VAL;
  for (const AmplitudePoint& p : points) {
    if (!std::isfinite(p.AbsA) || !std::isfinite(p.Value)) continue;
    xs.push_back(p.AbsA);
    lo = std::min(lo, static_cast<double>(p.Value));
    hi = std::max(hi, static_cast<double>(p.Value));
  }
  if (xs.empty()) {
    graph.SValueX = 0.0f;
    graph.VValueX = 1.0f;
  } else {
    graph.XScaleUnit(static_cast<int>(xs.size()), xs.data());
  }
  const LinearAxis axis = lo <= hi ? FitLinearAxis(lo, hi, kGrids) : LinearAxis{};
  graph.SValueY = axis.Start;
  graph.VValueY = axis.PerDivision;
  graph.Clear(background);
  graph.DrawWaku();

  Canvas& canvas = graph.GetCanvas();
  if (mean) {
    const float ends[] = {graph.SValueX, graph.SValueX + graph.NGridX * graph.VValueX};
    const float values[] = {*mean, *mean};
    canvas.SetPenColor(kMeanPen);
    graph.DrawGraph(2, ends, values);
  }
  canvas.SetPenWidth(2);
  for (const AmplitudePoint& p : points) {
    if (!std::isfinite(p.AbsA) || !std::isfinite(p.Value)) continue;
    canvas.SetPenColor(p.Flagged ? kFlaggedPen : kPointPen);
    canvas.SetBrushColor(p.Flagged ? kFlaggedFill : kWhite);
    graph.PlotGraph(1, &p.AbsA, &p.Value, p.Flagged ? kMarkerTriangle : kMarkerCircle,
                    kPointMarkerRadius + (p.Flagged ? 1 : 0));
  }
  canvas.SetPenWidth(1);
  canvas.SetPenColor({0, 0, 0});
  canvas.SetBrushColor(kWhite);
}
