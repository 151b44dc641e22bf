#include "analysis/CorrelatedErrors.h"

#include <Eigen/Dense>
#include <kissfft/kissfft.hh>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>

#include "analysis/FftSize.h"

namespace {

constexpr double kNormal975 = 1.959963984540054;
// Exact two-sided 95 % quantiles of Student's t for 1, 2 and 3 degrees of freedom, where the
// expansion about the normal quantile does not reach.
constexpr double kStudent1 = 12.706204736174707;
constexpr double kStudent2 = 4.302652729749464;
constexpr double kStudent3 = 3.182446305284263;
// A bin's share of white noise after the fit is never taken below this fraction of n/N, so a
// window the fit has emptied cannot divide by nothing.
constexpr double kLeastKeptShare = 0.05;

using Eigen::Index;
using Eigen::Map;
using Eigen::MatrixXd;
using Eigen::VectorXd;
using Complex = std::complex<double>;

}  // namespace

CorrelatedCovariance CorrelatedLeastSquaresCovariance(std::span<const double> residual,
                                                      std::span<const double> jacobian,
                                                      std::span<const double> normalInverse, int parameters) {
  const std::size_t n = residual.size();
  const auto p = static_cast<Index>(parameters);
  // Zero-padded to at least 2n, so the circular correlations of the transform are the linear ones.
  const std::size_t size = FastFftSize(2 * n);
  const std::size_t half = size / 2;
  const double unit = 1.0 / std::sqrt(static_cast<double>(size));
  const double kept = static_cast<double>(n) / static_cast<double>(size);  // n/N, white noise's share per bin
  const kissfft<double> fft(size, false);

  std::vector<Complex> in(size), out(size);
  // Unit-normalised transforms: Σ over all bins of |X_k|² is Σ x². Only bins 0 … N/2; the others
  // are their conjugates.
  std::vector<double> periodogram(half + 1);
  std::fill(in.begin(), in.end(), Complex());
  for (std::size_t i = 0; i < n; ++i) in[i] = residual[i];
  fft.transform(in.data(), out.data());
  for (std::size_t k = 0; k <= half; ++k) periodogram[k] = std::norm(out[k]) * unit * unit;

  MatrixXd re(static_cast<Index>(half + 1), p), im(static_cast<Index>(half + 1), p);
  for (Index j = 0; j < p; ++j) {
    std::fill(in.begin(), in.end(), Complex());
    for (std::size_t i = 0; i < n; ++i) in[i] = jacobian[static_cast<std::size_t>(j) * n + i];
    fft.transform(in.data(), out.data());
    for (std::size_t k = 0; k <= half; ++k) {
      re(static_cast<Index>(k), j) = out[k].real() * unit;
      im(static_cast<Index>(k), j) = out[k].imag() * unit;
    }
  }
  const Map<const MatrixXd> inverse(normalInverse.data(), p, p);

  // What each bin keeps of white noise after the fit: n/N less the leverage ĵᴴ·(JᵀJ)⁻¹·ĵ there.
  const VectorXd leverage =
      (re * inverse).cwiseProduct(re).rowwise().sum() + (im * inverse).cwiseProduct(im).rowwise().sum();
  std::vector<double> share(half + 1);
  for (std::size_t k = 0; k <= half; ++k) {
    share[k] = std::max(kept - leverage(static_cast<Index>(k)), kLeastKeptShare * kept);
  }

  // Noise level of every bin: the periodogram over the window, divided by the white noise it kept.
  const auto window = static_cast<std::ptrdiff_t>(std::lround(kNoiseSmoothingBins / kept));
  std::vector<double> sumPower(half + 2, 0.0), sumShare(half + 2, 0.0);
  for (std::size_t k = 0; k <= half; ++k) {
    sumPower[k + 1] = sumPower[k] + periodogram[k];
    sumShare[k + 1] = sumShare[k] + share[k];
  }
  auto windowOf = [&](std::size_t k) {
    const auto lo = static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, static_cast<std::ptrdiff_t>(k) - window));
    const std::size_t hi = std::min(half, k + static_cast<std::size_t>(window));
    return std::pair<std::size_t, std::size_t>(lo, hi + 1);
  };
  VectorXd level(static_cast<Index>(half + 1));
  for (std::size_t k = 0; k <= half; ++k) {
    const auto [lo, hi] = windowOf(k);
    level(static_cast<Index>(k)) = (sumPower[hi] - sumPower[lo]) / (sumShare[hi] - sumShare[lo]);
  }

  // JᵀΣJ = Σ over all bins of S_k·Re(ĵ_k·ĵ_kᴴ); bins 1 … N/2 − 1 stand for their conjugates too.
  VectorXd weight = 2.0 * level;
  weight(0) = level(0);
  if (size % 2 == 0) weight(static_cast<Index>(half)) = level(static_cast<Index>(half));
  const MatrixXd middle = re.transpose() * weight.asDiagonal() * re + im.transpose() * weight.asDiagonal() * im;
  const MatrixXd covariance = inverse * middle * inverse;

  CorrelatedCovariance result;
  result.Covariance.assign(covariance.data(), covariance.data() + covariance.size());
  result.Freedom.resize(static_cast<std::size_t>(p));
  for (Index j = 0; j < p; ++j) {
    Index peak = 0;
    (re.col(j).cwiseAbs2() + im.col(j).cwiseAbs2()).maxCoeff(&peak);
    const auto [lo, hi] = windowOf(static_cast<std::size_t>(peak));
    // Each independent bin holds two degrees of freedom; the fit took the leverage's share.
    result.Freedom[static_cast<std::size_t>(j)] = 2.0 * (sumShare[hi] - sumShare[lo]);
  }
  return result;
}

double StudentQuantile95(double freedom) {
  if (!(freedom >= 2.0)) return kStudent1;  // the widest
  if (freedom < 3.0) {
    // Between the exact values at 2 and 3, the logarithm linear in 1/ν (within 0.5 %).
    const double s = (1.0 / freedom - 1.0 / 3.0) / (1.0 / 2.0 - 1.0 / 3.0);
    return kStudent3 * std::pow(kStudent2 / kStudent3, s);
  }
  const double z = kNormal975;
  const double z2 = z * z;
  const double v = freedom;
  const double g1 = (z2 + 1.0) * z / 4.0;
  const double g2 = ((5.0 * z2 + 16.0) * z2 + 3.0) * z / 96.0;
  const double g3 = (((3.0 * z2 + 19.0) * z2 + 17.0) * z2 - 15.0) * z / 384.0;
  const double g4 = ((((79.0 * z2 + 776.0) * z2 + 1482.0) * z2 - 1920.0) * z2 - 945.0) * z / 92160.0;
  return z + g1 / v + g2 / (v * v) + g3 / (v * v * v) + g4 / (v * v * v * v);
}
