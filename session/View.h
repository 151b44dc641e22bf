// The view of the loaded record: which stretch is shown (start, width), in
// which time-scale mode, which channels, and the one channel an evaluation
// works on. Plain state, shared by the window and the command line; DrawView
// turns it into a picture.
#pragma once

#include <array>

#include "image/RgbImage.h"
#include "io/WaveData.h"

// The width a view starts with, and the one the command line assumes: five
// divisions of one second.
inline constexpr float kDefaultWidthSeconds = 5.0f;
// The steps of the arrow buttons, in samples, and the one the window starts with.
inline constexpr std::array<int, 4> kArrowSteps = {200, 500, 1000, 2000};
inline constexpr int kDefaultArrowStep = 500;

constexpr Rgb kPlotBackground{247, 255, 255};
constexpr Rgb kWhitePlotBackground{255, 255, 255};

enum class TimeScaleMode { Standard, Short };

// The displayed stretch of the record and how it is shown.
struct ViewWindow {
  int Start = 0;                              // first displayed sample, clamped to 0 .. SampleCount
  int Divisions = 5;                          // x grid divisions (the default width: five 1 s divisions)
  float SecondsPerDivision = 1.0f;            // the plot's VValueX
  float WidthSeconds = kDefaultWidthSeconds;  // Divisions * SecondsPerDivision in single precision
  TimeScaleMode ScaleMode = TimeScaleMode::Standard;
  int ArrowStep = kDefaultArrowStep;          // samples per press of an arrow button
  std::array<bool, kMaxChannels> Channels{};  // the channel check boxes
  bool SingleChannel = false;                 // set by the last redraw: exactly one channel shown
  int SingleIndex = 0;                        // and its 0-based index
  Rgb PlotBackground = kPlotBackground;       // "白地グラフ" makes it white
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

// Number of samples a window of widthSeconds covers at rate samples/s:
// trunc(rate * widthSeconds) in double precision, never negative.
long long WindowSamples(double rate, float widthSeconds);

// The channels the view shows are the checked boxes among the record's
// channels. With exactly one, the view holds it as the single channel (the
// one an evaluation works on); with several there is none; with none checked
// the previous single channel stays, as the picture is only cleared. Returns
// the number of channels shown. Called before every redraw.
int SelectChannels(ViewWindow& view, int channelCount);
