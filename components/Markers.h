// The markers TMyGraph and TMyWave draw at data points: their shape codes
// (the `MarkerType` / `shape` arguments) and the sizes this program draws them
// at, in pixels from the centre.
#pragma once

inline constexpr int kMarkerCircle = 0;
inline constexpr int kMarkerTriangle = 1;

// Points of the scatter plot and of the amplitude graphs, and the fit points
// over the waveform.
inline constexpr int kPointMarkerRadius = 3;
// Peaks marked on a spectrum.
inline constexpr int kPeakMarkerRadius = 4;
