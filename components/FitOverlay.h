// What an evaluation draws over the waveform view: the fit points as green
// circles, the fitted curve in blue and seven result lines beside the plot.
// Drawn over the current picture without clearing it.
#pragma once

#include "analysis/DampedFit.h"
#include "components/MyWave.h"

// The evaluation's results as they are written onto the plot.
struct FitOverlayNumbers {
  float A = 0.0f;      // amplitude, unit of the samples
  float Wn = 0.0f;     // undamped angular natural frequency, 1/s
  float F = 0.0f;      // frequency, Hz
  float T = 0.0f;      // period, s
  float H = 0.0f;      // damping ratio
  float Phi = 0.0f;    // initial phase, rad
  float Ratio = 0.0f;  // goodness of fit, as a fraction
};

// points: the fit samples, pointSpacing seconds apart (the first at the
// window's start); curve: the fitted curve, one value per displayed sample,
// dt seconds apart. Uses the frame of the strip drawn last. Leaves the pen red
// for the view's traces.
void DrawFitOverlay(TMyWave& wave, int pointCount, const float* points, float pointSpacing,
                    int curveCount, const float* curve, float dt, const FitOverlayNumbers& numbers);

// The same for a finished evaluation: its fit points, curve and results. A
// failed evaluation draws nothing.
void DrawFitOverlay(TMyWave& wave, const FitEvaluation& evaluation);
