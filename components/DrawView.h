// The waveform view: the selected channels of the record as horizontal strips
// over a common time axis, each strip with its own full scale, drawn through
// TMyWave. The session holds the view (session/View.h); the window calls
// DrawView after every change, and the command line draws the same picture
// without a window.
#pragma once

#include <array>
#include <optional>

#include "analysis/BandPass.h"
#include "components/Canvas.h"
#include "components/MyWave.h"
#include "io/WaveData.h"
#include "session/View.h"

// The waveform plot's picture, in the window, the clipboard, saved files and
// the command line's drawings alike.
constexpr int kViewWidth = 753;
constexpr int kViewHeight = 401;

struct DrawViewResult {
  int CheckedCount = 0;   // checked channels of the record; 0 means the picture was only cleared
  bool Completed = true;  // false when the start was not a number and drawing stopped early
  int Start = 0;          // the drawn stretch: samples Start .. End - 1
  int End = 0;
  WaveFrame LastFrame;    // the frame of the strip drawn last
};

// The vertical full scale of a strip: the first of 1, 2, 5 times a power of ten
// (from 1e-6 up, each decade factor held in single precision) that reaches the
// largest |value|.
float NiceFullScale(int n, const float* values);

// Redraws the whole view as `view` describes it (channels as SelectChannels
// left them); the new picture carries no crosshair. With startIsNumber false
// (the start box holds no integer) it stops after clearing and writing the
// file name; the window then reports the conversion error. The traces are
// drawn in copy mode; with skipRepeats they leave out segments already drawn
// in their pixel column, which gives the same picture faster (see
// TMyWave::SkipRepeatedSegments).
// `band` is the band-pass band the samples are filtered with, written over
// the picture; none while unfiltered.
DrawViewResult DrawView(TMyWave& wave, const WaveData& record, const ViewWindow& view,
                        const std::optional<BandEdges>& band, bool startIsNumber = true,
                        bool skipRepeats = true);
