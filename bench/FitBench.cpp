// One evaluation of a stretch like the shipped sample's: a free decay at
// 1.96 Hz with h = 0.025 and amplitude 40 in noise of 0.25, 100 samples/s,
// 5 s wide (500 samples, 100 fit points, 500 curve values). The pass count is
// reported beside the time; the window must answer in well under 50 ms.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "analysis/DampedFit.h"
#include "analysis/Least.h"

namespace {

std::vector<float> SampleLikeDecay(int rate, int count) {
  std::vector<float> samples(static_cast<std::size_t>(count));
  const double wn = 2.0 * M_PI * 1.96;
  const double h = 0.025;
  std::uint64_t state = 0x2545F4914F6CDD1Dull;
  auto uniform = [&state] {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return ((state >> 11) + 0.5) / 9007199254740992.0;
  };
  for (int i = 0; i < count; ++i) {
    const double t = static_cast<double>(i) / rate;
    const double noise = 0.25 * std::sqrt(-2.0 * std::log(uniform())) * std::cos(2.0 * M_PI * uniform());
    samples[static_cast<std::size_t>(i)] =
        static_cast<float>(40.0 * std::exp(-h * wn * t) * std::cos(wn * std::sqrt(1.0 - h * h) * t + 0.4) + noise);
  }
  return samples;
}

void BM_EvaluateStretch(benchmark::State& state) {
  const std::vector<float> samples = SampleLikeDecay(100, 1000);
  int passes = 0;
  for (auto _ : state) {
    FitEvaluation fit = EvaluateStretch(samples, 100, 1.0f / 100, 0, 5.0f, 2.0, 0.03);
    if (!fit.Ok()) {
      state.SkipWithError("evaluation failed");
      return;
    }
    passes = fit.Result.Passes;
    benchmark::DoNotOptimize(fit.Curve.data());
  }
  state.counters["passes"] = passes;
  state.SetLabel("sample-like decay, 5 s at 100/s");
}
BENCHMARK(BM_EvaluateStretch)->Unit(benchmark::kMillisecond);

// One 100 × 4 solve, the cost that every pass pays once.
void BM_Lleast100x4(benchmark::State& state) {
  std::vector<float> matrix(400);
  std::vector<float> rhs(100);
  for (int i = 0; i < 100; ++i) {
    const double t = i * 0.05;
    matrix[i * 4 + 0] = static_cast<float>(std::exp(-0.3 * t) * std::cos(3.7 * t));
    matrix[i * 4 + 1] = static_cast<float>(std::sin(1.3 * t) + 0.2);
    matrix[i * 4 + 2] = static_cast<float>(t - 2.4);
    matrix[i * 4 + 3] = static_cast<float>(std::cos(0.45 * t * t));
    rhs[i] = static_cast<float>(std::sin(0.7 * t));
  }
  LeastWork work;
  std::vector<float> a(400);
  std::vector<float> b(100);
  for (auto _ : state) {
    a = matrix;
    b = rhs;
    benchmark::DoNotOptimize(lleast(a.data(), 4, 100, 4, b.data(), 1e-6f, work));
    benchmark::DoNotOptimize(b.data());
  }
}
BENCHMARK(BM_Lleast100x4)->Unit(benchmark::kMicrosecond);

}  // namespace
