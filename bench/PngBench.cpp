// PNG encoding of a picture the size of the waveform view (753 x 401): light
// background, grid, axes and two decaying traces, as a save of the view sees
// it. Goal: under 10 ms per picture.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "components/qt/QtCanvas.h"
#include "image/PngObject.h"

namespace {

constexpr int kViewWidth = 753;
constexpr int kViewHeight = 401;

RgbImage ViewPicture() {
  QtCanvas canvas(kViewWidth, kViewHeight);
  canvas.SetBrushColor({247, 255, 255});  // the view's background
  canvas.FillRect(0, 0, kViewWidth, kViewHeight);
  const int strips[] = {100, 300};
  for (const int originY : strips) {
    canvas.SetPenColor({0, 0, 0});
    canvas.SetPenWidth(2);
    canvas.MoveTo(80, originY);
    canvas.LineTo(680, originY);
    canvas.MoveTo(80, originY - 80);
    canvas.LineTo(80, originY + 80);
    canvas.SetPenWidth(1);
    for (int x = 80; x <= 680; x += 24) {
      canvas.MoveTo(x, originY - 3);
      canvas.LineTo(x, originY + 4);
    }
    canvas.SetPenColor({255, 0, 0});
    canvas.SetPenWidth(2);
    canvas.MoveTo(80, originY);
    for (int i = 1; i <= 600; ++i) {
      const double t = i / 600.0;
      const double v = std::exp(-2.3 * t) * std::cos(2 * M_PI * 7.3 * t + 0.7);
      canvas.LineTo(80 + i, originY - static_cast<int>(75 * v));
    }
  }
  return canvas.Image();
}

void BM_PngEncodeView(benchmark::State& state) {
  const RgbImage picture = ViewPicture();
  std::vector<std::uint8_t> out;
  out.reserve(64 * 1024);
  for (auto _ : state) {
    TPNGObject png;
    png.Assign(picture);
    out.clear();
    const PngResult result = png.SaveToStream(out);
    if (!result.ok) state.SkipWithError(result.message.c_str());
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["bytes"] = static_cast<double>(out.size());
}
BENCHMARK(BM_PngEncodeView)->Unit(benchmark::kMillisecond);

}  // namespace
