#include "analysis/MatrixPencil.h"

#include <Eigen/Dense>
#include <kissfft/kissfft.hh>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <vector>

#include "analysis/DampedBasis.h"
#include "analysis/FftSize.h"

namespace {

constexpr double kPi = 3.141592653589793;

// Decimation by D low-passes with a Blackman-windowed sinc of 2·16·D + 1 taps cut at 0.4/D cycles
// per sample. Its pass band ends near 0.31/D and its stop band (−74 dB) starts near 0.49/D, so
// nothing above the decimated Nyquist frequency 0.5/D folds back with more than 2·10⁻⁴ of its
// amplitude. A pole's own samples pass as H(s)·zⁿ exactly wherever the whole kernel lies inside the
// stretch, so only those outputs are kept.
constexpr int kAntiAliasTapsPerFactor = 16;
constexpr double kAntiAliasCutoff = 0.4;
// The strongest content must lie below this fraction of the rate after decimation (inside the pass
// band); a stretch whose peaks reach higher is decimated less and only its beginning is used.
constexpr double kDecimatedPassband = 0.3;
// Poles are kept up to 0.45 of the pencil's sampling rate: beyond the stop band's start nothing is
// left to find, and near the Nyquist frequency a pair of poles cannot be told from a real one.
constexpr double kHighestPoleArgument = 0.9 * kPi;

// A spectrum peak counts when it is within 40 dB of the strongest and 20 times above the median
// bin (a white-noise bin exceeds 20 medians with a probability of 10⁻⁶).
constexpr double kPeakDynamicRange = 1e-4;
constexpr double kPeakOverMedian = 20.0;
constexpr int kPeakMarginBins = 3;          // a peak's main lobe and a bin more
constexpr std::size_t kTaperFraction = 10;  // the last tenth is tapered

// Hankel matrix of L + 1 columns with L = M/3, the choice that estimates poles in noise best; the
// singular values above three times the median one carry signal, and a few spare poles more than
// that (or than twice the modes wanted) take up noise.
constexpr double kSignalOverMedian = 3.0;
constexpr int kSparePoles = 8;
constexpr int kMaxPencilOrder = 48;

// A pole damped beyond h = 0.5 (or growing as fast) is gone within a cycle: the transient of an
// onset or of noise, not a mode.
constexpr double kMaxPoleDamping = 0.5;
// A pole may grow by at most e^9.2 ≈ 10⁴ over the stretch.
constexpr double kMaxGrowthNepers = 9.2;
// A pole carrying less than this share of the stretch's RMS is below the single-precision samples'
// resolution.
constexpr double kNegligibleRms = 1e-5;

// Frequency (in cycles per sample) of the highest spectrum peak that stands out of the noise and
// within the dynamic range of the strongest, plus the window's main lobe: the top of the content
// that decimation must keep. Periodogram of the mean-free samples, tapered only over their last
// tenth: a decay lives at the stretch's beginning, which a symmetric window would suppress.
double HighestPeak(const std::vector<double>& x) {
  const std::size_t n = x.size();
  const std::size_t nfft = FastFftSize(n);
  double mean = 0.0;
  for (const double v : x) mean += v;
  mean /= static_cast<double>(n);
  const std::size_t taper = std::max<std::size_t>(1, n / kTaperFraction);
  std::vector<std::complex<double>> in(nfft), out(nfft);
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t fromEnd = n - 1 - i;
    const double w =
        fromEnd >= taper
            ? 1.0
            : 0.5 - 0.5 * std::cos(kPi * (static_cast<double>(fromEnd) + 0.5) / static_cast<double>(taper));
    in[i] = (x[i] - mean) * w;
  }
  kissfft<double>(nfft, false).transform(in.data(), out.data());
  const std::size_t half = nfft / 2;
  std::vector<double> power(half + 1);
  for (std::size_t k = 0; k <= half; ++k) power[k] = std::norm(out[k]);
  std::vector<double> sorted(power.begin() + 1, power.end());
  std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2), sorted.end());
  const double median = sorted[sorted.size() / 2];
  const double strongest = *std::max_element(power.begin() + 1, power.end());
  const double threshold = std::max(kPeakDynamicRange * strongest, kPeakOverMedian * median);
  std::size_t top = 1;
  for (std::size_t k = 1; k <= half; ++k) {
    if (power[k] < threshold) continue;
    // A peak is the largest bin within its main lobe, not a ripple on another peak's flank.
    const std::size_t lo = k > kPeakMarginBins ? k - kPeakMarginBins : 0;
    const std::size_t hi = std::min(half, k + kPeakMarginBins);
    if (*std::max_element(power.begin() + static_cast<std::ptrdiff_t>(lo),
                          power.begin() + static_cast<std::ptrdiff_t>(hi) + 1) == power[k]) {
      top = k;
    }
  }
  return static_cast<double>(std::min(top + kPeakMarginBins, half)) / static_cast<double>(nfft);
}

// Every D-th output of the anti-alias filter over x[0, length), where the whole kernel fits.
std::vector<double> Decimate(const std::vector<double>& x, std::size_t length, int factor) {
  const int half = kAntiAliasTapsPerFactor * factor;
  const double cutoff = kAntiAliasCutoff / factor;
  std::vector<double> kernel(static_cast<std::size_t>(2 * half + 1));
  double sum = 0.0;
  for (int k = -half; k <= half; ++k) {
    const double a = kPi * k / half;
    const double window = 0.42 + 0.5 * std::cos(a) + 0.08 * std::cos(2.0 * a);
    const double sinc = k == 0 ? 2.0 * cutoff : std::sin(2.0 * kPi * cutoff * k) / (kPi * k);
    kernel[static_cast<std::size_t>(k + half)] = sinc * window;
    sum += sinc * window;
  }
  for (double& g : kernel) g /= sum;  // unit gain at 0 Hz
  std::vector<double> out;
  for (std::size_t c = static_cast<std::size_t>(half); c + static_cast<std::size_t>(half) < length;
       c += static_cast<std::size_t>(factor)) {
    double acc = 0.0;
    const double* s = &x[c - static_cast<std::size_t>(half)];
    for (std::size_t j = 0; j < kernel.size(); ++j) acc += kernel[j] * s[j];
    out.push_back(acc);
  }
  return out;
}

PencilPoles Failed(const char* message) {
  PencilPoles out;
  out.Failure = message;
  return out;
}

}  // namespace

double PencilPole::Wn() const { return std::hypot(Sigma, Wd); }
double PencilPole::F() const { return Wn() / (2.0 * kPi); }
double PencilPole::H() const { return Sigma / Wn(); }

PencilPoles FindPencilPoles(std::span<const float> stretch, double rate, int wanted, bool offset) {
  if (!(rate > 0.0) || !std::isfinite(rate)) return Failed("サンプリング周波数が正しくありません。");
  const std::size_t n = stretch.size();
  if (n < static_cast<std::size_t>(kMinPencilSamples)) return Failed("区間が短すぎます。");
  std::vector<double> x(n);
  double sumSquares = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    if (!std::isfinite(stretch[i])) return Failed("区間に数値でないデータがあります。");
    x[i] = stretch[i];
    sumSquares += x[i] * x[i];
  }
  if (!(sumSquares > 0.0)) return Failed("区間のデータがすべて0です。");

  // Decimate as far as the rows need and the content allows; use only the beginning of the stretch
  // (where a decay is strongest) when the content forbids decimating far enough.
  std::vector<double> u;
  int factor = 1;
  if (n <= static_cast<std::size_t>(kPencilSamples)) {
    u = x;
  } else {
    const int needed = static_cast<int>((n + kPencilSamples - 1) / kPencilSamples);
    const int allowed = std::max(1, static_cast<int>(std::floor(kDecimatedPassband / HighestPeak(x))));
    factor = std::min(needed, allowed);
    if (factor == 1) {
      u.assign(x.begin(), x.begin() + kPencilSamples);
    } else {
      const std::size_t span =
          static_cast<std::size_t>(kPencilSamples + 2 * kAntiAliasTapsPerFactor) * static_cast<std::size_t>(factor);
      u = Decimate(x, std::min(n, span), factor);
    }
  }
  const int m = static_cast<int>(u.size());
  const int pencil = m / 3;
  const int rows = m - pencil;
  const int maxOrder = std::min({pencil - 1, rows - 1, kMaxPencilOrder});
  if (m < kMinPencilSamples || maxOrder < 2 * wanted) return Failed("区間が短すぎます。");

  Eigen::MatrixXd hankel(rows, pencil + 1);
  for (int i = 0; i < rows; ++i) {
    for (int j = 0; j <= pencil; ++j) hankel(i, j) = u[static_cast<std::size_t>(i + j)];
  }
  const Eigen::BDCSVD<Eigen::MatrixXd> svd(hankel, Eigen::ComputeThinV);
  const Eigen::VectorXd& singular = svd.singularValues();
  const double median = singular(singular.size() / 2);
  int significant = 0;
  while (significant < singular.size() && singular(significant) > kSignalOverMedian * median) ++significant;
  const int order = std::min(maxOrder, std::max(2 * wanted, significant) + kSparePoles);

  // V₁·Φ = V₂ over the kept right singular vectors, without their last and first rows.
  const Eigen::MatrixXd v = svd.matrixV().leftCols(order);
  const Eigen::MatrixXd phi = v.topRows(pencil).colPivHouseholderQr().solve(v.bottomRows(pencil));
  const Eigen::EigenSolver<Eigen::MatrixXd> eigen(phi, false);
  if (eigen.info() != Eigen::Success) return Failed("極の計算に失敗しました。");

  const double pencilStep = factor / rate;  // s
  const double duration = static_cast<double>(n) / rate;
  std::vector<PencilPole> poles;
  for (const std::complex<double>& z : eigen.eigenvalues()) {
    const double angle = std::arg(z);
    if (!(angle > 0.0) || angle > kHighestPoleArgument || !(std::abs(z) > 0.0)) continue;
    PencilPole pole;
    pole.Sigma = -std::log(std::abs(z)) / pencilStep;
    pole.Wd = angle / pencilStep;
    if (pole.Wd * duration < 2.0 * kPi) continue;  // less than one cycle in the stretch
    if (std::fabs(pole.H()) > kMaxPoleDamping || -pole.Sigma * duration > kMaxGrowthNepers) continue;
    poles.push_back(pole);
  }

  PencilPoles out;
  out.MeanSquare = sumSquares / static_cast<double>(n);
  out.Decimation = factor;
  out.Order = order;
  if (poles.empty()) return out;
  out.Offset = FitPoleAmplitudes(stretch, rate, poles, offset);
  const double floor = kNegligibleRms * std::sqrt(out.MeanSquare);
  std::erase_if(poles, [floor](const PencilPole& p) { return !(p.Rms > floor); });
  std::sort(poles.begin(), poles.end(), [](const PencilPole& a, const PencilPole& b) { return a.Rms > b.Rms; });
  out.Poles = std::move(poles);
  return out;
}
