// Band-pass filter: a symmetric (zero-phase) FIR filter of 2N - 1 taps whose ideal
// response is a trapezoid, designed in closed form and truncated without a window.
// Every output sample is accumulated in single precision, step by step, in one
// fixed order; the fast paths (SSE2, AVX2, AVX-512, several threads) reproduce
// that sequence bit for bit and are chosen at run time.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "io/Progress.h"

struct WaveData;

// N, the number of coefficients h[0] ... h[N - 1] of the filter the window uses.
constexpr int kFilterHalfLength = 500;

// The band edges for a centre frequency and a band ratio: (1 - ratio) x centre
// and (1 + ratio) x centre, rounded to single precision.
struct BandEdges {
  float Lower = 0.0f;
  float Upper = 0.0f;
};
BandEdges EdgesFromCentre(float centre, float ratio);

// Coefficients h[0 .. N-1] of the trapezoidal band-pass with no gain below f1,
// a linear rise to full gain at f2, full gain up to f3 and a linear fall to no
// gain at f4 (Hz); dt is the sampling interval in seconds. Named intermediates
// are single precision, every expression is evaluated in double. Returns false,
// leaving h untouched, when the edges give no usable filter (not
// 0 < f1 < f2 <= f3 < f4 once converted to cycles per sample, or a value that is
// not finite).
bool DesignBandPass(int N, float* h, float f1, float f2, float f3, float f4, float dt);

// The reference loop: for every output i, acc = x[i] h[0], then for j = 1 .. N-1
// in this order acc = (x[i-j] + x[i+j]) h[j] + acc with samples beyond the ends
// taken as 0, evaluated in double and stored in single precision after every
// step. The result replaces x[0 .. count-1]. Kept plain, for checking the fast
// paths.
void ApplyFirScalar(int N, const float* h, float* x, int count);

// Instruction sets of the fast paths. Every path gives the same bits as
// ApplyFirScalar.
enum class FirPath { Scalar, Sse2, Avx2, Avx512 };

// How the fast paths round each step to single precision. Auto uses, on the
// AVX2 and AVX-512 paths, the splitting rounding (three double operations) wherever the
// data's range proves it exact, and the conversion instructions elsewhere;
// Convert always converts; Split always splits, proven or not (only for
// exercising the kernels).
enum class FirRounding { Auto, Convert, Split };

struct FirOptions {
  std::optional<FirPath> Path;  // empty: the fastest this processor has
  int Threads = 0;              // at most this many (0: one per core); fewer for little work
  FirRounding Rounding = FirRounding::Auto;
};

bool FirPathAvailable(FirPath path);
FirPath FastestFirPath();

// Whether ApplyFirChannels went through or stopped because the caller asked.
enum class FirRun { Completed, Cancelled };

// Filters each of the arrays (distinct ones) in place, count samples each. Each
// channel is cut into pieces that the threads take in turn (all joined before
// it returns); a piece is filtered from left to right, overwriting its samples
// as it goes, while the few samples next to its ends that its neighbours need
// are kept aside beforehand. So the working storage is a small fixed amount,
// not a copy of the record. A requested path the processor lacks falls back to
// the fastest one it has. Working storage is taken before any sample changes:
// std::bad_alloc, or std::length_error for a count whose indices would not fit
// an int, leaves the arrays as they were.
// Progress is reported and the cancel flag checked after every few thousand
// outputs. A cancelled run stops there and leaves the arrays partly filtered:
// the caller throws them away.
FirRun ApplyFirChannels(int N, const float* h, std::span<float* const> channels, int count,
                        const FirOptions& options = {}, const Progress* progress = nullptr);

// One channel, fastest path.
void ApplyFir(int N, const float* h, float* x, int count);

// Why a band or FilterAllChannels was refused.
inline constexpr const char* kFilterBandMessage =
    "バンドパスフィルタの帯域が不正です（下限周波数は0より大きく、上限周波数は下限より大きくしてください）。";
inline constexpr const char* kFilterIntervalMessage =
    "サンプリング間隔が不正なため、バンドパスフィルタを掛けられません。";
inline constexpr const char* kFilterRecordMessage =
    "波形データが不完全なため、バンドパスフィルタを掛けられません。";
inline constexpr const char* kFilterMemoryMessage =
    "メモリが不足しているため、バンドパスフィルタを掛けられません。";
inline constexpr const char* kCentreMessage = "中央振動数には0より大きい値を入力してください。";
inline constexpr const char* kRatioMessage = "帯域幅率には0より大きく1未満の値を入力してください。";
inline constexpr const char* kCentreTooLargeMessage = "中央振動数が大きすぎます。";

// Why the band fL .. fH (Hz) cannot be filtered at the sampling interval dt
// (seconds), in Japanese; nothing when it can. Besides 0 < fL < fH, all
// finite, the upper transition edge 1.5 fH must lie below half the sampling
// rate: beyond it the trapezoid folds back over itself and the filter
// amplifies the record many times instead of passing a band.
std::optional<std::string> BandEdgesProblem(float fL, float fH, float dt);

// The same for a setting of the band-pass dialog or --bandpass C R: a centre
// above 0 and a ratio strictly between 0 and 1, judged on the single-precision
// values the filter uses (0.99999999 is 1 there), then the edges they give.
// A dt of 0 means the rate is not known yet: the edges are checked without it.
std::optional<std::string> BandSettingProblem(float centre, float ratio, float dt);

// Outcome of filtering a record: Ok; or refused, with the reason, nothing
// changed; or Cancelled (Ok false, no message), the samples partly filtered.
struct FilterResult {
  bool Ok = true;
  std::string Message;
  bool Cancelled = false;
};

// Designs the filter for the band fL .. fH (Hz) with N = kFilterHalfLength and
// edges 0.5 fL, fL, fH, 1.5 fH at the record's Dt, and filters every channel,
// all SampleCount samples, in place (see ApplyFirChannels). Refuses, changing
// nothing, a band or record the formulas cannot serve. A run cancelled through
// `progress` leaves the record partly filtered: the caller filters a record it
// can throw away (a fresh read of the file) and keeps its previous one.
FilterResult FilterAllChannels(WaveData& record, float fL, float fH, const Progress* progress = nullptr);
