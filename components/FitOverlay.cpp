#include "components/FitOverlay.h"

#include <algorithm>

#include "analysis/Acceptance.h"
#include "components/Markers.h"

namespace {

constexpr Rgb kPointPen{0, 128, 0};
constexpr Rgb kCurvePen{0, 0, 255};
constexpr Rgb kTracePen{255, 0, 0};
constexpr int kCurvePenWidth = 2;

}  // namespace

void DrawFitOverlay(TMyWave& wave, int pointCount, const float* points, float pointSpacing,
                    int curveCount, const float* curve, float dt, const FitResult& result) {
  Canvas& canvas = wave.GetCanvas();
  canvas.SetPenColor(kPointPen);
  wave.PlotWave1(pointCount, points, pointSpacing, kMarkerCircle, kPointMarkerRadius);
  canvas.SetPenColor(kCurvePen);
  canvas.SetPenWidth(kCurvePenWidth);
  wave.DrawWave1(curveCount, curve, dt);

  for (const ResultLine& line : ResultLines(result)) canvas.TextOut(line.X, line.Y, line.Text);
  canvas.SetPenColor(kTracePen);
}

void DrawFitOverlay(TMyWave& wave, const FitEvaluation& evaluation) {
  if (!evaluation.Ok()) return;
  const int curveCount =
      static_cast<int>(std::min<std::size_t>(evaluation.Curve.size(), static_cast<std::size_t>(std::max(evaluation.N, 0))));
  DrawFitOverlay(wave, kFitPoints, evaluation.Points.Values.data(), evaluation.Points.Delta,
                 curveCount, evaluation.Curve.data(), evaluation.Dt, evaluation.Result);
}
