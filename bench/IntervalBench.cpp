// The cost of the 95 % intervals per evaluation, beside the fit itself: the
// evaluation interval of a decay over its own ambient response (100 points,
// 5 s at 100/s) and the signature interval of a 30-minute ambient record
// (about 2000 triggers). The goal is at most 30 ms each.
#include <benchmark/benchmark.h>

#include "analysis/FitInterval.h"
#include "analysis/SignatureInterval.h"
#include "tests/support/TrustCaseList.h"

namespace {

void BM_EvaluationInterval(benchmark::State& state) {
  const TrustRecord r = AmbientDecayCase().Make(0x2545F4914F6CDD1Dull);
  const FitEvaluation fit = EvaluateStretch(r.Samples, r.Rate, 1.0f / r.Rate, r.Start, r.Width, r.F0, r.H0);
  if (!fit.Ok()) {
    state.SkipWithError("evaluation failed");
    return;
  }
  for (auto _ : state) {
    std::optional<FitInterval> interval = EvaluationInterval(fit);
    benchmark::DoNotOptimize(interval);
  }
}
BENCHMARK(BM_EvaluationInterval)->Unit(benchmark::kMillisecond);

void BM_SignatureInterval(benchmark::State& state) {
  const TrustRecord r = SignatureMdofCase().Make(0x2545F4914F6CDD1Dull);
  const RandomDecrementSignature rd = RandomDecrement(r.Samples, r.Rate, r.Level, r.Width);
  const FitEvaluation fit = EvaluateStretch(rd.Values, r.Rate, 1.0f / r.Rate, 0, r.Width, r.F0, r.H0);
  if (!rd.Ok() || !fit.Ok()) {
    state.SkipWithError("signature or its evaluation failed");
    return;
  }
  for (auto _ : state) {
    std::optional<FitInterval> interval = SignatureInterval(r.Samples, rd, fit);
    benchmark::DoNotOptimize(interval);
  }
  state.counters["triggers"] = static_cast<double>(rd.Triggers);
}
BENCHMARK(BM_SignatureInterval)->Unit(benchmark::kMillisecond);

}  // namespace
