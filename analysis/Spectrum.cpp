#include "analysis/Spectrum.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>

#include "analysis/RealFft.h"
#include "analysis/SpectrumPeaks.h"
#include "io/ProgressTicker.h"
#include "io/ThreadTeam.h"

namespace {

constexpr double kPi = 3.141592653589793;
// The pilot: segments of at most this length, and at most this many samples
// through its transforms (a sample of the record, spread evenly over it).
constexpr std::size_t kPilotMaxLength = std::size_t{1} << 16;
constexpr std::size_t kPilotSamples = std::size_t{1} << 20;
// Without segments of kMinSegmentLength for kMinWelchSegments averages, a short
// record still gets segments of this length.
constexpr std::size_t kShortestSegment = 64;
// The segments are summed in this many fixed runs, added in order at the end,
// so the bits do not depend on the number of threads.
constexpr std::size_t kRuns = 8;
// Samples through the transforms worth a thread of their own.
constexpr std::size_t kSamplesWorthAThread = std::size_t{1} << 18;
// Progress of the passes: the pilot, the spectrum, a longer one when the
// spectrum shows that the pilot missed a lower or narrower peak.
constexpr double kPilotShare = 0.05;
constexpr double kSpectrumShare = 0.9;
constexpr std::size_t kStrongestPadding = 4;
constexpr std::size_t kStrongestMinTransform = 64;
constexpr std::size_t kStrongestMaxTransform = std::size_t{1} << 22;

std::size_t PowerOfTwoAtMost(std::size_t n) {
  std::size_t p = 1;
  while (p <= n / 2) p *= 2;
  return p;
}

std::size_t PowerOfTwoAtLeast(std::size_t n) {
  std::size_t p = 1;
  while (p < n) p *= 2;
  return p;
}

Spectrum Failed(SpectrumFailureKind kind, const char* message) {
  Spectrum out;
  out.Failure = SpectrumFailure{kind, message};
  return out;
}

// Segment starts: every half length, or at most `maxCount` spread evenly.
std::vector<std::size_t> SegmentStarts(std::size_t n, std::size_t length, std::size_t maxCount) {
  const std::size_t step = length / 2;
  const std::size_t all = (n - length) / step + 1;
  std::vector<std::size_t> starts;
  if (all <= maxCount) {
    for (std::size_t s = 0; s < all; ++s) starts.push_back(s * step);
  } else {
    const double spacing = static_cast<double>(n - length) / static_cast<double>(maxCount - 1);
    for (std::size_t s = 0; s < maxCount; ++s) starts.push_back(static_cast<std::size_t>(std::lround(s * spacing)));
  }
  return starts;
}

// Progress of one pass, mapped onto its share of the whole.
struct Stage {
  ProgressTicker* ticker;
  double from;
  double to;
  void At(double fraction) const { ticker->At(from + (to - from) * fraction); }
};

// Mean power |X_k|² over the segments at `starts`, k = 0 … L/2, each segment
// detrended (mean and slope by least squares, in double) and Hann-windowed.
// False when the caller asked to stop.
bool AveragePower(std::span<const float> x, std::size_t length, const std::vector<std::size_t>& starts,
                  std::vector<double>& mean, const Stage& stage, const Progress* progress) {
  const std::size_t bins = length / 2 + 1;
  std::vector<double> window(length);
  for (std::size_t i = 0; i < length; ++i) {
    window[i] = 0.5 - 0.5 * std::cos(2.0 * kPi * static_cast<double>(i) / static_cast<double>(length));
  }
  std::vector<double> ramp(length);  // i − centre
  for (std::size_t i = 0; i < length; ++i) ramp[i] = static_cast<double>(i) - 0.5 * static_cast<double>(length - 1);
  const auto l = static_cast<double>(length);
  const double spread = l * (l * l - 1.0) / 12.0;  // Σ (i − centre)²

  const std::size_t runs = std::min(kRuns, starts.size());
  std::vector<std::vector<double>> sums(runs, std::vector<double>(bins, 0.0));
  const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t worthwhile = starts.size() * length / kSamplesWorthAThread + 1;
  const std::size_t threads = std::min({cores, runs, worthwhile});

  std::atomic<std::size_t> nextRun{0};
  std::atomic<std::size_t> done{0};
  std::atomic<bool> stop{false};
  const auto total = static_cast<double>(starts.size());
  auto work = [&](std::size_t thread) {
    RealFft fft(length);
    std::vector<float> segment(length);
    for (std::size_t r; !stop.load(std::memory_order_relaxed) && (r = nextRun.fetch_add(1)) < runs;) {
      std::vector<double>& sum = sums[r];
      const std::size_t first = r * starts.size() / runs, last = (r + 1) * starts.size() / runs;
      for (std::size_t s = first; s < last; ++s) {
        if (progress != nullptr && progress->Cancelled()) stop = true;
        if (stop.load(std::memory_order_relaxed)) return;
        const float* v = x.data() + starts[s];
        // Four partial sums of each, so that the additions overlap.
        double s0[4] = {}, s1[4] = {};
        std::size_t i = 0;
        for (; i + 4 <= length; i += 4) {
          for (std::size_t q = 0; q < 4; ++q) {
            const double value = v[i + q];
            s0[q] += value;
            s1[q] += ramp[i + q] * value;
          }
        }
        for (; i < length; ++i) {
          s0[0] += v[i];
          s1[0] += ramp[i] * v[i];
        }
        const double level = (s0[0] + s0[1] + s0[2] + s0[3]) / l;
        const double slope = (s1[0] + s1[1] + s1[2] + s1[3]) / spread;
        for (i = 0; i < length; ++i) segment[i] = static_cast<float>((v[i] - level - slope * ramp[i]) * window[i]);
        fft.AddPower(segment.data(), sum.data());
        const std::size_t count = done.fetch_add(1) + 1;
        if (thread == 0) stage.At(static_cast<double>(count) / total);
      }
    }
  };
  RunOnThreads(threads, work, [&] { stage.At(static_cast<double>(done.load()) / total); });
  if (stop.load() || (progress != nullptr && progress->Cancelled())) return false;

  mean.assign(bins, 0.0);
  for (const std::vector<double>& sum : sums) {
    for (std::size_t k = 0; k < bins; ++k) mean[k] += sum[k];
  }
  for (double& p : mean) p /= total;
  return true;
}

// An infinite sample makes its segments' powers infinite or not a number.
bool AllFinite(const std::vector<double>& values) {
  return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

// One-sided amplitude: a sine of amplitude a at a bin's centre gives a there.
std::vector<double> AmplitudeOf(const std::vector<double>& meanPower, std::size_t length) {
  const double windowSum = 0.5 * static_cast<double>(length);
  std::vector<double> amplitude(meanPower.size());
  for (std::size_t k = 0; k < meanPower.size(); ++k) {
    const double sides = k == 0 || k == length / 2 ? 1.0 : 2.0;
    amplitude[k] = sides * std::sqrt(meanPower[k]) / windowSum;
  }
  return amplitude;
}

// Whether peaks found with some segment length resolve the lowest of them: it
// lies kLowestPeakBins or more above 0 Hz, its half-power band is not too
// narrow to read, and no two neighbouring peaks are closer than
// kPeakSeparationBins.
bool Resolves(const std::vector<SpectralPeak>& peaks) {
  if (peaks.empty()) return true;
  const SpectralPeak& lowest =
      *std::min_element(peaks.begin(), peaks.end(), [](const auto& a, const auto& b) { return a.Bin < b.Bin; });
  if (lowest.Bin < static_cast<double>(kLowestPeakBins) || lowest.Band == HalfPower::Narrow) return false;
  std::vector<double> bins;
  for (const SpectralPeak& p : peaks) bins.push_back(p.Bin);
  std::sort(bins.begin(), bins.end());
  for (std::size_t i = 1; i < bins.size(); ++i) {
    if (bins[i] - bins[i - 1] < kPeakSeparationBins) return false;
  }
  return true;
}

// A longer power of two than `length` (at most `longest`) for peaks that
// segments of `length` do not resolve, from how far they miss.
std::size_t LongerLength(const std::vector<SpectralPeak>& peaks, std::size_t length, std::size_t longest) {
  const auto l = static_cast<double>(length);
  double need = 2.0 * l;
  const SpectralPeak& lowest =
      *std::min_element(peaks.begin(), peaks.end(), [](const auto& a, const auto& b) { return a.Bin < b.Bin; });
  need = std::max(need, static_cast<double>(kLowestPeakBins) * l / lowest.Bin);
  if (lowest.Band == HalfPower::Narrow) {
    // The band's width without the window's widening; one little wider than
    // the window itself has an unknown width.
    need = std::max(need, lowest.WidthBins > 1.0 ? l * kResolvedHalfPowerBins / lowest.WidthBins : 4.0 * l);
  }
  std::vector<double> bins;
  for (const SpectralPeak& p : peaks) bins.push_back(p.Bin);
  std::sort(bins.begin(), bins.end());
  for (std::size_t i = 1; i < bins.size(); ++i) {
    need = std::max(need, kPeakSeparationBins * l / (bins[i] - bins[i - 1]));
  }
  return std::min(longest, PowerOfTwoAtLeast(static_cast<std::size_t>(std::ceil(std::min(need, 1e15)))));
}

// Effective averages of the mean of `width` neighbouring Hann bins, each of
// `averages`: neighbours correlate (squared) by 4/9, the next but one by 1/36.
double BinnedAverages(double averages, std::size_t width) {
  const auto g = static_cast<double>(width);
  const double correlated = 2.0 * (4.0 / 9.0 * (g - 1.0) + 1.0 / 36.0 * std::max(0.0, g - 2.0)) / g;
  return averages * g / (1.0 + correlated);
}

// The segment length for the record from the pilot: the shortest power of two
// from `shortest` on whose spectrum still resolves the peaks. A spectrum of
// segments g times shorter is, but for its noise, the pilot's averaged over g
// neighbouring bins, so the lengths below the pilot's are judged on those
// averages; where the pilot itself does not resolve, longer segments.
std::size_t ChooseLength(const std::vector<double>& pilotPower, std::size_t pilotLength, std::size_t pilotSegments,
                         std::size_t shortest, std::size_t longest) {
  const double averages = EffectiveAverages(pilotSegments);
  std::vector<double> amplitude(pilotPower.size());
  for (std::size_t k = 0; k < pilotPower.size(); ++k) amplitude[k] = std::sqrt(pilotPower[k]);
  const std::vector<SpectralPeak> pilotPeaks = FindSpectralPeaks(amplitude, averages, kMaxSpectrumPeaks);
  if (!Resolves(pilotPeaks))
    return pilotLength < longest ? LongerLength(pilotPeaks, pilotLength, longest) : pilotLength;

  std::optional<double> lowestPilotBin;
  for (const SpectralPeak& p : pilotPeaks) lowestPilotBin = std::min(p.Bin, lowestPilotBin.value_or(p.Bin));
  std::size_t best = pilotLength;
  for (std::size_t g = 2; pilotLength / g >= shortest; g *= 2) {
    const std::size_t bins = pilotLength / g / 2 + 1;
    amplitude.assign(bins, 0.0);
    for (std::size_t j = 0; j < bins; ++j) {
      const std::size_t from = j * g >= g / 2 ? j * g - g / 2 : 0;
      const std::size_t to = std::min(pilotPower.size(), j * g + g / 2);
      double sum = 0.0;
      for (std::size_t i = from; i < to; ++i) sum += pilotPower[i];
      amplitude[j] = std::sqrt(sum / static_cast<double>(to - from));
    }
    const std::vector<SpectralPeak> peaks =
        FindSpectralPeaks(amplitude, BinnedAverages(averages, g), kMaxSpectrumPeaks);
    if (!Resolves(peaks)) break;
    // The pilot's lowest peak must still stand out.
    if (lowestPilotBin && std::none_of(peaks.begin(), peaks.end(), [&](const SpectralPeak& p) {
          return std::fabs(p.Bin - *lowestPilotBin / static_cast<double>(g)) <= kPeakSeparationBins / 2.0;
        })) {
      break;
    }
    best = pilotLength / g;
  }
  return best;
}

}  // namespace

Spectrum WelchSpectrum(std::span<const float> samples, double rate, std::size_t segmentLength,
                       const Progress* progress) {
  if (!(rate > 0.0) || !std::isfinite(rate)) {
    return Failed(SpectrumFailureKind::BadRate, "サンプリング周波数が不正です。");
  }
  const std::size_t n = samples.size();
  if (n < kMinSpectrumSamples) {
    return Failed(SpectrumFailureKind::TooShort, "データが短すぎます（スペクトルには64点以上必要です）。");
  }
  if (segmentLength != 0 && (segmentLength < 4 || segmentLength % 2 != 0 || segmentLength > n)) {
    return Failed(SpectrumFailureKind::BadLength,
                  "区間長が不正です（4以上の偶数で、データの長さ以下にしてください）。");
  }
  ProgressTicker ticker(progress);
  const auto cancelled = [] { return Failed(SpectrumFailureKind::Cancelled, "中止しました。"); };
  const auto notFinite = [] { return Failed(SpectrumFailureKind::NotFinite, kNotFiniteMessage); };

  std::size_t longest = std::min(kMaxSegmentLength, PowerOfTwoAtMost(2 * n / (kMinWelchSegments + 1)));
  if (longest < kShortestSegment) longest = std::min(kShortestSegment, PowerOfTwoAtMost(n));
  const std::size_t shortest = std::min(kMinSegmentLength, longest);

  std::size_t length = segmentLength;
  std::vector<std::size_t> starts;
  std::vector<double> power;
  double done = 0.0;  // share of the progress used so far
  if (length == 0) {
    const std::size_t pilotLength = std::min(longest, kPilotMaxLength);
    const std::vector<std::size_t> pilotStarts =
        SegmentStarts(n, pilotLength, std::max<std::size_t>(2, kPilotSamples / pilotLength));
    if (!AveragePower(samples, pilotLength, pilotStarts, power, {&ticker, 0.0, kPilotShare}, progress)) {
      return cancelled();
    }
    done = kPilotShare;
    if (!AllFinite(power)) return notFinite();
    length = ChooseLength(power, pilotLength, pilotStarts.size(), shortest, longest);
    if (length == pilotLength && pilotStarts == SegmentStarts(n, pilotLength, n)) starts = pilotStarts;
  }
  for (int pass = 0;; ++pass) {
    if (starts.empty()) {
      starts = SegmentStarts(n, length, n);
      const double to = segmentLength != 0 || pass > 0 ? 1.0 : kSpectrumShare;
      if (!AveragePower(samples, length, starts, power, {&ticker, done, to}, progress)) return cancelled();
      if (!AllFinite(power)) return notFinite();
      done = to;
    }
    Spectrum out;
    out.SegmentLength = length;
    out.Segments = starts.size();
    out.Resolution = rate / static_cast<double>(length);
    out.Amplitude = AmplitudeOf(power, length);
    const std::vector<SpectralPeak> peaks =
        FindSpectralPeaks(out.Amplitude, EffectiveAverages(starts.size()), kMaxSpectrumPeaks);
    // The whole record may show a lower or narrower peak than the pilot's
    // sample of it did: once, the length it calls for.
    if (segmentLength == 0 && pass == 0) {
      if (!Resolves(peaks) && length < longest) {
        length = LongerLength(peaks, length, longest);
        starts.clear();
        continue;
      }
    }
    for (const SpectralPeak& peak : peaks) {
      out.Peaks.push_back({peak.Bin * out.Resolution, peak.Amplitude, peak.DampingRatio()});
    }
    ticker.Done();
    return out;
  }
}

std::optional<double> StrongestFrequency(std::span<const float> stretch, double rate) {
  const std::size_t n = stretch.size();
  if (!(rate > 0.0) || !std::isfinite(rate) || n < 8) return std::nullopt;
  // Padded four times over, within reason: a very long stretch gets less.
  const std::size_t length = std::max(
      PowerOfTwoAtLeast(n),
      std::min(kStrongestMaxTransform, PowerOfTwoAtLeast(std::max(kStrongestPadding * n, kStrongestMinTransform))));

  const auto count = static_cast<double>(n);
  const double centre = 0.5 * (count - 1.0);
  double s0 = 0.0, s1 = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    s0 += stretch[i];
    s1 += (static_cast<double>(i) - centre) * stretch[i];
  }
  if (!std::isfinite(s0) || !std::isfinite(s1)) return std::nullopt;
  const double level = s0 / count, slope = s1 / (count * (count * count - 1.0) / 12.0);
  std::vector<float> padded(length, 0.0f);
  for (std::size_t i = 0; i < n; ++i) {
    const double hann = 0.5 - 0.5 * std::cos(2.0 * kPi * (static_cast<double>(i) + 0.5) / count);
    padded[i] = static_cast<float>((stretch[i] - level - slope * (static_cast<double>(i) - centre)) * hann);
  }
  std::vector<double> amplitude(length / 2 + 1, 0.0);
  RealFft(length).AddPower(padded.data(), amplitude.data());
  for (double& a : amplitude) a = std::sqrt(a);

  // Two bins of the unpadded stretch: the main lobe of a leftover mean.
  const auto lowest =
      std::max<std::size_t>(1, static_cast<std::size_t>(std::ceil(2.0 * static_cast<double>(length) / count)));
  std::size_t best = 0;
  for (std::size_t k = lowest; k + 1 < amplitude.size(); ++k) {
    if (amplitude[k] > amplitude[k - 1] && amplitude[k] >= amplitude[k + 1] &&
        (best == 0 || amplitude[k] > amplitude[best])) {
      best = k;
    }
  }
  if (best == 0) return std::nullopt;
  const double bin =
      static_cast<double>(best) + InterpolatePeak(amplitude[best - 1], amplitude[best], amplitude[best + 1]).Offset;
  return bin * rate / static_cast<double>(length);
}
