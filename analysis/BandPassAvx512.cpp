// AVX-512 kernels of the band-pass filter: eight output samples per register,
// one per lane. Every function here is marked for AVX-512 (the unit is compiled
// for the baseline) and is only called after the processor has been asked for
// it; it uses no standard-library code (see BandPassKernels.h).
//
// The arithmetic is that of the AVX2 kernels. Where a processor runs 512-bit
// operations as two 256-bit halves the gain is not in the arithmetic but in
// half the instructions to issue and the sixteen more registers, which hold
// more independent chains.
#include <immintrin.h>

#include "analysis/BandPassKernels.h"

#define OSCALYX_AVX512 __attribute__((target("avx512f")))

namespace {

constexpr int kLanes = 8;
constexpr __mmask8 kAllLanes = 0xFF;

// The conversions with every lane selected: the same instructions as the
// unmasked forms, whose header code GCC 12 reports as reading an
// uninitialised value.
OSCALYX_AVX512 inline __m256 ToSingle(__m512d t) { return _mm512_maskz_cvtpd_ps(kAllLanes, t); }
OSCALYX_AVX512 inline __m512d ToDouble(__m256 t) { return _mm512_maskz_cvtps_pd(kAllLanes, t); }

struct ConvertRounding {
  OSCALYX_AVX512 static __m512d Round(__m512d t) { return ToDouble(ToSingle(t)); }
};

struct SplitRounding {
  OSCALYX_AVX512 static __m512d Round(__m512d t) {
    const __m512d c = _mm512_mul_pd(t, _mm512_set1_pd(kSplitFactor));
    return _mm512_sub_pd(c, _mm512_sub_pd(c, t));
  }
};

// a + b as a x 1 + b (exact product, so the bits of the addition), issued to
// the multiplying units, which the rest of a step leaves less busy than the
// adding ones.
OSCALYX_AVX512 inline __m512d Add(__m512d a, __m512d b) { return _mm512_fmadd_pd(a, _mm512_set1_pd(1.0), b); }

// The sums x[i - j] + x[i + j] of every lane of the blocks for tap j.
template <int Blocks>
OSCALYX_AVX512 inline void Sums(const double* xc, int i, int j, __m512d* sum) {
  const double* before = xc + i - j;
  const double* after = xc + i + j;
#pragma GCC unroll 16
  for (int u = 0; u < Blocks; ++u) {
    sum[u] = Add(_mm512_loadu_pd(before + kLanes * u), _mm512_loadu_pd(after + kLanes * u));
  }
}

// Outputs i .. i + kLanes * Blocks - 1, each lane in the reference order. The
// sums of the next tap are loaded while the current step's product and sum are
// waited for, which keeps the units busier than loading them when needed.
template <class Rounding, int Blocks>
OSCALYX_AVX512 inline void FirBlock(int N, const double* hd, const double* xc, float* y, int i) {
  __m512d acc[Blocks];
  const __m512d h0 = _mm512_set1_pd(hd[0]);
#pragma GCC unroll 16
  for (int u = 0; u < Blocks; ++u) {
    // x[i] h[0] is exact in double; its rounding is the first store.
    acc[u] = ConvertRounding::Round(_mm512_mul_pd(_mm512_loadu_pd(xc + i + kLanes * u), h0));
  }
  if (N > 1) {
    __m512d sum[Blocks];
    Sums<Blocks>(xc, i, 1, sum);
    for (int j = 1;; ++j) {
      const __m512d hj = _mm512_set1_pd(hd[j]);
      __m512d t[Blocks];
#pragma GCC unroll 16
      for (int u = 0; u < Blocks; ++u) t[u] = _mm512_add_pd(_mm512_mul_pd(sum[u], hj), acc[u]);
      const bool last = j == N - 1;
      if (!last) Sums<Blocks>(xc, i, j + 1, sum);
#pragma GCC unroll 16
      for (int u = 0; u < Blocks; ++u) acc[u] = Rounding::Round(t[u]);
      if (last) break;
    }
  }
#pragma GCC unroll 16
  for (int u = 0; u < Blocks; ++u) {
    _mm256_storeu_ps(y + i + kLanes * u, ToSingle(acc[u]));
  }
}

// Ten registers of accumulators, as many chains as cover a step's latency with
// room to spare; more only crowd the loads.
template <class Rounding>
OSCALYX_AVX512 void FirBlocks(int N, const double* hd, const double* xc, float* y, int begin, int end) {
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

OSCALYX_AVX512 void FirBlocksAvx512Convert(int N, const double* hd, const double* xc, float* y, int begin,
                                           int end) {
  FirBlocks<ConvertRounding>(N, hd, xc, y, begin, end);
}

OSCALYX_AVX512 void FirBlocksAvx512Split(int N, const double* hd, const double* xc, float* y, int begin,
                                         int end) {
  FirBlocks<SplitRounding>(N, hd, xc, y, begin, end);
}
