// AVX2 kernels of the band-pass filter: four output samples per register, one
// per lane. This unit is compiled with -mavx2 (and uses FMA) and is only called
// after the processor has been asked for both; it uses no standard-library code
// (see BandPassKernels.h).
#include <immintrin.h>

#include "analysis/BandPassKernels.h"

namespace {

constexpr int kLanes = 4;

struct ConvertRounding {
  static __m256d Round(__m256d t) { return _mm256_cvtps_pd(_mm256_cvtpd_ps(t)); }
};

struct SplitRounding {
  static __m256d Round(__m256d t) {
    const __m256d c = _mm256_mul_pd(t, _mm256_set1_pd(kSplitFactor));
    return _mm256_sub_pd(c, _mm256_sub_pd(c, t));
  }
};

// a + b, computed as a x 1 + b by the fused multiply-add: the product is exact,
// so the single rounding is the sum's own and the bits are those of an addition.
// It moves one of the four additions of a step from the two adding units to the
// two multiplying ones.
__attribute__((target("fma"))) inline __m256d Add(__m256d a, __m256d b) {
  return _mm256_fmadd_pd(a, _mm256_set1_pd(1.0), b);
}

// Outputs i .. i + kLanes * Blocks - 1. The blocks are independent chains, so
// the processor overlaps their latencies; the order of the steps inside each
// lane is the reference order.
template <class Rounding, int Blocks>
__attribute__((target("fma"))) inline void FirBlock(int N, const double* hd, const double* xc, float* y, int i) {
  __m256d acc[Blocks];
  const __m256d h0 = _mm256_broadcast_sd(hd);
#pragma GCC unroll 16
  for (int u = 0; u < Blocks; ++u) {
    // x[i] h[0] is exact in double; its rounding is the first store.
    acc[u] = ConvertRounding::Round(_mm256_mul_pd(_mm256_loadu_pd(xc + i + kLanes * u), h0));
  }
  for (int j = 1; j < N; ++j) {
    const __m256d hj = _mm256_broadcast_sd(hd + j);
    const double* before = xc + i - j;
    const double* after = xc + i + j;
#pragma GCC unroll 16
    for (int u = 0; u < Blocks; ++u) {
      const __m256d sum = Add(_mm256_loadu_pd(before + kLanes * u),
                              _mm256_loadu_pd(after + kLanes * u));
      acc[u] = Rounding::Round(_mm256_add_pd(_mm256_mul_pd(sum, hj), acc[u]));
    }
  }
#pragma GCC unroll 16
  for (int u = 0; u < Blocks; ++u) {
    _mm_storeu_ps(y + i + kLanes * u, _mm256_cvtpd_ps(acc[u]));
  }
}

// Ten registers of accumulators: enough independent chains to cover a step's
// latency (add, multiply, two subtractions), few enough to leave registers for
// the operands.
template <class Rounding>
__attribute__((target("fma"))) void FirBlocks(int N, const double* hd, const double* xc, float* y, int begin, int end) {
  constexpr int kBlocks = 10;
  constexpr int kWide = kLanes * kBlocks;
  if (end - begin >= kWide) {
    int i = begin;
    for (; i + kWide <= end; i += kWide) FirBlock<Rounding, kBlocks>(N, hd, xc, y, i);
    // The last block overlaps the previous one; recomputed outputs get the same bits.
    if (i < end) FirBlock<Rounding, kBlocks>(N, hd, xc, y, end - kWide);
    return;
  }
  if (end - begin >= kLanes) {
    int i = begin;
    for (; i + kLanes <= end; i += kLanes) FirBlock<Rounding, 1>(N, hd, xc, y, i);
    if (i < end) FirBlock<Rounding, 1>(N, hd, xc, y, end - kLanes);
    return;
  }
  for (int i = begin; i < end; ++i) y[i] = FirOutputScalar(N, hd, xc, i);
}

}  // namespace

void FirBlocksAvx2Convert(int N, const double* hd, const double* xc, float* y, int begin,
                          int end) {
  FirBlocks<ConvertRounding>(N, hd, xc, y, begin, end);
}

void FirBlocksAvx2Split(int N, const double* hd, const double* xc, float* y, int begin,
                        int end) {
  FirBlocks<SplitRounding>(N, hd, xc, y, begin, end);
}
