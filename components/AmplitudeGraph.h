// How f or h of the accepted evaluations changes with the amplitude |A|, on a
// TMyGraph: |A| on a linear axis from 0, the value on a linear axis fitted
// around the points and their mean (1, 2, 2.5 or 5 times a power of ten per
// division), so that a change of a few per cent is seen rather than flattened
// against zero. The mean is a blue line; a point whose evaluation raised a
// warning is a triangle instead of a circle.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "components/MyGraph.h"

struct AmplitudePoint {
  float AbsA = 0.0f;
  float Value = 0.0f;
  bool Flagged = false;
};

// The linear axis of `grids` divisions that holds lo … hi: its start and its
// value per division, no finer than the four decimals of the tick labels. A single value gets an axis of about ±5 %
// around it (±2 for zero).
struct LinearAxis {
  float Start = 0.0f;
  float PerDivision = 1.0f;
};
LinearAxis FitLinearAxis(double lo, double hi, int grids);

// Lays out `graph` for a picture of its canvas' size and draws `points` with
// their `mean` (none: no line) on `background`; titleY names the value.
void DrawAmplitudeGraph(TMyGraph& graph, std::span<const AmplitudePoint> points, std::optional<float> mean,
                        const std::string& titleY, Rgb background);
