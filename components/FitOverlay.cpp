#include "components/FitOverlay.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {

constexpr Rgb kPointPen{0, 128, 0};
constexpr Rgb kCurvePen{0, 0, 255};
constexpr Rgb kTracePen{255, 0, 0};
constexpr int kCurvePenWidth = 2;
constexpr int kCircleShape = 0;
constexpr int kCircleRadius = 3;

struct ResultLine {
  int x;
  int y;
  const char* format;
};

constexpr ResultLine kResultLines[] = {
    {600, 250, "A   = %.3f"},       {600, 270, "ωn = %.3f (1/sec)"},
    {600, 290, "f    = %.3f (Hz)"}, {600, 310, "T    = %.3f (sec)"},
    {600, 330, "h    = %.4f"},      {600, 350, "φ  = %.3f"},
    {595, 370, "ratio = %.3f"},
};

}  // namespace

void DrawFitOverlay(TMyWave& wave, int pointCount, const float* points, float pointSpacing,
                    int curveCount, const float* curve, float dt, const FitOverlayNumbers& numbers) {
  Canvas& canvas = wave.GetCanvas();
  canvas.SetPenColor(kPointPen);
  wave.PlotWave1(pointCount, points, pointSpacing, kCircleShape, kCircleRadius);
  canvas.SetPenColor(kCurvePen);
  canvas.SetPenWidth(kCurvePenWidth);
  wave.DrawWave1(curveCount, curve, dt);

  const float values[] = {numbers.A, numbers.Wn, numbers.F, numbers.T,
                          numbers.H, numbers.Phi, numbers.Ratio};
  static_assert(std::size(values) == std::size(kResultLines));
  for (std::size_t i = 0; i < std::size(kResultLines); ++i) {
    char text[96];
    std::snprintf(text, sizeof text, kResultLines[i].format, static_cast<double>(values[i]));
    canvas.TextOut(kResultLines[i].x, kResultLines[i].y, text);
  }
  canvas.SetPenColor(kTracePen);
}

void DrawFitOverlay(TMyWave& wave, const FitEvaluation& evaluation) {
  if (!evaluation.Ok()) return;
  const FitResult& fit = evaluation.Result;
  const int curveCount =
      static_cast<int>(std::min<std::size_t>(evaluation.Curve.size(), static_cast<std::size_t>(std::max(evaluation.N, 0))));
  DrawFitOverlay(wave, kFitPoints, evaluation.Points.Values.data(), evaluation.Points.Delta,
                 curveCount, evaluation.Curve.data(), evaluation.Dt,
                 {fit.A, fit.Wn, fit.F, fit.T, fit.H, fit.Phi, fit.Ratio});
}
