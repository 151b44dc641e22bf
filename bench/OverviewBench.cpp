// The record overview at its heaviest: eight channels of 10⁷ samples drawn whole
// into the overview's strip (966 x 172 on the QImage canvas: the columns'
// min/max, the view, 50 decays with their marks, flagged starts, the time axis
// and the lane labels). The strip is redrawn with every redraw of the main
// view, so it has to fit in a frame (16 ms). Beside it, the spectrum of the
// shown stretch that the overview computes on the same occasions.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "analysis/MinMaxSummary.h"
#include "analysis/StretchSpectrum.h"
#include "components/RecordStrip.h"
#include "components/qt/QtCanvas.h"

namespace {

constexpr int kChannels = 8;
constexpr std::int64_t kSamples = 10'000'000;
constexpr double kRate = 1000.0;
constexpr std::int64_t kStrikeEvery = 200'000;  // a decay every 200 s
constexpr int kStripWidth = 966;
constexpr int kStripHeight = 172;

void EnsureGuiApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "oscalyx-bench";
  static char* argv[] = {name, nullptr};
  static QGuiApplication app(argc, argv);
}

// A 2.3 Hz system struck every 200 s, with sensor noise from a fixed
// generator; the channels differ in scale. Built once.
struct EightChannels {
  std::vector<std::vector<float>> channels;
  std::vector<MinMaxSummary> summaries;
  std::vector<DetectedDecay> decays;
  double buildSeconds = 0.0;
};

const EightChannels& Record() {
  static const EightChannels record = [] {
    EightChannels r;
    std::vector<float> x(kSamples);
    std::uint64_t state = 12345;
    const double wn = 2.0 * std::numbers::pi * 2.3;
    for (std::int64_t i = 0; i < kSamples; ++i) {
      state = state * 6364136223846793005ULL + 1442695040888963407ULL;
      const double noise = (static_cast<double>(state >> 11) * 0x1.0p-53 - 0.5) * 0.05;
      const double t = static_cast<double>(i % kStrikeEvery) / kRate;
      x[static_cast<std::size_t>(i)] = static_cast<float>(std::exp(-0.02 * wn * t) * std::cos(wn * t + 0.7) + noise);
    }
    for (int c = 0; c < kChannels; ++c) {
      r.channels.push_back(x);
      for (float& v : r.channels.back()) v *= static_cast<float>(c + 1);
    }
    const auto start = std::chrono::steady_clock::now();
    for (const std::vector<float>& channel : r.channels) r.summaries.emplace_back(channel);
    r.buildSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    for (std::int64_t onset = 0; onset < kSamples; onset += kStrikeEvery) {
      r.decays.push_back({onset, onset + 900, onset + 60'000, 1.0, 2.3, 130.0});
    }
    return r;
  }();
  return record;
}

void BM_OverviewStripRedraw8x10M(benchmark::State& state) {
  EnsureGuiApplication();
  const EightChannels& record = Record();
  std::vector<StripLane> lanes;
  for (int c = 0; c < kChannels; ++c) {
    lanes.push_back({&record.summaries[static_cast<std::size_t>(c)], std::to_string(c + 1) + "ch", c == 2});
  }
  std::vector<std::int64_t> flagged;
  for (std::size_t i = 0; i < record.decays.size(); i += 5) flagged.push_back(record.decays[i].Start);
  StripMarks marks;
  marks.ViewStart = 4'321'000;
  marks.ViewCount = 20'000;
  marks.Decays = record.decays;
  marks.FlaggedStarts = flagged;
  QtCanvas canvas(kStripWidth, kStripHeight);
  RecordStrip strip(kStripWidth, kStripHeight);
  strip.SetRecord(kSamples, kRate);
  for (auto _ : state) {
    strip.Draw(canvas, lanes, marks);
    benchmark::DoNotOptimize(canvas.Bitmap().constBits());
  }
  state.counters["summaries_build_s"] = record.buildSeconds;
}
BENCHMARK(BM_OverviewStripRedraw8x10M)->Unit(benchmark::kMillisecond);

// The spectrum of the shown stretch: range(0) samples of the record (20 s at
// 1000 samples/s, the widest view; 20 s at 51.2 kHz).
void BM_OverviewStretchSpectrum(benchmark::State& state) {
  const EightChannels& record = Record();
  const auto count = static_cast<std::size_t>(state.range(0));
  const std::span<const float> stretch(record.channels[0].data() + 4'321'000, count);
  for (auto _ : state) {
    const Spectrum spectrum = StretchSpectrum(stretch, kRate);
    benchmark::DoNotOptimize(spectrum.Peaks.data());
  }
}
BENCHMARK(BM_OverviewStretchSpectrum)
    ->ArgName("samples")
    ->Arg(5'000)
    ->Arg(20'000)
    ->Arg(1'024'000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
