// The waveform view: the selected channels of the record as horizontal strips
// over a common time axis, each strip with its own full scale, drawn through
// TMyWave. The window holds the view state and calls DrawView after every
// change; the command line draws the same picture without a window.
#pragma once

#include <array>

#include "components/Canvas.h"
#include "components/MyWave.h"
#include "io/WaveData.h"

enum class TimeScaleMode { Standard, Short };

// The waveform plot's picture, in the window, the clipboard, saved files and
// the command line's drawings alike.
constexpr int kViewWidth = 753;
constexpr int kViewHeight = 401;

constexpr Rgb kPlotBackground{247, 255, 255};
constexpr Rgb kWhitePlotBackground{255, 255, 255};

// The displayed stretch of the record and how it is shown.
struct ViewWindow {
  int Start = 0;                     // first displayed sample, clamped to 0 .. SampleCount
  int Divisions = 5;                 // x grid divisions
  float SecondsPerDivision = 1.0f;   // the plot's VValueX
  float WidthSeconds = 5.0f;         // Divisions * SecondsPerDivision in single precision
  TimeScaleMode ScaleMode = TimeScaleMode::Standard;
  int ArrowStep = 500;               // samples per press of an arrow button
  std::array<bool, kMaxChannels> Channels{};  // the channel check boxes
  bool SingleChannel = false;        // set by the last redraw: exactly one channel shown
  int SingleIndex = 0;               // and its 0-based index
  Rgb PlotBackground = kPlotBackground;
  bool CursorDrawn = false;          // the crosshair is on the picture, at (CursorX, CursorY)
  int CursorX = 0;
  int CursorY = 0;
};

// The display widths of the two time-scale modes: the radio captions, the
// number of x divisions and the seconds per division (single precision, so
// 0.01 is 0.0099999998).
struct WidthChoice {
  const char* Caption;
  int Divisions;
  float SecondsPerDivision;
};
inline constexpr int kWidthChoices = 5;
inline constexpr int kDefaultWidthIndex = 2;
inline constexpr WidthChoice kStandardWidths[kWidthChoices] = {
    {"１sec", 1, 1.0f}, {"２sec", 2, 1.0f}, {"５sec", 5, 1.0f}, {"10sec", 10, 1.0f}, {"20sec", 20, 1.0f}};
inline constexpr WidthChoice kShortWidths[kWidthChoices] = {
    {"0.02sec", 2, 0.01f}, {"0.05sec", 5, 0.01f}, {"0.1sec", 1, 0.1f}, {"0.2sec", 2, 0.1f}, {"0.5sec", 5, 0.1f}};

// Sets divisions, seconds per division and width from a choice of the table.
void ApplyWidth(ViewWindow& view, const WidthChoice& choice);
// A width in seconds as the view shows it: the table entry of that width when
// there is one, else five divisions of width / 5 seconds.
void ApplyWidthSeconds(ViewWindow& view, float widthSeconds);

// What the view shows of the band-pass filter: its state and band edges in Hz.
struct ViewBandPass {
  bool On = false;
  float LowHz = 0.0f;
  float HighHz = 0.0f;
};

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

// Number of samples a window of widthSeconds covers at rate samples/s:
// trunc(rate * widthSeconds) in double precision, never negative.
long long WindowSamples(double rate, float widthSeconds);

// The channels the view shows are the checked boxes among the record's
// channels. With exactly one, the view holds it as the single channel (the
// one an evaluation works on); with several there is none; with none checked
// the previous single channel stays, as the picture is only cleared. Returns
// the number of channels shown. Called before every redraw.
int SelectChannels(ViewWindow& view, int channelCount);

// Redraws the whole view as `view` describes it (channels as SelectChannels
// left them); the new picture carries no crosshair. With startIsNumber false
// (the start box holds no integer) it stops after clearing and writing the
// file name; the window then reports the conversion error. The traces are
// drawn in copy mode; with skipRepeats they leave out segments already drawn
// in their pixel column, which gives the same picture faster (see
// TMyWave::SkipRepeatedSegments).
DrawViewResult DrawView(TMyWave& wave, const WaveData& record, const ViewWindow& view,
                        const ViewBandPass& bandPass, bool startIsNumber = true,
                        bool skipRepeats = true);
