// The whole record at a glance: one lane per channel, each pixel column drawn
// as the vertical span from the smallest to the largest sample it covers (the
// channel's MinMaxSummary), so that a column over a million samples costs what
// one over a hundred does and no peak is lost between columns. Over the lanes
// the stretch the waveform view shows is shaded, a row above them marks the
// free decays of the active channel (a span from onset to end, a triangle at the
// suggested start), a warning mark stands at the start of each flagged
// evaluation, and a time axis in seconds runs below.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/DecayDetection.h"
#include "analysis/MinMaxSummary.h"
#include "components/Canvas.h"

struct StripLane {
  const MinMaxSummary* Summary = nullptr;  // the channel's samples; null: an empty lane
  std::string Label;                       // drawn at the lane's left ("1ch")
  bool Active = false;                     // the channel the decays and flags belong to
};

struct StripMarks {
  std::int64_t ViewStart = 0;  // the waveform view's stretch: ViewCount samples from ViewStart
  std::int64_t ViewCount = 0;
  std::span<const DetectedDecay> Decays;        // of the active lane, in time order
  std::span<const std::int64_t> FlaggedStarts;  // starts of evaluations that raised a warning
};

class RecordStrip {
 public:
  static constexpr int kLabelWidth = 36;  // left of the columns: the lanes' labels
  static constexpr int kRightMargin = 4;
  static constexpr int kMarkerRow = 12;   // the decays' row above the lanes
  static constexpr int kAxisHeight = 16;  // the time axis below them
  static constexpr int kTriangle = 5;     // half-width of a decay's triangle, pixels
  static constexpr int kPickReach = 6;    // pixels from a triangle that still pick its decay

  RecordStrip(int width, int height);

  int Width() const { return width_; }
  int Height() const { return height_; }
  // The record drawn: `count` samples at `rate` samples/s.
  void SetRecord(std::int64_t count, double rate);

  // The pixel columns of the samples: x = kLabelWidth + c, column c holding the
  // samples i with ⌊i·C / count⌋ = c (C columns), as MinMaxSummary::Columns
  // shares them out.
  int Columns() const { return width_ - kLabelWidth - kRightMargin; }
  int XOfSample(std::int64_t sample) const;
  // The first sample of the column under x, clamped to 0 … count − 1.
  std::int64_t SampleAtX(int x) const;
  // The tip of a decay's triangle (its suggested start), the pixel a click
  // picks it by.
  CanvasPoint DecayMarker(const DetectedDecay& decay) const;
  // The decay a click at (x, y) in the decays' row picks: the nearest triangle
  // within reach, else the decay whose span holds x. Nothing below the row.
  std::optional<std::size_t> DecayAt(int x, int y, std::span<const DetectedDecay> decays) const;

  // Draws the whole picture afresh.
  void Draw(Canvas& canvas, std::span<const StripLane> lanes, const StripMarks& marks);

 private:
  void DrawLane(Canvas& canvas, const StripLane& lane, int top, int bottom);
  void DrawAxis(Canvas& canvas);

  int width_;
  int height_;
  std::int64_t count_ = 0;
  double rate_ = 0.0;
  std::vector<MinMax> columns_;  // working storage, sized once per width
};
