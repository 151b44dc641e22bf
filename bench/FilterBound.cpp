#include "bench/FilterBound.h"

#include <immintrin.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "analysis/BandPass.h"

namespace {

// Independent chains per kind of operation: more than the units need to hide
// an operation's latency (3 or 4 cycles, two units of each kind).
constexpr int kChains = 12;

#define OSCALYX_AVX512 __attribute__((target("avx512f")))
#define OSCALYX_AVX2 __attribute__((target("avx2")))

// `rounds` times: kChains multiplications and kChains additions, each chain
// depending only on itself. Multiplying by 1 and adding 0 keep every value
// what it was (no overflow, no subnormal slowing the units down); the empty
// asm statements hide the 1 and the 0 from the compiler, which would drop
// the operations.
#define OSCALYX_INDEPENDENT_OPERATIONS(Vec, Set, Add, Mul, First)  \
  Vec products[kChains];                                           \
  Vec sums[kChains];                                               \
  for (int u = 0; u < kChains; ++u) {                              \
    products[u] = Set(1.0 + u);                                    \
    sums[u] = Set(2.0 + u);                                        \
  }                                                                \
  Vec one = Set(1.0);                                              \
  Vec zero = Set(0.0);                                             \
  asm("" : "+v"(one), "+v"(zero));                                 \
  for (long long r = 0; r < rounds; ++r) {                         \
    _Pragma("GCC unroll 12") for (int u = 0; u < kChains; ++u) {   \
      products[u] = Mul(products[u], one);                         \
      sums[u] = Add(sums[u], zero);                                \
    }                                                              \
  }                                                                \
  double total = 0.0;                                              \
  for (int u = 0; u < kChains; ++u) total += First(products[u]) + First(sums[u]); \
  return total;

constexpr int kAvx512Lanes = 8;
constexpr int kAvx2Lanes = 4;

OSCALYX_AVX512 __attribute__((noinline)) double RunAvx512(long long rounds) {
  OSCALYX_INDEPENDENT_OPERATIONS(__m512d, _mm512_set1_pd, _mm512_add_pd, _mm512_mul_pd, _mm512_cvtsd_f64)
}

OSCALYX_AVX2 __attribute__((noinline)) double RunAvx2(long long rounds) {
  OSCALYX_INDEPENDENT_OPERATIONS(__m256d, _mm256_set1_pd, _mm256_add_pd, _mm256_mul_pd, _mm256_cvtsd_f64)
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
  const double operationsPerRound = 2.0 * kChains * lanes;
  const auto rounds =
      static_cast<long long>(steps * kOperationsPerFilterStep / count / operationsPerRound + 0.5);

  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> workers;
  for (int t = 0; t < count; ++t) {
    workers.emplace_back([wide, rounds] { sink = wide ? RunAvx512(rounds) : RunAvx2(rounds); });
  }
  for (std::thread& worker : workers) worker.join();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
