#include "components/RecordStrip.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace {

constexpr Rgb kBackground{255, 255, 255};
constexpr Rgb kActiveLane{255, 253, 232};
constexpr Rgb kLaneRule{210, 210, 210};
constexpr Rgb kViewShade{196, 220, 255};
constexpr Rgb kViewEdge{40, 90, 220};
constexpr Rgb kTrace{0, 0, 128};
constexpr Rgb kOtherTrace{90, 110, 140};
constexpr Rgb kDecaySpan{255, 214, 160};
constexpr Rgb kDecayShade{255, 240, 222};
constexpr Rgb kDecayMark{214, 72, 0};
constexpr Rgb kWarning{255, 196, 0};
constexpr Rgb kBlack{0, 0, 0};

constexpr int kViewMinWidth = 2;  // pixels: the view's stretch stays visible on the longest record
constexpr int kWarningSize = 7;   // height of a flagged evaluation's mark
constexpr int kTickLength = 4;
constexpr int kMostTicks = 8;  // labels on the time axis at most

// The seconds between ticks: 1, 2 or 5 times a power of ten, at most
// kMostTicks labels over `seconds`.
double TickStep(double seconds) {
  const double rough = seconds / kMostTicks;
  const double decade = std::pow(10.0, std::floor(std::log10(rough)));
  for (const double m : {1.0, 2.0, 5.0, 10.0}) {
    if (m * decade >= rough) return m * decade;
  }
  return 10.0 * decade;
}

std::string SecondsText(double seconds) {
  char text[32];
  const auto written = std::to_chars(text, text + sizeof text, seconds, std::chars_format::general, 6);
  return std::string(text, written.ptr) + "s";
}

}  // namespace

RecordStrip::RecordStrip(int width, int height)
    : width_(width), height_(height), columns_(static_cast<std::size_t>(std::max(Columns(), 0))) {}

void RecordStrip::SetRecord(std::int64_t count, double rate) {
  count_ = std::max<std::int64_t>(count, 0);
  rate_ = rate;
}

int RecordStrip::XOfSample(std::int64_t sample) const {
  if (count_ <= 0) return kLabelWidth;
  const std::int64_t clamped = std::clamp<std::int64_t>(sample, 0, count_);
  const auto column = static_cast<std::int64_t>(static_cast<__int128>(clamped) * Columns() / count_);
  return kLabelWidth + static_cast<int>(column);
}

std::int64_t RecordStrip::SampleAtX(int x) const {
  if (count_ <= 0) return 0;
  const std::int64_t column = std::clamp(x - kLabelWidth, 0, Columns() - 1);
  // The first i with i·C ≥ column·count.
  const auto first = static_cast<std::int64_t>((static_cast<__int128>(column) * count_ + Columns() - 1) / Columns());
  return std::min(first, count_ - 1);
}

CanvasPoint RecordStrip::DecayMarker(const DetectedDecay& decay) const {
  return {XOfSample(decay.Start), kMarkerRow - 2};
}

std::optional<std::size_t> RecordStrip::DecayAt(int x, int y, std::span<const DetectedDecay> decays) const {
  if (y < 0 || y >= kMarkerRow) return std::nullopt;
  std::optional<std::size_t> nearest;
  int nearestDistance = kPickReach + 1;
  for (std::size_t i = 0; i < decays.size(); ++i) {
    const int distance = std::abs(XOfSample(decays[i].Start) - x);
    if (distance < nearestDistance) {
      nearest = i;
      nearestDistance = distance;
    }
  }
  if (nearest) return nearest;
  for (std::size_t i = 0; i < decays.size(); ++i) {
    if (XOfSample(decays[i].Onset) <= x && x <= XOfSample(decays[i].End)) return i;
  }
  return std::nullopt;
}

void RecordStrip::Draw(Canvas& canvas, std::span<const StripLane> lanes, const StripMarks& marks) {
  canvas.SetPenMode(PenMode::Copy);
  canvas.SetPenStyle(PenStyle::Solid);
  canvas.SetPenWidth(1);
  canvas.SetBrushColor(kBackground);
  canvas.FillRect(0, 0, width_, height_);
  const int lanesTop = kMarkerRow;
  const int lanesBottom = height_ - kAxisHeight;
  const int laneCount = std::max<int>(static_cast<int>(lanes.size()), 1);
  const int laneHeight = std::max((lanesBottom - lanesTop) / laneCount, 1);
  auto laneTop = [&](int k) { return lanesTop + k * laneHeight; };

  // Behind the traces: the active lane, the decays' spans in it, the view.
  for (int k = 0; k < static_cast<int>(lanes.size()); ++k) {
    if (!lanes[static_cast<std::size_t>(k)].Active) continue;
    canvas.SetBrushColor(kActiveLane);
    canvas.FillRect(kLabelWidth, laneTop(k), kLabelWidth + Columns(), laneTop(k) + laneHeight);
    canvas.SetBrushColor(kDecayShade);
    for (const DetectedDecay& decay : marks.Decays) {
      canvas.FillRect(XOfSample(decay.Onset), laneTop(k), XOfSample(decay.End) + 1, laneTop(k) + laneHeight);
    }
  }
  const int viewLeft = XOfSample(marks.ViewStart);
  const int viewRight = std::max(XOfSample(marks.ViewStart + marks.ViewCount), viewLeft + kViewMinWidth);
  if (count_ > 0) {
    canvas.SetBrushColor(kViewShade);
    canvas.FillRect(viewLeft, lanesTop, viewRight, lanesBottom);
  }

  for (int k = 0; k < static_cast<int>(lanes.size()); ++k) {
    const int top = laneTop(k);
    canvas.SetBrushColor(kLaneRule);
    canvas.FillRect(kLabelWidth, top + laneHeight - 1, kLabelWidth + Columns(), top + laneHeight);
    DrawLane(canvas, lanes[static_cast<std::size_t>(k)], top, top + laneHeight - 1);
    canvas.SetBrushColor(lanes[static_cast<std::size_t>(k)].Active ? kActiveLane : kBackground);
    canvas.TextOut(2, top + 1, lanes[static_cast<std::size_t>(k)].Label);
  }

  if (count_ > 0) {
    canvas.SetBrushColor(kViewEdge);
    canvas.FillRect(viewLeft, lanesTop, viewLeft + 1, lanesBottom);
    canvas.FillRect(viewRight - 1, lanesTop, viewRight, lanesBottom);
  }

  // The decays' row: spans and the triangles at their suggested starts.
  for (const DetectedDecay& decay : marks.Decays) {
    canvas.SetBrushColor(kDecaySpan);
    canvas.FillRect(XOfSample(decay.Onset), 3, XOfSample(decay.End) + 1, kMarkerRow - 3);
  }
  canvas.SetPenColor(kDecayMark);
  canvas.SetBrushColor(kDecayMark);
  for (const DetectedDecay& decay : marks.Decays) {
    const CanvasPoint tip = DecayMarker(decay);
    canvas.Polygon({{tip.x - kTriangle, tip.y - kTriangle}, {tip.x + kTriangle, tip.y - kTriangle}, tip});
  }

  // A flagged evaluation's start: a warning triangle on the active lane's floor.
  for (int k = 0; k < static_cast<int>(lanes.size()); ++k) {
    if (!lanes[static_cast<std::size_t>(k)].Active) continue;
    const int floor = laneTop(k) + laneHeight - 2;
    canvas.SetPenColor(kBlack);
    canvas.SetBrushColor(kWarning);
    for (const std::int64_t start : marks.FlaggedStarts) {
      const int x = XOfSample(start);
      canvas.Polygon({{x, floor - kWarningSize}, {x - kWarningSize / 2 - 1, floor}, {x + kWarningSize / 2 + 1, floor}});
    }
  }
  DrawAxis(canvas);
}

void RecordStrip::DrawLane(Canvas& canvas, const StripLane& lane, int top, int bottom) {
  if (lane.Summary == nullptr || count_ <= 0 || columns_.empty() || bottom - top < 3) return;
  const auto count =
      static_cast<std::size_t>(std::min<std::int64_t>(count_, static_cast<std::int64_t>(lane.Summary->Size())));
  if (count == 0) return;
  const MinMax whole = lane.Summary->Range(0, count);
  if (whole.Empty()) return;
  // The lane's full scale: the channel's own extremes, a flat channel in the middle.
  const double middle = 0.5 * (static_cast<double>(whole.Min) + whole.Max);
  const double span = std::max(static_cast<double>(whole.Max) - whole.Min, 1e-30);
  const int inner = bottom - top - 2;
  auto pixel = [&](double value) {
    const double y = top + 1 + (0.5 - (value - middle) / span) * inner;
    return static_cast<int>(std::clamp(y, static_cast<double>(top + 1), static_cast<double>(bottom - 1)));
  };
  lane.Summary->Columns(0, count, columns_);
  canvas.SetBrushColor(lane.Active ? kTrace : kOtherTrace);
  int previousTop = -1;
  int previousBottom = -1;
  for (std::size_t c = 0; c < columns_.size(); ++c) {
    MinMax m = columns_[c];
    if (m.Empty()) {
      // A column between two samples of a short record: the samples on
      // either side, so that the trace stays joined.
      const std::size_t next = static_cast<std::size_t>(SampleAtX(kLabelWidth + static_cast<int>(c)));
      m = lane.Summary->Range(next == 0 ? 0 : next - 1, 2);
      if (m.Empty()) continue;
    }
    int high = pixel(m.Max);
    int low = pixel(m.Min);
    // Joined to the column before it, so that a steep stretch is one stroke.
    if (previousTop >= 0) {
      high = std::min(high, previousBottom);
      low = std::max(low, previousTop);
    }
    const int x = kLabelWidth + static_cast<int>(c);
    canvas.FillRect(x, high, x + 1, low + 1);
    previousTop = pixel(m.Max);
    previousBottom = pixel(m.Min);
  }
}

void RecordStrip::DrawAxis(Canvas& canvas) {
  const int axisY = height_ - kAxisHeight;
  canvas.SetBrushColor(kBlack);
  canvas.FillRect(kLabelWidth, axisY, kLabelWidth + Columns(), axisY + 1);
  if (count_ <= 0 || !(rate_ > 0.0)) return;
  const double seconds = static_cast<double>(count_) / rate_;
  const double step = TickStep(seconds);
  canvas.SetBrushColor(kBackground);
  for (int i = 0; i * step <= seconds; ++i) {
    const double t = i * step;
    const int x = XOfSample(static_cast<std::int64_t>(std::llround(t * rate_)));
    canvas.SetBrushColor(kBlack);
    canvas.FillRect(x, axisY, x + 1, axisY + kTickLength);
    const std::string label = SecondsText(t);
    const int left = std::clamp(x - canvas.TextWidth(label) / 2, 0, width_ - canvas.TextWidth(label));
    canvas.SetBrushColor(kBackground);
    canvas.TextOut(left, axisY + kTickLength, label);
  }
}
