// TMyWave: the waveform plot. One coordinate frame (origin, grid divisions,
// pixels and value per division) and a few drawing operations on it: clear,
// axes with labels, a sampled curve as a polyline, samples as markers. It keeps
// no samples; callers pass them on every call and change the frame between
// calls. Every real coordinate is truncated toward zero to a pixel.
#pragma once

#include <memory>
#include <string>

#include "components/Canvas.h"

class Platform;

// The frame properties a caller reads back after a redraw (the evaluation
// draws over the strip that was drawn last).
struct WaveFrame {
  int OriginX = 0;
  int OriginY = 0;
  int UnitLenX = 0;
  int UnitLenY = 0;
  int NGridX = 0;
  float VValueX = 0.0f;
  float VValueY = 0.0f;
  friend bool operator==(const WaveFrame&, const WaveFrame&) = default;
};

class TMyWave {
 public:
  // The size a plot is made with when its window does not give one.
  static constexpr int kDefaultWidth = 400;
  static constexpr int kDefaultHeight = 200;

  // Draws on a canvas the caller keeps alive (a window's picture, a test's
  // recording canvas).
  explicit TMyWave(Canvas& canvas);
  // Draws on a canvas of its own.
  explicit TMyWave(std::unique_ptr<Canvas> canvas);

  TMyWave(const TMyWave&) = delete;
  TMyWave& operator=(const TMyWave&) = delete;

  // Published properties, with the values of a new plot.
  int OriginX = 50;
  int OriginY = 100;
  int UnitLenX = 100;
  int UnitLenY = 25;
  int NGridX = 3;
  int NGridY = 2;
  int SubX = 5;
  int SubY = 2;
  bool PlusOnly = false;
  float SValueX = 0.0f;
  float SValueY = 0.0f;
  float VValueX = 1.0f;
  float VValueY = 10.0f;
  std::string Title = "Sample Wave";
  std::string UnitX = "[sec]";
  std::string UnitY = "[cm]";

  // Drawing option, not a frame property: when true, DrawWave1 leaves out a
  // segment it has already drawn in the same call (the same end points within
  // one pixel column). Drawn again with the same pen in copy mode such a
  // segment changes no pixel, so the picture stays the same, and a dense record
  // repeats many. Only for a canvas in copy mode.
  bool SkipRepeatedSegments = false;

  Canvas& GetCanvas() { return *canvas_; }
  const Canvas& GetCanvas() const { return *canvas_; }
  int Width() const { return canvas_->Width(); }
  int Height() const { return canvas_->Height(); }
  WaveFrame Frame() const;

  // Sets the brush to color and fills the whole picture with it; the brush
  // stays at that colour, so later text boxes and marker fills use it.
  void Clear(Rgb color);
  // Axes, ticks, tick labels, origin labels, title and unit labels in the
  // current pen colour. Leaves the pen width at 1.
  void DrawScale();
  // values[0 .. n-1] as a polyline, sample i at time i*dt (x-axis unit). Stops
  // at the first sample right of the plot width.
  void DrawWave1(int n, const float* values, float dt);
  // Every sampleStep-th sample, pixelStep pixels apart.
  void DrawWave(int n, const float* values, int sampleStep, int pixelStep);
  // A marker at every sample i (time i*dt); no clipping at the plot width.
  void PlotWave1(int n, const float* values, float dt, int shape, int size);
  // One pixel per plotted sample, a marker at every markInterval-th of them.
  void PlotWave(int n, const float* values, int sampleStep, int markInterval, int shape, int size);
  // Puts the whole picture on the clipboard.
  void Copy(Platform& platform) const;

  // The tick-label text of a value: "0"; exponent form with one decimal below
  // 0.00001 or above 100000; otherwise four decimals without trailing zeros.
  static std::string _round_number(float value);

  // Pixel row of a value in the current frame.
  int ValueToY(double value) const;

 private:
  void DrawMarker(int x, int y, int shape, int size);

  std::unique_ptr<Canvas> owned_;
  Canvas* canvas_;
};
