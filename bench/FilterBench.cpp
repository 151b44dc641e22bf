// Band-pass filter timings: a full record of 8 channels x 100 000 samples at
// 1000 samples/s with the window's filter (999 taps), each instruction-set path
// forced, and the plain reference loop on one channel for comparison; and the
// filter against the least time its arithmetic can take on this machine (see
// FilterBound.h), also on 8 x 10^7 samples when OSCALYX_BENCH_LARGE is set
// (640 MB of memory).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include "analysis/BandPass.h"
#include "bench/FilterBound.h"
#include "io/WaveData.h"

namespace {

constexpr int kBenchChannels = 8;
constexpr int kBenchSamples = 100000;
constexpr int kBenchRate = 1000;
// The centre a load proposes (rate x 0.02) and the default ratio.
constexpr float kBenchCentre = 20.0f;
constexpr float kBenchRatio = 0.1f;

// A decaying 20 Hz vibration with a slower mode, offset and noise per channel.
WaveData MakeBenchRecord(int samples) {
  WaveData r;
  r.ChannelCount = kBenchChannels;
  r.SampleCount = samples;
  r.Rate = kBenchRate;
  r.Dt = 1.0f / kBenchRate;
  std::mt19937 random(2024);
  std::normal_distribution<float> noise(0.0f, 0.02f);
  for (int c = 0; c < kBenchChannels; ++c) {
    auto& x = r.Samples[c];
    x.resize(static_cast<std::size_t>(samples));
    for (int k = 0; k < samples; ++k) {
      const double t = k * 0.001;
      x[k] = static_cast<float>((1.0 + 0.1 * c) * std::exp(-0.05 * t) *
                                    std::cos(2 * std::numbers::pi * 20.3 * t + 0.7 * c) +
                                0.4 * std::sin(2 * std::numbers::pi * 3.1 * t) + 0.25) +
             noise(random);
    }
  }
  return r;
}

const WaveData& BenchRecord() {
  static const WaveData record = MakeBenchRecord(kBenchSamples);
  return record;
}

std::vector<float> BenchTaps() {
  const BandEdges edges = EdgesFromCentre(kBenchCentre, kBenchRatio);
  std::vector<float> h(kFilterHalfLength);
  DesignBandPass(kFilterHalfLength, h.data(), 0.5f * edges.Lower, edges.Lower, edges.Upper,
                 1.5f * edges.Upper, BenchRecord().Dt);
  return h;
}

void SetCounters(benchmark::State& state, int channels) {
  state.counters["samples/s"] = benchmark::Counter(
      static_cast<double>(channels) * kBenchSamples, benchmark::Counter::kIsIterationInvariantRate);
}

// What the window does after a reload: every channel of the record.
void BM_FilterAllChannels(benchmark::State& state) {
  const BandEdges edges = EdgesFromCentre(kBenchCentre, kBenchRatio);
  WaveData record = BenchRecord();
  for (auto _ : state) {
    state.PauseTiming();
    record.Samples = BenchRecord().Samples;  // the reload restores the samples
    state.ResumeTiming();
    const FilterResult result = FilterAllChannels(record, edges.Lower, edges.Upper);
    if (!result.Ok) state.SkipWithError("filter refused");
    benchmark::DoNotOptimize(record.Samples[0].data());
  }
  SetCounters(state, kBenchChannels);
}
BENCHMARK(BM_FilterAllChannels)->Unit(benchmark::kMillisecond)->UseRealTime();

// One path forced: arg 0 = path (0 scalar, 1 SSE2, 2 AVX2, 3 AVX-512), arg 1 = threads
// (0: one per core), arg 2 = rounding (0 auto, 1 convert, 2 split).
void BM_ApplyFirPath(benchmark::State& state) {
  const auto path = static_cast<FirPath>(state.range(0));
  if (!FirPathAvailable(path)) {
    state.SkipWithError("processor lacks this path");
    return;
  }
  const std::vector<float> h = BenchTaps();
  std::vector<std::vector<float>> data(BenchRecord().Samples.begin(),
                                       BenchRecord().Samples.begin() + kBenchChannels);
  std::vector<float*> channels;
  for (auto& x : data) channels.push_back(x.data());
  FirOptions options;
  options.Path = path;
  options.Threads = static_cast<int>(state.range(1));
  constexpr FirRounding kRoundings[] = {FirRounding::Auto, FirRounding::Convert,
                                        FirRounding::Split};
  options.Rounding = kRoundings[state.range(2)];
  for (auto _ : state) {
    state.PauseTiming();
    for (int c = 0; c < kBenchChannels; ++c) data[c] = BenchRecord().Samples[c];
    state.ResumeTiming();
    ApplyFirChannels(kFilterHalfLength, h.data(), channels, kBenchSamples, options);
    benchmark::DoNotOptimize(data[0].data());
  }
  SetCounters(state, kBenchChannels);
}
BENCHMARK(BM_ApplyFirPath)
    ->ArgNames({"path", "threads", "rounding"})
    ->Args({3, 0, 0})
    ->Args({3, 1, 0})
    ->Args({2, 0, 0})
    ->Args({2, 1, 0})
    ->Args({2, 0, 1})
    ->Args({1, 0, 0})
    ->Args({1, 0, 2})
    ->Args({0, 0, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The plain reference loop, one channel, one thread.
void BM_ApplyFirScalarReference(benchmark::State& state) {
  const std::vector<float> h = BenchTaps();
  std::vector<float> x;
  for (auto _ : state) {
    state.PauseTiming();
    x = BenchRecord().Samples[0];
    state.ResumeTiming();
    ApplyFirScalar(kFilterHalfLength, h.data(), x.data(), kBenchSamples);
    benchmark::DoNotOptimize(x.data());
  }
  SetCounters(state, 1);
}
BENCHMARK(BM_ApplyFirScalarReference)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole filter of a record against the bound of its arithmetic, both
// measured in the same iteration, so that the ratio holds whatever else the
// machine is doing: the best of each over the iterations.
void FilterAgainstBound(benchmark::State& state, int samples) {
  const WaveData original = samples == kBenchSamples ? BenchRecord() : MakeBenchRecord(samples);
  const BandEdges edges = EdgesFromCentre(kBenchCentre, kBenchRatio);
  WaveData record = original;
  const double steps = FilterSteps(kBenchChannels, samples);
  double bestFilter = std::numeric_limits<double>::infinity();
  double bestBound = std::numeric_limits<double>::infinity();
  for (auto _ : state) {
    record.Samples = original.Samples;  // the reload restores the samples
    const auto start = std::chrono::steady_clock::now();
    const FilterResult result = FilterAllChannels(record, edges.Lower, edges.Upper);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!result.Ok) state.SkipWithError("filter refused");
    state.SetIterationTime(seconds);
    bestFilter = std::min(bestFilter, seconds);
    bestBound = std::min(bestBound, FilterArithmeticSeconds(steps));
  }
  state.counters["filter_s"] = bestFilter;
  state.counters["bound_s"] = bestBound;
  state.counters["filter/bound"] = bestFilter / bestBound;
  state.counters["steps"] = steps;
}

void BM_FilterVsBound8x100k(benchmark::State& state) { FilterAgainstBound(state, kBenchSamples); }
BENCHMARK(BM_FilterVsBound8x100k)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

constexpr int kLargeSamples = 10000000;

[[maybe_unused]] const bool kLargeRegistered = [] {
  if (std::getenv("OSCALYX_BENCH_LARGE") == nullptr) return false;
  benchmark::RegisterBenchmark("BM_FilterVsBound8x10M",
                               [](benchmark::State& state) { FilterAgainstBound(state, kLargeSamples); })
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime()
      ->Iterations(5);
  return true;
}();

}  // namespace
