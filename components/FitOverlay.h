// What an evaluation draws over the waveform view: the fit points as green
// circles, the fitted curve in blue and seven result lines beside the plot.
// Drawn over the current picture without clearing it.
#pragma once

#include "analysis/DampedFit.h"
#include "components/MyWave.h"

// points: the fit samples, pointSpacing seconds apart (the first at the
// window's start); curve: the fitted curve, one value per displayed sample,
// dt seconds apart; the seven result lines of `result` (ResultLines). Uses the
// frame of the strip drawn last. Leaves the pen red for the view's traces.
void DrawFitOverlay(TMyWave& wave, int pointCount, const float* points, float pointSpacing,
                    int curveCount, const float* curve, float dt, const FitResult& result);

// The same for a finished evaluation: its fit points, curve and results. A
// failed evaluation draws nothing.
void DrawFitOverlay(TMyWave& wave, const FitEvaluation& evaluation);
