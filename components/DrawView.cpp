#include "components/DrawView.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "components/MyMath.h"
#include "io/NumberText.h"
#include "io/ShiftJisText.h"

namespace {

constexpr Rgb kScalePen{0, 0, 0};
constexpr Rgb kTracePen{255, 0, 0};
constexpr int kTracePenWidth = 2;
// Every width of the view spans 600 pixels from x = 80.
constexpr int kAxisLeft = 80;
constexpr int kAxisLength = 600;
// Strip height S = (H + kStripMargin) / (strips + 1); origins at (s + 1) * S - kOriginLift.
constexpr int kStripMargin = 40;
constexpr int kOriginLift = 20;
constexpr double kHalfHeightShare = 0.38;
constexpr int kMinimumStrips = 2;
constexpr int kHeaderY = 10;
constexpr int kFileNameX = 200;
constexpr int kDataRangeX = 400;
constexpr int kBandPassX = 520;
constexpr const char* kSpc51Unit = "μkine";

}  // namespace

float NiceFullScale(int n, const float* values) {
  const float peak = MaxAbs(n, values);
  // The decade factor is held in single precision, so each decade lies just
  // below its decimal value (0.99999994 for 10^0). The loop ends at the latest
  // when the factor overflows to infinity; MaxAbs never gives NaN.
  float decade = 0.000001f;
  for (;;) {
    for (const int factor : {1, 2, 5}) {
      const double candidate = factor * static_cast<double>(decade);
      if (candidate >= peak) return static_cast<float>(candidate);
    }
    decade = static_cast<float>(decade * 10.0);
  }
}

DrawViewResult DrawView(TMyWave& wave, const WaveData& record, const ViewWindow& view,
                        const std::optional<BandEdges>& band, bool startIsNumber, bool skipRepeats) {
  Canvas& canvas = wave.GetCanvas();
  DrawViewResult result;
  const int channelCount = std::clamp(record.ChannelCount, 0, kMaxChannels);
  int checked = 0;
  for (int c = 0; c < channelCount; ++c) checked += view.Channels[c] ? 1 : 0;
  result.CheckedCount = checked;
  if (checked == 0) {
    wave.Clear(view.PlotBackground);
    result.LastFrame = wave.Frame();
    return result;
  }

  const int height = wave.Height();
  const int strips = std::max(checked, kMinimumStrips);
  const int stripHeight = (height + kStripMargin) / (strips + 1);
  const int divisions = std::max(view.Divisions, 1);
  wave.OriginX = kAxisLeft;
  wave.UnitLenY = static_cast<int>(stripHeight * kHalfHeightShare);
  wave.NGridX = divisions;
  wave.UnitLenX = kAxisLength / divisions;
  wave.NGridY = 1;
  wave.SubY = 0;
  wave.VValueX = view.SecondsPerDivision;

  wave.Clear(view.PlotBackground);
  canvas.TextOut(kFileNameX, kHeaderY, std::string(SlotText(record.FileName)));
  if (!startIsNumber) {
    result.Completed = false;
    result.LastFrame = wave.Frame();
    return result;
  }

  const int sampleCount = std::max(record.SampleCount, 0);
  const int start = std::clamp(view.Start, 0, sampleCount);
  // A window reaching past the record ends at its last sample.
  const long long wanted = WindowSamples(record.Rate, view.WidthSeconds);
  const int end = static_cast<int>(std::min<long long>(start + wanted, sampleCount));
  const int n = end - start;
  std::vector<float> buffer(static_cast<std::size_t>(n), 0.0f);
  const float dt = record.Rate > 0 ? 1.0f / static_cast<float>(record.Rate) : 0.0f;

  // Traces are drawn in copy mode, where a segment drawn twice leaves the
  // picture as once drawn.
  canvas.SetPenMode(PenMode::Copy);
  const bool callerSkips = wave.SkipRepeatedSegments;
  wave.SkipRepeatedSegments = skipRepeats;
  int strip = 0;
  for (int c = 0; c < channelCount; ++c) {
    if (!view.Channels[c]) continue;
    if (checked == 1) {
      wave.OriginY = height / 2;
      wave.UnitLenY = height / 3;
    } else {
      wave.OriginY = (strip + 1) * stripHeight - kOriginLift;
    }
    // Shown in UTF-8: an SPC-51 name is Shift-JIS whatever its bytes look like.
    wave.Title = DisplayRecordText(record.SourceKind, SlotText(record.Names[c]));
    wave.UnitY = record.SourceKind == FileKind::Spc51 ? std::string(kSpc51Unit)
                                                      : std::string(SlotText(record.Units[c]));
    // An array shorter than the record claims leaves the rest of the strip at 0.
    const std::vector<float>& samples = record.Samples[c];
    const std::size_t stored = samples.size();
    const int available =
        stored > static_cast<std::size_t>(start)
            ? static_cast<int>(std::min<std::size_t>(stored - start, static_cast<std::size_t>(n)))
            : 0;
    std::copy_n(samples.data() + (available > 0 ? start : 0), available, buffer.begin());
    std::fill(buffer.begin() + available, buffer.end(), 0.0f);

    wave.VValueY = NiceFullScale(n, buffer.data());
    canvas.SetPenColor(kScalePen);
    wave.DrawScale();
    canvas.SetPenColor(kTracePen);
    canvas.SetPenWidth(kTracePenWidth);
    wave.DrawWave1(n, buffer.data(), dt);
    ++strip;
  }
  wave.SkipRepeatedSegments = callerSkips;

  canvas.TextOut(kDataRangeX, kHeaderY, FormatC("data : %d - %d", start, end));
  if (band) {
    canvas.TextOut(kBandPassX, kHeaderY,
                   FormatC("BandPass %.2fHz - %.2fHz", static_cast<double>(band->Lower),
                           static_cast<double>(band->Upper)));
  }

  result.Start = start;
  result.End = end;
  result.LastFrame = wave.Frame();
  return result;
}
