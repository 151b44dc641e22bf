#include "analysis/SpectrumPeaks.h"

#include <algorithm>
#include <cmath>

namespace {

// A peak stands at least 3 dB above the noise and above its saddle.
constexpr double kMinPeakRatio = 2.0;
// Chance that noise alone shows a peak somewhere in one spectrum.
constexpr double kFalsePeakChance = 0.01;
// Squared correlation of two Hann segments that overlap by half.
constexpr double kHalfOverlapCorrelation2 = 1.0 / 36.0;
// The floor is the median over [k/√2, k·√2], at least this many bins; it is
// computed every eighth of an octave and interpolated in between.
constexpr std::size_t kMinFloorBins = 17;
constexpr double kHalfOctave = 1.4142135623730951;
constexpr std::size_t kFloorStepDivisor = 8;
// A peak's top, down to a quarter of its power, is fitted when it spans this
// many bins.
constexpr double kTopLevel = 0.25;
constexpr std::size_t kFitBins = 7;
// A Lorentzian peak seen through the Hann window's power kernel widens in
// quadrature: measured² ≈ true² + this many bins², where its band is read
// from the crossings of half power, or from a fit to its top (computed for
// this window on peaks 4 to 20 bins wide).
constexpr double kCrossingWideningBins2 = 4.6;
constexpr double kFitWideningBins2 = 2.7;

// z with P(N(0,1) > z) = p, by bisection on erfc.
double UpperNormalQuantile(double p) {
  double lo = 0.0, hi = 40.0;
  for (int i = 0; i < 200 && hi - lo > 1e-12; ++i) {
    const double mid = 0.5 * (lo + hi);
    if (0.5 * std::erfc(mid / std::sqrt(2.0)) > p) {
      lo = mid;
    } else {
      hi = mid;
    }
  }
  return 0.5 * (lo + hi);
}

// Wilson–Hilferty: (χ²_ν/ν)^(1/3) is nearly normal with mean 1 − 2/(9ν) and
// variance 2/(9ν).
double ChiSquareMeanQuantile(double nu, double z) {
  const double v = 2.0 / (9.0 * nu);
  const double root = std::max(0.0, 1.0 - v + z * std::sqrt(v));
  return root * root * root;
}

// How far noise alone lifts one averaged bin over another, at most, in `tests`
// comparisons: both are noisy, so the upper quantile over the lower one.
double NoiseContrast(double averages, std::size_t tests) {
  const double z = UpperNormalQuantile(kFalsePeakChance / static_cast<double>(std::max<std::size_t>(tests, 1)));
  const double lower = ChiSquareMeanQuantile(2.0 * averages, -z);
  return lower > 0.0 ? ChiSquareMeanQuantile(2.0 * averages, z) / lower : HUGE_VAL;
}

// Mean noise power at every bin from kLowestPeakBin on (0 below).
std::vector<double> NoiseFloor(const std::vector<double>& power, double averages) {
  const std::size_t bins = power.size();
  std::vector<double> floor(bins, 0.0);
  std::vector<std::size_t> anchors;
  for (std::size_t a = kLowestPeakBin; a < bins; a += std::max<std::size_t>(1, a / kFloorStepDivisor)) {
    anchors.push_back(a);
  }
  if (anchors.back() != bins - 1) anchors.push_back(bins - 1);

  // The median of χ²_ν/ν turns the median into the mean.
  const double medianToMean = 1.0 / ChiSquareMeanQuantile(2.0 * averages, 0.0);
  std::vector<double> scratch;
  std::vector<double> anchorFloor(anchors.size());
  for (std::size_t i = 0; i < anchors.size(); ++i) {
    const std::size_t a = anchors[i];
    std::size_t lo = std::max(kLowestPeakBin, static_cast<std::size_t>(std::floor(a / kHalfOctave)));
    std::size_t hi = std::min(bins - 1, static_cast<std::size_t>(std::ceil(a * kHalfOctave)));
    while (hi - lo + 1 < kMinFloorBins && (lo > kLowestPeakBin || hi < bins - 1)) {
      if (lo > kLowestPeakBin) --lo;
      if (hi < bins - 1) ++hi;
    }
    scratch.assign(power.begin() + static_cast<std::ptrdiff_t>(lo),
                   power.begin() + static_cast<std::ptrdiff_t>(hi) + 1);
    const auto middle = scratch.begin() + static_cast<std::ptrdiff_t>(scratch.size() / 2);
    std::nth_element(scratch.begin(), middle, scratch.end());
    anchorFloor[i] = *middle * medianToMean;
  }
  for (std::size_t i = 0; i + 1 < anchors.size(); ++i) {
    const std::size_t a = anchors[i], b = anchors[i + 1];
    for (std::size_t k = a; k <= b; ++k) {
      const double t = static_cast<double>(k - a) / static_cast<double>(b - a);
      floor[k] = anchorFloor[i] + t * (anchorFloor[i + 1] - anchorFloor[i]);
    }
  }
  if (anchors.size() == 1) floor[anchors[0]] = anchorFloor[0];
  return floor;
}

// The higher of the lowest powers on either side of k before the spectrum
// rises above power[k] (or ends).
double Saddle(const std::vector<double>& power, std::size_t k) {
  double left = power[k];
  for (std::size_t j = k; j-- > 0 && power[j] <= power[k];) left = std::min(left, power[j]);
  double right = power[k];
  for (std::size_t j = k + 1; j < power.size() && power[j] <= power[k]; ++j) right = std::min(right, power[j]);
  return std::max(left, right);
}

// Walks from the peak at k in `step` (−1 or +1) to where the power falls below
// `half`; the point between bins, or nothing when it is not reached cleanly.
std::optional<double> HalfPowerPoint(const std::vector<double>& power, std::size_t k, int step, double half,
                                     double riseRatio) {
  double lowest = power[k];
  std::ptrdiff_t j = static_cast<std::ptrdiff_t>(k);
  const auto last = static_cast<std::ptrdiff_t>(power.size()) - 1;
  while (power[static_cast<std::size_t>(j)] > half) {
    j += step;
    if (j < static_cast<std::ptrdiff_t>(kLowestPeakBin) || j > last) return std::nullopt;
    const double p = power[static_cast<std::size_t>(j)];
    if (p > lowest * riseRatio) return std::nullopt;  // climbing another peak
    lowest = std::min(lowest, p);
  }
  const double below = power[static_cast<std::size_t>(j)];
  const double above = power[static_cast<std::size_t>(j - step)];
  const double t = (half - below) / (above - below);  // from j towards the peak
  return static_cast<double>(j) - step * t;
}

// The last bin from k in `step` whose three-bin mean stays at or above
// `level`; nothing at an end of the spectrum or where it climbs another peak.
std::optional<std::size_t> TopEdge(const std::vector<double>& power, std::size_t k, int step, double level,
                                   double riseRatio) {
  double lowest = power[k];
  auto j = static_cast<std::ptrdiff_t>(k);
  const auto last = static_cast<std::ptrdiff_t>(power.size()) - 2;
  while (true) {
    const std::ptrdiff_t next = j + step;
    if (next - 1 < static_cast<std::ptrdiff_t>(kLowestPeakBin) || next > last) return std::nullopt;
    const auto i = static_cast<std::size_t>(next);
    if ((power[i - 1] + power[i] + power[i + 1]) / 3.0 < level) return static_cast<std::size_t>(j);
    if (power[i] > lowest * riseRatio) return std::nullopt;
    lowest = std::min(lowest, power[i]);
    j = next;
  }
}

// A Lorentzian P0 / (1 + ((b − b0)/γ)²) through the bins first … last: 1/P is a
// quadratic in b, fitted by linear least squares on relative residuals, so
// every bin counts alike whatever its height.
struct Lorentzian {
  double Centre = 0.0;     // b0, bins
  double Peak = 0.0;       // P0
  double HalfWidth = 0.0;  // γ, bins: the half-power points are b0 ± γ
};

std::optional<Lorentzian> FitLorentzian(const std::vector<double>& power, std::size_t first, std::size_t last,
                                        std::size_t k) {
  const double scale = std::max(1.0, 0.5 * static_cast<double>(last - first));
  double m[3][4] = {};  // normal equations, augmented
  for (std::size_t j = first; j <= last; ++j) {
    const double x = (static_cast<double>(j) - static_cast<double>(k)) / scale;
    const double row[3] = {power[j], power[j] * x, power[j] * x * x};
    for (int r = 0; r < 3; ++r) {
      for (int c = 0; c < 3; ++c) m[r][c] += row[r] * row[c];
      m[r][3] += row[r];
    }
  }
  for (int c = 0; c < 3; ++c) {  // Gaussian elimination, partial pivoting
    int pivot = c;
    for (int r = c + 1; r < 3; ++r) {
      if (std::fabs(m[r][c]) > std::fabs(m[pivot][c])) pivot = r;
    }
    if (!(std::fabs(m[pivot][c]) > 0.0)) return std::nullopt;
    for (int i = 0; i < 4; ++i) std::swap(m[c][i], m[pivot][i]);
    for (int r = 0; r < 3; ++r) {
      if (r == c) continue;
      const double factor = m[r][c] / m[c][c];
      for (int i = c; i < 4; ++i) m[r][i] -= factor * m[c][i];
    }
  }
  const double a = m[0][3] / m[0][0], b = m[1][3] / m[1][1], c = m[2][3] / m[2][2];
  if (!(c > 0.0)) return std::nullopt;
  const double vertex = -b / (2.0 * c);
  const double lowest = a - b * b / (4.0 * c);  // 1/P0
  if (!(lowest > 0.0) || !std::isfinite(vertex)) return std::nullopt;
  Lorentzian fit{static_cast<double>(k) + scale * vertex, 1.0 / lowest, scale * std::sqrt(lowest / c)};
  if (fit.Centre < static_cast<double>(first) || fit.Centre > static_cast<double>(last)) return std::nullopt;
  return fit;
}

}  // namespace

PeakVertex InterpolatePeak(double before, double middle, double after) {
  if (!(before > 0.0 && after > 0.0 && middle > 0.0)) return {0.0, middle};
  const double la = std::log(before), lb = std::log(middle), lc = std::log(after);
  const double curvature = la - 2.0 * lb + lc;
  if (!(curvature < 0.0)) return {0.0, middle};
  const double offset = std::clamp(0.5 * (la - lc) / curvature, -0.5, 0.5);
  return {offset, std::exp(lb - 0.25 * (la - lc) * offset)};
}

std::optional<double> SpectralPeak::DampingRatio() const {
  if (Band != HalfPower::Resolved) return std::nullopt;
  return WidthBins / (LowerBin + UpperBin);
}

double EffectiveAverages(std::size_t segments) {
  const auto k = static_cast<double>(segments);
  return k / (1.0 + 2.0 * kHalfOverlapCorrelation2 * (k - 1.0) / k);
}

double NoiseExceedanceRatio(double averages, std::size_t bins) {
  const double z = UpperNormalQuantile(kFalsePeakChance / static_cast<double>(std::max<std::size_t>(bins, 1)));
  return ChiSquareMeanQuantile(2.0 * averages, z);
}

std::vector<SpectralPeak> FindSpectralPeaks(std::span<const double> amplitude, double averages, std::size_t maxPeaks) {
  const std::size_t bins = amplitude.size();
  if (bins < kLowestPeakBin + 3 || maxPeaks == 0) return {};
  std::vector<double> power(bins);
  for (std::size_t k = 0; k < bins; ++k) power[k] = amplitude[k] * amplitude[k];
  const std::vector<double> floor = NoiseFloor(power, averages);
  const double ratio = std::max(kMinPeakRatio, NoiseExceedanceRatio(averages, bins));

  std::vector<std::size_t> candidates;
  for (std::size_t k = kLowestPeakBin; k + 1 < bins; ++k) {
    const double p = power[k];
    if (p > power[k - 1] && p >= power[k + 1] && p >= ratio * floor[k]) candidates.push_back(k);
  }
  // A peak also stands out of the saddle towards any higher one, by more than
  // noise makes of two bins.
  const double contrast = std::max(kMinPeakRatio, NoiseContrast(averages, candidates.size()));
  std::vector<std::size_t> found;
  for (const std::size_t k : candidates) {
    if (power[k] >= contrast * Saddle(power, k)) found.push_back(k);
  }
  std::stable_sort(found.begin(), found.end(), [&](std::size_t a, std::size_t b) { return power[a] > power[b]; });
  if (found.size() > maxPeaks) found.resize(maxPeaks);

  std::vector<SpectralPeak> peaks;
  peaks.reserve(found.size());
  for (const std::size_t k : found) {
    const PeakVertex vertex = InterpolatePeak(amplitude[k - 1], amplitude[k], amplitude[k + 1]);
    SpectralPeak peak;
    peak.Bin = static_cast<double>(k) + vertex.Offset;
    peak.Amplitude = vertex.Amplitude;
    // A wide top is fitted, which averages its noise; a narrow one is read
    // where the power crosses half between bins.
    const double top = peak.Amplitude * peak.Amplitude;
    const std::optional<std::size_t> topFirst = TopEdge(power, k, -1, kTopLevel * top, contrast);
    const std::optional<std::size_t> topLast = TopEdge(power, k, +1, kTopLevel * top, contrast);
    std::optional<Lorentzian> fit;
    if (topFirst && topLast && *topLast - *topFirst + 1 >= kFitBins) fit = FitLorentzian(power, *topFirst, *topLast, k);
    double measured = 0.0, widening = 0.0;
    if (fit && 0.5 * fit->Peak >= ratio * floor[k]) {
      peak.Bin = fit->Centre;
      peak.Amplitude = std::sqrt(fit->Peak);
      peak.LowerBin = fit->Centre - fit->HalfWidth;
      peak.UpperBin = fit->Centre + fit->HalfWidth;
      measured = 2.0 * fit->HalfWidth;
      widening = kFitWideningBins2;
    } else if (!fit) {
      const double half = 0.5 * top;
      const std::optional<double> lower = HalfPowerPoint(power, k, -1, half, contrast);
      const std::optional<double> upper = HalfPowerPoint(power, k, +1, half, contrast);
      if (lower && upper && half >= ratio * floor[k]) {
        peak.LowerBin = *lower;
        peak.UpperBin = *upper;
        measured = *upper - *lower;
        widening = kCrossingWideningBins2;
      }
    }
    if (measured > 0.0 && peak.LowerBin >= static_cast<double>(kLowestPeakBin)) {
      peak.Band = measured >= kMinHalfPowerBins ? HalfPower::Resolved : HalfPower::Narrow;
      peak.WidthBins = std::sqrt(std::max(0.0, measured * measured - widening));
    }
    peaks.push_back(peak);
  }
  return peaks;
}
