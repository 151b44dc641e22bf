#include "components/SpectrumGraph.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "components/Markers.h"
#include "io/NumberText.h"

namespace {

constexpr double kRoomPastPeaks = 1.25;  // the full scale reaches this far past the highest peak
constexpr int kDecades = 4;
constexpr int kFrequencyGrids = 5;
constexpr int kPickReach = 8;       // pixels in x from a peak that still pick it
constexpr int kLabelledPeaks = 3;   // the strongest peaks get their frequency written

constexpr Rgb kCurve{0, 0, 160};
constexpr Rgb kPeakPen{220, 0, 0};
constexpr Rgb kPeakFill{255, 120, 80};
constexpr Rgb kWhite{255, 255, 255};

// Margins of the plot area inside the picture: room for the tick labels
// on the left and below, the axis titles above and below.
constexpr int kLeft = 48;
constexpr int kRight = 16;
constexpr int kTop = 28;
constexpr int kBottom = 38;

std::size_t ShownBins(const Spectrum& spectrum, double fullScale) {
  if (!(spectrum.Resolution > 0.0)) return 0;
  const auto last = static_cast<std::size_t>(std::floor(fullScale / spectrum.Resolution));
  return std::min(spectrum.Amplitude.size(), last + 1);
}

}  // namespace

double SpectrumFullScaleHz(const Spectrum& spectrum) {
  const double nyquist =
      spectrum.Amplitude.empty() ? 0.0 : static_cast<double>(spectrum.Amplitude.size() - 1) * spectrum.Resolution;
  double highest = 0.0;
  for (const SpectrumPeak& peak : spectrum.Peaks) highest = std::max(highest, peak.F);
  return highest > 0.0 ? std::min(nyquist, kRoomPastPeaks * highest) : nyquist;
}

void DrawSpectrumGraph(TMyGraph& graph, const Spectrum& spectrum, Rgb background) {
  graph.OriginX = kLeft;
  graph.OriginY = graph.Height() - kBottom;
  graph.WidthX = graph.Width() - kLeft - kRight;
  graph.HeightY = graph.Height() - kTop - kBottom;
  graph.NGridX = kFrequencyGrids;
  graph.NGridY = kDecades;
  graph.SubX = 2;
  graph.LinearX = true;
  graph.LinearY = false;
  graph.TitleX = "振動数 [Hz]";
  graph.TitleY = "振幅";
  const bool drawn = spectrum.Ok() && spectrum.Amplitude.size() > 1 && spectrum.Resolution > 0.0;
  const double fullScale = drawn ? SpectrumFullScaleHz(spectrum) : 0.0;
  const std::size_t bins = drawn ? ShownBins(spectrum, fullScale) : 0;
  std::vector<float> fs(bins);
  std::vector<float> amplitudes(bins);
  float top = 0.0f;
  for (std::size_t k = 0; k < bins; ++k) {
    fs[k] = static_cast<float>(static_cast<double>(k) * spectrum.Resolution);
    amplitudes[k] = static_cast<float>(spectrum.Amplitude[k]);
    if (std::isfinite(amplitudes[k])) top = std::max(top, amplitudes[k]);
  }
  // Interpolated peaks may stand a little above the highest bin.
  for (const SpectrumPeak& peak : spectrum.Peaks) {
    if (bins > 0 && peak.F <= fullScale && std::isfinite(peak.Amplitude)) {
      top = std::max(top, static_cast<float>(peak.Amplitude));
    }
  }
  if (bins > 0 && top > 0.0f) {
    const float scale = static_cast<float>(fullScale);
    graph.XScaleUnit(1, &scale);
    graph.YScaleUnit(1, &top);
  } else {
    graph.SValueX = 0.0f;
    graph.VValueX = 1.0f;
    graph.SValueY = 1e-4f;
    graph.VValueY = 10.0f;
  }
  graph.Clear(background);
  graph.DrawWaku();
  if (bins == 0 || !(top > 0.0f)) return;
  // Nothing is clipped by the graph: bins under the bottom decade sit on it.
  for (float& a : amplitudes) a = std::isfinite(a) ? std::max(a, graph.SValueY) : graph.SValueY;
  Canvas& canvas = graph.GetCanvas();
  canvas.SetPenColor(kCurve);
  canvas.SetPenWidth(1);
  graph.DrawGraph(static_cast<int>(bins), fs.data(), amplitudes.data());
  canvas.SetPenColor(kPeakPen);
  canvas.SetBrushColor(kPeakFill);
  for (std::size_t i = 0; i < spectrum.Peaks.size(); ++i) {
    const std::optional<CanvasPoint> at = SpectrumPeakPixel(graph, spectrum, i);
    if (!at) continue;
    const float f = static_cast<float>(spectrum.Peaks[i].F);
    const float a = std::max(static_cast<float>(spectrum.Peaks[i].Amplitude), graph.SValueY);
    graph.PlotGraph(1, &f, &a, kMarkerTriangle, kPeakMarkerRadius);
    if (static_cast<int>(i) >= kLabelledPeaks) continue;
    const double hz = spectrum.Peaks[i].F;
    const int decimals = std::clamp(3 - static_cast<int>(std::floor(std::log10(std::max(hz, 1e-3)))), 0, 4);
    const std::string label = FormatFixed(hz, decimals);
    canvas.SetBrushColor(kWhite);
    const int textX = std::min(at->x + kPeakMarkerRadius + 2, graph.Width() - canvas.TextWidth(label) - 1);
    canvas.TextOut(textX, std::max(at->y - canvas.TextHeight(label), 0), label);
    canvas.SetBrushColor(kPeakFill);
  }
  canvas.SetPenColor({0, 0, 0});
  canvas.SetBrushColor(kWhite);
}

std::optional<CanvasPoint> SpectrumPeakPixel(const TMyGraph& graph, const Spectrum& spectrum, std::size_t peak) {
  if (peak >= spectrum.Peaks.size()) return std::nullopt;
  const SpectrumPeak& p = spectrum.Peaks[peak];
  int x = 0;
  int y = 0;
  const float a = std::max(static_cast<float>(p.Amplitude), graph.SValueY);
  if (!graph.MapPoint(static_cast<float>(p.F), a, x, y)) return std::nullopt;
  if (x < graph.OriginX || x > graph.OriginX + graph.WidthX) return std::nullopt;
  return CanvasPoint{x, y};
}

std::optional<std::size_t> SpectrumPeakAt(const TMyGraph& graph, const Spectrum& spectrum, int x, int y) {
  std::optional<std::size_t> best;
  int bestX = kPickReach + 1;
  int bestY = 0;
  for (std::size_t i = 0; i < spectrum.Peaks.size(); ++i) {
    const std::optional<CanvasPoint> at = SpectrumPeakPixel(graph, spectrum, i);
    if (!at) continue;
    const int dx = std::abs(at->x - x);
    const int dy = std::abs(at->y - y);
    if (dx < bestX || (dx == bestX && best && dy < bestY)) {
      best = i;
      bestX = dx;
      bestY = dy;
    }
  }
  return best;
}
