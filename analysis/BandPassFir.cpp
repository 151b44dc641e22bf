// Fast application of the band-pass FIR filter: choice of instruction set and
// rounding, the padded copies the kernels read, the SSE2 kernels, and the
// sharing of the work among threads. Each output sample is computed by exactly
// the operations of the reference loop, so every path gives the same bits.
#include <emmintrin.h>

#include <algorithm>
#include <atomic>
#include <barrier>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

#include "analysis/BandPass.h"
#include "analysis/BandPassKernels.h"

namespace {

// Outputs per piece of work handed to a thread: large enough that a piece costs
// far more than taking it, small enough to balance two or more threads, and a
// multiple of the widest kernel blocks (40 AVX2, 16 SSE2 outputs).
constexpr int kChunkOutputs = 4000;

// Filter steps (one tap of one output) below which another thread costs more
// than it saves: about a millisecond of work.
constexpr double kStepsWorthAThread = 4.0e6;

// ---- SSE2 kernels: two output samples per register ----

constexpr int kSse2Lanes = 2;

struct Sse2Convert {
  static __m128d Round(__m128d t) { return _mm_cvtps_pd(_mm_cvtpd_ps(t)); }
};

struct Sse2Split {
  static __m128d Round(__m128d t) {
    const __m128d c = _mm_mul_pd(t, _mm_set1_pd(kSplitFactor));
    return _mm_sub_pd(c, _mm_sub_pd(c, t));
  }
};

template <class Rounding, int Blocks>
inline void Sse2Block(int N, const double* hd, const double* xc, float* y, int i) {
  __m128d acc[Blocks];
  const __m128d h0 = _mm_set1_pd(hd[0]);
#pragma GCC unroll 16
  for (int u = 0; u < Blocks; ++u) {
    acc[u] = Sse2Convert::Round(_mm_mul_pd(_mm_loadu_pd(xc + i + kSse2Lanes * u), h0));
  }
  for (int j = 1; j < N; ++j) {
    const __m128d hj = _mm_set1_pd(hd[j]);
    const double* before = xc + i - j;
    const double* after = xc + i + j;
#pragma GCC unroll 16
    for (int u = 0; u < Blocks; ++u) {
      const __m128d sum = _mm_add_pd(_mm_loadu_pd(before + kSse2Lanes * u),
                                     _mm_loadu_pd(after + kSse2Lanes * u));
      acc[u] = Rounding::Round(_mm_add_pd(_mm_mul_pd(sum, hj), acc[u]));
    }
  }
#pragma GCC unroll 16
  for (int u = 0; u < Blocks; ++u) {
    _mm_storel_pi(reinterpret_cast<__m64*>(y + i + kSse2Lanes * u), _mm_cvtpd_ps(acc[u]));
  }
}

template <class Rounding>
void Sse2Blocks(int N, const double* hd, const double* xc, float* y, int begin, int end) {
  constexpr int kBlocks = 8;
  constexpr int kWide = kSse2Lanes * kBlocks;
  if (end - begin >= kWide) {
    int i = begin;
    for (; i + kWide <= end; i += kWide) Sse2Block<Rounding, kBlocks>(N, hd, xc, y, i);
    // The last block overlaps the previous one; recomputed outputs get the same bits.
    if (i < end) Sse2Block<Rounding, kBlocks>(N, hd, xc, y, end - kWide);
    return;
  }
  int i = begin;
  for (; i + kSse2Lanes <= end; i += kSse2Lanes) Sse2Block<Rounding, 1>(N, hd, xc, y, i);
  if (i < end) y[i] = FirOutputScalar(N, hd, xc, i);
}

// ---- Range of a set of single-precision values ----

// Biased exponent fields (1 .. 254 for normal numbers, 0 for subnormal ones,
// 255 for infinities and NaN) of the nonzero values, and of all values.
struct ExponentRange {
  std::uint32_t MinNonzeroField = 255;  // 255 while every value is zero
  std::uint32_t MaxField = 0;
};

ExponentRange RangeOf(const float* v, int n) {
  std::uint32_t lo = 255;
  std::uint32_t hi = 0;
  for (int k = 0; k < n; ++k) {
    const auto bits = std::bit_cast<std::uint32_t>(v[k]);
    const std::uint32_t field = (bits >> 23) & 0xFFu;
    const std::uint32_t nonzeroField = (bits & 0x7FFFFFFFu) != 0 ? field : 255u;
    lo = std::min(lo, nonzeroField);
    hi = std::max(hi, field);
  }
  return {lo, hi};
}

// True when the split rounding gives the conversion's bits for every step of
// every output of a channel with samples in range xs and taps h in range hs.
//  - Finite inputs only.
//  - No subnormal intermediate: every sample is a multiple of its smallest
//    nonzero magnitude's unit in the last place gx, every tap of gh; sums,
//    products and accumulators rounded to double or single precision stay
//    multiples of gx gh, so a nonzero one is at least gx gh. Requiring
//    gx gh >= 2^-126 keeps them all normal single-precision magnitudes.
//  - No overflow: |acc| never exceeds max|x| (|h0| + 2 sum|hj|) times the
//    growth of 3N roundings (far below 2); kept under 2^126.
bool SplitIsExact(const ExponentRange& xs, const ExponentRange& hs, double tapAbsSum) {
  if (xs.MaxField == 255 || hs.MaxField == 255) return false;
  if (xs.MinNonzeroField == 255 || hs.MinNonzeroField == 255) return true;  // all products 0
  // The unit in the last place of field F is 2^(max(F, 1) - 127 - 23).
  const int gx = static_cast<int>(std::max(xs.MinNonzeroField, 1u)) - 150;
  const int gh = static_cast<int>(std::max(hs.MinNonzeroField, 1u)) - 150;
  if (gx + gh < -126) return false;
  const double maxAbsX = std::ldexp(1.0, static_cast<int>(xs.MaxField) - 126);
  return maxAbsX * tapAbsSum * 2.0 < std::ldexp(1.0, 126);
}

using BlockKernel = void (*)(int, const double*, const double*, float*, int, int);

BlockKernel KernelFor(FirPath path, bool split) {
  switch (path) {
    case FirPath::Avx2:
      return split ? FirBlocksAvx2Split : FirBlocksAvx2Convert;
    case FirPath::Sse2:
      return split ? FirBlocksSse2Split : FirBlocksSse2Convert;
    case FirPath::Scalar:
      break;
  }
  return FirBlocksScalar;
}

}  // namespace

float FirOutputScalar(int N, const double* hd, const double* xc, int i) {
  float acc = static_cast<float>(xc[i] * hd[0]);
  for (int j = 1; j < N; ++j) {
    acc = static_cast<float>((xc[i - j] + xc[i + j]) * hd[j] + static_cast<double>(acc));
  }
  return acc;
}

double FirSplitRound(double t) {
  // Each operation stored in a double of its own, as one vector lane does it.
  const double c = t * kSplitFactor;
  const double d = c - t;
  return c - d;
}

void FirBlocksScalar(int N, const double* hd, const double* xc, float* y, int begin, int end) {
  for (int i = begin; i < end; ++i) y[i] = FirOutputScalar(N, hd, xc, i);
}

void FirBlocksSse2Convert(int N, const double* hd, const double* xc, float* y, int begin,
                          int end) {
  Sse2Blocks<Sse2Convert>(N, hd, xc, y, begin, end);
}

void FirBlocksSse2Split(int N, const double* hd, const double* xc, float* y, int begin,
                        int end) {
  Sse2Blocks<Sse2Split>(N, hd, xc, y, begin, end);
}

bool FirPathAvailable(FirPath path) {
  switch (path) {
    case FirPath::Scalar:
    case FirPath::Sse2:
      return true;  // SSE2 is part of x86-64
    case FirPath::Avx2:
      __builtin_cpu_init();
      // Also tells whether the system saves the wide registers.
      return __builtin_cpu_supports("avx2") != 0 && __builtin_cpu_supports("fma") != 0;
  }
  return false;
}

FirPath FastestFirPath() {
  return FirPathAvailable(FirPath::Avx2) ? FirPath::Avx2 : FirPath::Sse2;
}

void ApplyFirChannels(int N, const float* h, std::span<float* const> channels, int count,
                      const FirOptions& options) {
  if (N < 1 || count <= 0 || channels.empty()) return;
  // Sample indices run from -(N - 1) to count + N - 2, work pieces end at most
  // kChunkOutputs past the last sample: all must fit an int.
  if (static_cast<std::int64_t>(count) + 2 * static_cast<std::int64_t>(N) + kChunkOutputs >
      std::numeric_limits<int>::max()) {
    throw std::length_error("record too long");
  }
  const FirPath path =
      options.Path && FirPathAvailable(*options.Path) ? *options.Path : FastestFirPath();

  std::vector<double> hd(h, h + N);
  double tapAbsSum = std::fabs(hd[0]);
  for (int j = 1; j < N; ++j) tapAbsSum += 2.0 * std::fabs(hd[j]);
  const ExponentRange taps = RangeOf(h, N);

  // One padded double copy per channel; the outputs go straight into the
  // channel, which no kernel reads.
  const int pad = N - 1;
  const std::size_t stride = static_cast<std::size_t>(count) + 2 * static_cast<std::size_t>(pad);
  const std::size_t channelCount = channels.size();
  std::unique_ptr<double[]> padded(new double[stride * channelCount]);
  std::vector<BlockKernel> kernels(channelCount, FirBlocksScalar);

  const int chunksPerChannel = (count + kChunkOutputs - 1) / kChunkOutputs;
  const std::size_t chunkCount = channelCount * static_cast<std::size_t>(chunksPerChannel);
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t wanted = options.Threads > 0 ? static_cast<std::size_t>(options.Threads) : cores;
  const double steps = static_cast<double>(count) * N * static_cast<double>(channelCount);
  const std::size_t worthwhile = static_cast<std::size_t>(steps / kStepsWorthAThread) + 1;
  const std::size_t threadCount = std::min({chunkCount, wanted, worthwhile});

  auto prepare = [&](std::size_t c) {
    double* xd = padded.get() + c * stride;
    const float* x = channels[c];
    std::fill(xd, xd + pad, 0.0);
    std::copy(x, x + count, xd + pad);
    std::fill(xd + pad + count, xd + stride, 0.0);
    // Splitting pays on AVX2, where converting four lanes takes two operations
    // each way; two SSE2 lanes convert in one, faster than three operations.
    const bool split = options.Rounding == FirRounding::Split ||
                       (options.Rounding == FirRounding::Auto && path == FirPath::Avx2 &&
                        SplitIsExact(RangeOf(x, count), taps, tapAbsSum));
    kernels[c] = KernelFor(path, split);
  };
  auto filterChunk = [&](std::size_t k) {
    const std::size_t c = k / static_cast<std::size_t>(chunksPerChannel);
    const int begin = static_cast<int>(k % static_cast<std::size_t>(chunksPerChannel)) * kChunkOutputs;
    const int end = std::min(count, begin + kChunkOutputs);
    kernels[c](N, hd.data(), padded.get() + c * stride + pad, channels[c], begin, end);
  };

  if (threadCount == 1) {
    for (std::size_t c = 0; c < channelCount; ++c) prepare(c);
    for (std::size_t k = 0; k < chunkCount; ++k) filterChunk(k);
    return;
  }

  // Every copy is complete before any output is written: a channel array may
  // appear twice in the list.
  std::atomic<std::size_t> nextChannel{0};
  std::atomic<std::size_t> nextChunk{0};
  std::barrier copiesDone(static_cast<std::ptrdiff_t>(threadCount));
  auto work = [&] {
    for (std::size_t c; (c = nextChannel.fetch_add(1)) < channelCount;) prepare(c);
    copiesDone.arrive_and_wait();
    for (std::size_t k; (k = nextChunk.fetch_add(1)) < chunkCount;) filterChunk(k);
  };
  std::vector<std::jthread> helpers;
  helpers.reserve(threadCount - 1);
  try {
    for (std::size_t t = 1; t < threadCount; ++t) helpers.emplace_back(work);
  } catch (const std::system_error&) {
    // Fewer threads than planned: the ones running and this one do all the work.
    for (std::size_t t = helpers.size() + 1; t < threadCount; ++t) copiesDone.arrive_and_drop();
  }
  work();
}

void ApplyFir(int N, const float* h, float* x, int count) {
  float* const channels[] = {x};
  ApplyFirChannels(N, h, channels, count);
}
