#include "bench/FilterBound.h"

#include <immintrin.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "analysis/BandPass.h"
#include "analysis/BandPassKernels.h"

namespace {

// Independent chains per thread: more than cover a step's latency (four
// dependent operations of three or four cycles), as in the filter's kernels.
constexpr int kChains = 12;
// Steps per chain between two looks at the clock-free loop counter: one tap
// loop of the window's filter.
constexpr int kStepsPerRound = kFilterHalfLength - 1;

#define OSCALYX_AVX512 __attribute__((target("avx512f")))
#define OSCALYX_AVX2 __attribute__((target("avx2,fma")))

// One step in every chain: s = a + b (as a x 1 + b, as the kernels do it),
// p = s h, t = p + acc, then acc = t rounded to single precision by the split.
// a is the tap, which changes every step, so that nothing can be hoisted.
#define OSCALYX_FILTER_CHAINS(Vec, Set, Fma, Add, Sub, Mul, First)         \
  Vec acc[kChains];                                                         \
  Vec b[kChains];                                                           \
  for (int u = 0; u < kChains; ++u) {                                       \
    acc[u] = Set(0.25 + u * 1e-3);                                          \
    b[u] = Set(0.5 - u * 1e-3);                                             \
  }                                                                         \
  const Vec one = Set(1.0);                                                 \
  const Vec split = Set(kSplitFactor);                                      \
  double taps[kStepsPerRound];                                              \
  for (int j = 0; j < kStepsPerRound; ++j) taps[j] = 1e-3 / (j + 1);        \
  for (long long r = 0; r < rounds; ++r) {                                  \
    for (int j = 0; j < kStepsPerRound; ++j) {                              \
      const Vec h = Set(taps[j]);                                           \
      _Pragma("GCC unroll 16") for (int u = 0; u < kChains; ++u) {          \
        const Vec s = Fma(h, one, b[u]);                                    \
        const Vec t = Add(Mul(s, h), acc[u]);                               \
        const Vec c = Mul(t, split);                                        \
        acc[u] = Sub(c, Sub(c, t));                                         \
      }                                                                     \
    }                                                                       \
  }                                                                         \
  double sum = 0.0;                                                         \
  for (int u = 0; u < kChains; ++u) sum += First(acc[u]);                   \
  return sum;

constexpr int kAvx512Lanes = 8;
constexpr int kAvx2Lanes = 4;

OSCALYX_AVX512 __attribute__((noinline)) double RunAvx512(long long rounds) {
  OSCALYX_FILTER_CHAINS(__m512d, _mm512_set1_pd, _mm512_fmadd_pd, _mm512_add_pd, _mm512_sub_pd, _mm512_mul_pd,
                        _mm512_cvtsd_f64)
}

OSCALYX_AVX2 __attribute__((noinline)) double RunAvx2(long long rounds) {
  OSCALYX_FILTER_CHAINS(__m256d, _mm256_set1_pd, _mm256_fmadd_pd, _mm256_add_pd, _mm256_sub_pd, _mm256_mul_pd,
                        _mm256_cvtsd_f64)
}

volatile double sink;

}  // namespace

double FilterSteps(int channels, long long samples) {
  return static_cast<double>(channels) * static_cast<double>(samples) * (kFilterHalfLength - 1);
}

double FilterArithmeticSeconds(double steps, int threads) {
  const bool wide = FirPathAvailable(FirPath::Avx512);
  if (!wide && !FirPathAvailable(FirPath::Avx2)) return 0.0;
  const int lanes = wide ? kAvx512Lanes : kAvx2Lanes;
  const int count = threads > 0 ? threads : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const double stepsPerRound = static_cast<double>(kChains) * lanes * kStepsPerRound;
  const auto rounds = static_cast<long long>(steps / count / stepsPerRound + 0.5);

  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> workers;
  for (int t = 0; t < count; ++t) {
    workers.emplace_back([wide, rounds] { sink = wide ? RunAvx512(rounds) : RunAvx2(rounds); });
  }
  for (std::thread& worker : workers) worker.join();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
