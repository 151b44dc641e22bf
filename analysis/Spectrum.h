// Welch-averaged amplitude spectrum of one channel: Hann segments overlapping by
// half, each with its mean and linear trend removed, their powers averaged and
// scaled so that a sine of amplitude a shows a peak near a. The segment length
// follows from a quick pilot spectrum (the longest segments, a sample of them):
// the shortest length that resolves the lowest peak, so that the rest of the
// record goes into averaging. Also the single-window estimate of a stretch's
// strongest frequency that seeds an evaluation.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "io/Progress.h"

inline constexpr const char* kNotFiniteMessage = "データに有限でない値（無限大など）が含まれています。";

// The segment-length rule, as the help text states it.
inline constexpr const char* kSegmentRuleText =
    "区間長は、最も低いピークが0Hzから16ビン以上離れ、その半値幅が5ビン以上あり、隣り合うピークが4ビン以上"
    "離れる最短の2のべき乗（256～262144点、平均する区間が8以上とれる長さまで）。各区間の平均と傾きを除き、"
    "Hann窓を掛け、半分ずつ重ねる。";

constexpr std::size_t kLowestPeakBins = 16;     // the lowest peak at least this many bins above 0 Hz
constexpr double kResolvedHalfPowerBins = 5.0;  // its half-power band at least this wide
constexpr double kPeakSeparationBins = 4.0;     // neighbouring peaks at least this far apart
constexpr std::size_t kMinSegmentLength = 256;
constexpr std::size_t kMaxSegmentLength = std::size_t{1} << 18;
constexpr std::size_t kMinWelchSegments = 8;
constexpr std::size_t kMinSpectrumSamples = 64;
constexpr std::size_t kMaxSpectrumPeaks = 32;

enum class SpectrumFailureKind {
  BadRate,    // not a positive finite number
  TooShort,   // fewer than kMinSpectrumSamples samples
  BadLength,  // a given segment length that is odd, below 4 or above the sample count
  NotFinite,  // a sample is infinite or not a number
  Cancelled,  // the caller asked to stop
};

struct SpectrumFailure {
  SpectrumFailureKind Kind = SpectrumFailureKind::TooShort;
  std::string Message;  // UTF-8, ready to show
};

struct SpectrumPeak {
  double F = 0.0;           // Hz, interpolated between bins
  double Amplitude = 0.0;   // units of the samples
  std::optional<double> H;  // damping ratio by half power; none where the band is not resolved
};

struct Spectrum {
  std::optional<SpectrumFailure> Failure;
  double Resolution = 0.0;          // Hz, rate / segment length
  std::size_t SegmentLength = 0;    // samples
  std::size_t Segments = 0;         // averaged
  std::vector<double> Amplitude;    // bin k at k·Resolution Hz, k = 0 … SegmentLength/2
  std::vector<SpectrumPeak> Peaks;  // standing out of the noise, strongest first

  bool Ok() const { return !Failure.has_value(); }
};

// The spectrum of `samples` taken at `rate` samples/s. `segmentLength` 0 chooses
// by the rule above; otherwise that length is used (at least 4, even, at most
// the sample count). Segments are shared out over the cores; the result does
// not depend on how many.
Spectrum WelchSpectrum(std::span<const float> samples, double rate, std::size_t segmentLength = 0,
                       const Progress* progress = nullptr);

// The frequency (Hz) of the strongest peak of one Hann window over the whole
// stretch, its mean and linear trend removed, zero-padded to at least four times
// its length and interpolated between bins. Frequencies below two bins of the
// unpadded stretch, where a leftover drift lives, are passed over. Nothing when
// there is no peak above them, the rate is not positive or a sample is not
// finite.
std::optional<double> StrongestFrequency(std::span<const float> stretch, double rate);
