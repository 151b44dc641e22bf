// Fast application of the band-pass FIR filter: choice of instruction set and
// rounding, the SSE2 kernels, and the in-place filtering of a record in pieces
// shared among threads. Each output sample is computed by exactly
// the operations of the reference loop, so every path gives the same bits.
#include <emmintrin.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "analysis/BandPass.h"
#include "analysis/BandPassKernels.h"
#include "io/ProgressTicker.h"
#include "io/ThreadTeam.h"

namespace {

// Outputs per window of originals: the work between two looks at the cancel
// flag and reports of progress (a few tenths of a millisecond), large against
// the 2 (N - 1) samples a window shares with the next, and a multiple of the
// widest kernel blocks (16 SSE2, 40 AVX2, 80 AVX-512 outputs).
constexpr int kChunkOutputs = 4000;

// Pieces a channel is cut into for the threads to take in turn: enough that a
// thread left without work at the end waits for little, few enough that the
// copies kept at the cuts stay small (at most 2 (N - 1) samples per cut).
constexpr int kPiecesPerChannel = 32;

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
  int k = 0;
  // Four values at a time. The fields fit the low 16 bits of each 32-bit
  // lane, the high 16 bits are 0, so SSE2's 16-bit minimum and maximum serve.
  if (n >= 4) {
    const __m128i magnitudeBits = _mm_set1_epi32(0x7FFFFFFF);
    const __m128i fieldBits = _mm_set1_epi32(0xFF);
    const __m128i noField = _mm_set1_epi32(255);
    __m128i low = noField;
    __m128i high = _mm_setzero_si128();
    for (; k + 4 <= n; k += 4) {
      const __m128i bits = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + k));
      const __m128i field = _mm_and_si128(_mm_srli_epi32(bits, 23), fieldBits);
      const __m128i zero = _mm_cmpeq_epi32(_mm_and_si128(bits, magnitudeBits), _mm_setzero_si128());
      const __m128i nonzeroField = _mm_or_si128(_mm_andnot_si128(zero, field), _mm_and_si128(zero, noField));
      low = _mm_min_epi16(low, nonzeroField);
      high = _mm_max_epi16(high, field);
    }
    alignas(16) std::uint32_t lows[4];
    alignas(16) std::uint32_t highs[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lows), low);
    _mm_store_si128(reinterpret_cast<__m128i*>(highs), high);
    for (int lane = 0; lane < 4; ++lane) {
      lo = std::min(lo, lows[lane]);
      hi = std::max(hi, highs[lane]);
    }
  }
  for (; k < n; ++k) {
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
    case FirPath::Avx512:
      return split ? FirBlocksAvx512Split : FirBlocksAvx512Convert;
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
    case FirPath::Avx512:
      __builtin_cpu_init();
      return __builtin_cpu_supports("avx512f") != 0;
  }
  return false;
}

FirPath FastestFirPath() {
  if (FirPathAvailable(FirPath::Avx512)) return FirPath::Avx512;
  return FirPathAvailable(FirPath::Avx2) ? FirPath::Avx2 : FirPath::Sse2;
}

namespace {

// The record split for in-place filtering: every channel is cut into pieces of
// pieceLength outputs (the last may be shorter), and every cut keeps a copy of
// the original samples within pad of it, taken before any thread writes.
struct InPlacePlan {
  int count = 0;
  int pad = 0;  // N - 1
  int pieceLength = 0;
  int piecesPerChannel = 0;
  std::vector<float> cuts;  // per channel, per inner cut: samples [cut - pad, cut + pad), 0 beyond the record

  // The copy kept at the inner cut `position` of a channel.
  const float* Cut(std::size_t channel, int position) const { return cuts.data() + CutOffset(channel, position); }
  float* Cut(std::size_t channel, int position) { return cuts.data() + CutOffset(channel, position); }

 private:
  std::size_t CutOffset(std::size_t channel, int position) const {
    const std::size_t index = channel * static_cast<std::size_t>(piecesPerChannel - 1) +
                              static_cast<std::size_t>(position / pieceLength - 1);
    return index * 2 * static_cast<std::size_t>(pad);
  }
};

InPlacePlan PlanInPlace(std::span<float* const> channels, int count, int pad) {
  InPlacePlan plan;
  plan.count = count;
  plan.pad = pad;
  // A piece is at least one window and at least pad long, so that a piece's
  // neighbourhood never reaches beyond the pieces next to it.
  const int wanted = (count + kPiecesPerChannel - 1) / kPiecesPerChannel;
  const int length = std::max({wanted, kChunkOutputs, pad});
  plan.pieceLength = (length + kChunkOutputs - 1) / kChunkOutputs * kChunkOutputs;
  plan.piecesPerChannel = (count + plan.pieceLength - 1) / plan.pieceLength;
  const std::size_t cutCount = channels.size() * static_cast<std::size_t>(plan.piecesPerChannel - 1);
  plan.cuts.assign(cutCount * 2 * static_cast<std::size_t>(pad), 0.0f);
  for (std::size_t c = 0; c < channels.size(); ++c) {
    for (int cut = plan.pieceLength; cut < count; cut += plan.pieceLength) {
      float* kept = plan.Cut(c, cut);
      const int end = std::min(count, cut + pad);
      std::copy(channels[c] + (cut - pad), channels[c] + end, kept);
    }
  }
  return plan;
}

// One piece [begin, end) of a channel, filtered in place by one thread.
struct Piece {
  std::size_t channel;
  int begin;
  int end;
};

// The original sample at each position of [from, to) as the piece sees it
// while its own samples are overwritten from the left: its own samples from
// the array (always ahead of the outputs written), those beyond its ends from
// the plan's copies, zeros beyond the record. Written widened to double.
void FillOriginals(const InPlacePlan& plan, const Piece& piece, const float* x, int from, int to, double* out) {
  auto take = [&](int lo, int hi, auto source) {
    lo = std::max(lo, from);
    hi = std::min(hi, to);
    for (int p = lo; p < hi; ++p) out[p - from] = source(p);
  };
  const int pad = plan.pad;
  take(std::numeric_limits<int>::min(), 0, [](int) { return 0.0; });
  if (piece.begin > 0) {
    // The copy at a cut holds the samples from cut - pad on.
    const float* left = plan.Cut(piece.channel, piece.begin);
    const int leftFirst = piece.begin - pad;
    take(0, piece.begin, [left, leftFirst](int p) { return static_cast<double>(left[p - leftFirst]); });
  }
  take(piece.begin, piece.end, [x](int p) { return static_cast<double>(x[p]); });
  if (piece.end < plan.count) {
    const float* right = plan.Cut(piece.channel, piece.end);
    const int rightFirst = piece.end - pad;
    take(piece.end, plan.count, [right, rightFirst](int p) { return static_cast<double>(right[p - rightFirst]); });
  }
  take(plan.count, std::numeric_limits<int>::max(), [](int) { return 0.0; });
}

// The range of the original samples within pad of the piece.
ExponentRange PieceRange(const InPlacePlan& plan, const Piece& piece, const float* x) {
  ExponentRange range = RangeOf(x + piece.begin, piece.end - piece.begin);
  auto widen = [&range](const float* v, int n) {
    const ExponentRange more = RangeOf(v, n);
    range.MinNonzeroField = std::min(range.MinNonzeroField, more.MinNonzeroField);
    range.MaxField = std::max(range.MaxField, more.MaxField);
  };
  if (piece.begin > 0) widen(plan.Cut(piece.channel, piece.begin), plan.pad);
  if (piece.end < plan.count) widen(plan.Cut(piece.channel, piece.end) + plan.pad, plan.pad);
  return range;
}

}  // namespace

FirRun ApplyFirChannels(int N, const float* h, std::span<float* const> channels, int count,
                        const FirOptions& options, const Progress* progress) {
  ProgressTicker ticker(progress);
  if (N < 1 || count <= 0 || channels.empty()) {
    ticker.Done();
    return FirRun::Completed;
  }
  // Sample indices run from -(N - 1) to count + N - 2, windows end at most
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

  const int pad = N - 1;
  const InPlacePlan plan = PlanInPlace(channels, count, pad);
  std::vector<Piece> pieces;
  for (std::size_t c = 0; c < channels.size(); ++c) {
    for (int begin = 0; begin < count; begin += plan.pieceLength) {
      pieces.push_back({c, begin, std::min(count, begin + plan.pieceLength)});
    }
  }

  const unsigned cores = CoreCount();
  const std::size_t wanted = options.Threads > 0 ? static_cast<std::size_t>(options.Threads) : cores;
  const double steps = static_cast<double>(count) * N * static_cast<double>(channels.size());
  const std::size_t worthwhile = static_cast<std::size_t>(steps / kStepsWorthAThread) + 1;
  const std::size_t threadCount = std::min({pieces.size(), wanted, worthwhile});

  // One window per thread: the originals of a chunk of outputs and pad on
  // either side.
  const std::size_t windowSize = static_cast<std::size_t>(kChunkOutputs) + 2 * static_cast<std::size_t>(pad);
  std::unique_ptr<double[]> windows(new double[windowSize * threadCount]);

  const double totalOutputs = static_cast<double>(count) * static_cast<double>(channels.size());
  std::atomic<std::size_t> nextPiece{0};
  std::atomic<long long> outputsDone{0};
  std::atomic<bool> stop{false};

  auto filterPiece = [&](const Piece& piece, double* window, bool reporting) {
    float* const x = channels[piece.channel];
    // Splitting pays on AVX2 and AVX-512, where converting four lanes takes
    // two operations each way; two SSE2 lanes convert in one, faster than
    // three operations.
    const bool split = options.Rounding == FirRounding::Split ||
                       (options.Rounding == FirRounding::Auto && (path == FirPath::Avx2 || path == FirPath::Avx512) &&
                        SplitIsExact(PieceRange(plan, piece, x), taps, tapAbsSum));
    const BlockKernel kernel = KernelFor(path, split);
    // The window holds the originals of [begin - pad, begin + length + pad).
    // Sliding on, it keeps its last 2 pad values, read before this thread
    // overwrote any of their places.
    int begin = piece.begin;
    int length = std::min(kChunkOutputs, piece.end - begin);
    FillOriginals(plan, piece, x, begin - pad, begin + length + pad, window);
    while (true) {
      if (progress != nullptr && progress->Cancelled()) stop = true;
      if (stop.load(std::memory_order_relaxed)) return;
      kernel(N, hd.data(), window + pad, x + begin, 0, length);
      const long long done = outputsDone.fetch_add(length) + length;
      if (reporting) ticker.At(static_cast<double>(done) / totalOutputs);
      const int next = begin + length;
      if (next >= piece.end) return;
      std::memmove(window, window + length, 2 * static_cast<std::size_t>(pad) * sizeof(double));
      begin = next;
      length = std::min(kChunkOutputs, piece.end - begin);
      FillOriginals(plan, piece, x, begin + pad, begin + length + pad, window + 2 * pad);
    }
  };
  auto work = [&](std::size_t thread) {
    double* window = windows.get() + thread * windowSize;
    for (std::size_t k; !stop.load(std::memory_order_relaxed) && (k = nextPiece.fetch_add(1)) < pieces.size();) {
      filterPiece(pieces[k], window, thread == 0);
    }
  };

  RunOnThreads(threadCount, work,
               [&] { ticker.At(static_cast<double>(outputsDone.load()) / totalOutputs); });
  // A stop asked for after the last report is still in time.
  if (stop.load() || ticker.Cancelled()) return FirRun::Cancelled;
  ticker.Done();
  return FirRun::Completed;
}

void ApplyFir(int N, const float* h, float* x, int count) {
  float* const channels[] = {x};
  ApplyFirChannels(N, h, channels, count);
}
