// FitModes on 2400 samples (12 s at 200 samples/s) of six damped modes from 3.7 to 19.1 Hz in
// noise, fitting N = 1 … 6 of them: the goal is under 100 ms for every N. Beside it, the flags of
// one evaluation of a 5 s stretch, whose second-mode test runs a two-mode fit.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "analysis/DampedFit.h"
#include "analysis/Flags.h"
#include "analysis/Modes.h"
#include "tests/support/GaussianNoise.h"

namespace {

struct Mode {
  double A, F, H, Phi;
};

std::vector<float> SixModes(int rate, int count) {
  const Mode modes[] = {{2.5, 3.7, 0.02, 0.7},    {1.5, 3.9, 0.03, -1.1}, {1.0, 7.3, 0.01, 2.0},
                        {0.8, 11.2, 0.015, -2.5}, {0.6, 15.5, 0.02, 1.0}, {0.5, 19.1, 0.01, 0.3}};
  GaussianNoise noise(0x2545F4914F6CDD1Dull);
  std::vector<float> x(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const double t = static_cast<double>(i) / rate;
    double v = 0.02 * noise.Next();
    for (const Mode& m : modes) {
      const double wn = 2.0 * M_PI * m.F;
      v += m.A * std::exp(-m.H * wn * t) * std::cos(wn * std::sqrt(1.0 - m.H * m.H) * t + m.Phi);
    }
    x[static_cast<std::size_t>(i)] = static_cast<float>(v);
  }
  return x;
}

void BM_FitModes2400(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const std::vector<float> x = SixModes(200, 2400);
  int iterations = 0;
  for (auto _ : state) {
    const ModesFit fit = FitModes(x, 200, count);
    if (!fit.Ok()) {
      state.SkipWithError("fit failed");
      return;
    }
    iterations = fit.Iterations;
    benchmark::DoNotOptimize(fit.Modes.data());
  }
  state.counters["iterations"] = iterations;
}
BENCHMARK(BM_FitModes2400)->DenseRange(1, 6)->Unit(benchmark::kMillisecond);

void BM_EvaluationFlags(benchmark::State& state) {
  const std::vector<float> x = SixModes(200, 2400);
  const FitEvaluation fit = EvaluateStretch(x, 200, 1.0f / 200, 0, 5.0f, 3.8, 0.03);
  if (!fit.Ok()) {
    state.SkipWithError("evaluation failed");
    return;
  }
  for (auto _ : state) {
    const auto flags = EvaluationFlags(x, 200, 0, 5.0f, fit, std::nullopt, {});
    benchmark::DoNotOptimize(flags.data());
  }
}
BENCHMARK(BM_EvaluationFlags)->Unit(benchmark::kMillisecond);

}  // namespace
