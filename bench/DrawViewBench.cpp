// Redraw of the waveform view at its heaviest: 8 channels, 20 s at 1000
// samples/s (20 000 samples a strip) into the window's 753 x 401 picture on the
// QImage canvas, text included. A redraw runs on every slider step, so it has
// to fit in a frame (16 ms).
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <random>

#include "components/DrawView.h"
#include "components/MyWave.h"
#include "components/qt/QtCanvas.h"
#include "io/WaveData.h"

namespace {

constexpr int kViewChannels = 8;
constexpr int kViewRate = 1000;
constexpr int kViewSeconds = 20;
constexpr int kViewSamples = kViewRate * kViewSeconds + 5000;
constexpr int kPlotWidth = 753;
constexpr int kPlotHeight = 401;

// Text on the canvas needs a GUI application; the benchmarks run headless.
void EnsureGuiApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "oscalyx-bench";
  static char* argv[] = {name, nullptr};
  static QGuiApplication app(argc, argv);
}

// Decaying vibrations with noise, a different mix per channel.
const WaveData& ViewRecord() {
  static const WaveData record = [] {
    WaveData r;
    r.ChannelCount = kViewChannels;
    r.SampleCount = kViewSamples;
    r.Rate = kViewRate;
    r.Dt = 1.0f / kViewRate;
    CopyToSlot("bench.csv", r.FileName);
    std::mt19937 random(77);
    std::normal_distribution<float> noise(0.0f, 0.05f);
    for (int c = 0; c < kViewChannels; ++c) {
      CopyToSlot("CH" + std::to_string(c + 1), r.Names[c]);
      CopyToSlot("cm/s2", r.Units[c]);
      auto& x = r.Samples[c];
      x.resize(kViewSamples);
      for (int k = 0; k < kViewSamples; ++k) {
        const double t = k / static_cast<double>(kViewRate);
        x[k] = static_cast<float>((1.0 + 0.2 * c) * std::exp(-0.04 * t) *
                                  std::cos(2 * std::numbers::pi * (2.3 + c) * t + 0.7)) +
               noise(random);
      }
    }
    return r;
  }();
  return record;
}

ViewWindow TwentySecondView() {
  ViewWindow view;
  view.Divisions = 20;
  view.SecondsPerDivision = 1.0f;
  view.WidthSeconds = 20.0f;
  view.Start = 1234;
  for (int c = 0; c < kViewChannels; ++c) view.Channels[c] = true;
  return view;
}

// range(0): 1 leaves out segments already drawn in their pixel column (what
// the window does), 0 draws every segment, for comparison.
void BM_DrawViewEightChannelsTwentySeconds(benchmark::State& state) {
  EnsureGuiApplication();
  const WaveData& record = ViewRecord();
  TMyWave wave(std::make_unique<QtCanvas>(kPlotWidth, kPlotHeight));
  ViewWindow view = TwentySecondView();
  const std::optional<BandEdges> bandPass = BandEdges{18.0f, 22.0f};
  const bool skipRepeats = state.range(0) != 0;
  for (auto _ : state) {
    const DrawViewResult result = DrawView(wave, record, view, bandPass, true, skipRepeats);
    benchmark::DoNotOptimize(result);
  }
  state.counters["segments/s"] = benchmark::Counter(
      static_cast<double>(kViewChannels) * (kViewRate * kViewSeconds - 1),
      benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_DrawViewEightChannelsTwentySeconds)->ArgName("skipRepeats")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace
