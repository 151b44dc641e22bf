#include "analysis/DampedBasis.h"

#include <Eigen/Dense>

#include <cmath>
#include <complex>
#include <cstddef>

namespace {

// Powers of the factor are exact to about 1e-16 per step; restarting every 256 samples keeps the
// columns within 1e-13 of exp() at any length.
constexpr std::size_t kRestartEvery = 256;

// Columns whose part the others cannot tell apart to 1e-9 of the largest pivot get no amplitude.
constexpr double kRankThreshold = 1e-9;

}  // namespace

void DampedColumns(double sigma, double wd, double rate, std::span<double> cosColumn, std::span<double> sinColumn) {
  const std::complex<double> s(-sigma, wd);
  const std::complex<double> factor = std::exp(s / rate);
  std::complex<double> w;
  for (std::size_t i = 0; i < cosColumn.size(); ++i) {
    w = i % kRestartEvery == 0 ? std::exp(s * (static_cast<double>(i) / rate)) : w * factor;
    cosColumn[i] = w.real();
    sinColumn[i] = w.imag();
  }
}

double FitPoleAmplitudes(std::span<const float> stretch, double rate, std::span<PencilPole> poles, bool offset) {
  const auto n = static_cast<Eigen::Index>(stretch.size());
  const auto count = static_cast<Eigen::Index>(poles.size());
  Eigen::MatrixXd basis(n, 2 * count + (offset ? 1 : 0));
  for (Eigen::Index k = 0; k < count; ++k) {
    DampedColumns(poles[static_cast<std::size_t>(k)].Sigma, poles[static_cast<std::size_t>(k)].Wd, rate,
                  std::span<double>(basis.col(2 * k).data(), stretch.size()),
                  std::span<double>(basis.col(2 * k + 1).data(), stretch.size()));
  }
  if (offset) basis.col(2 * count).setOnes();
  Eigen::VectorXd y(n);
  for (Eigen::Index i = 0; i < n; ++i) y(i) = stretch[static_cast<std::size_t>(i)];

  Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(basis);
  qr.setThreshold(kRankThreshold);
  const Eigen::VectorXd amplitude = qr.solve(y);
  for (Eigen::Index k = 0; k < count; ++k) {
    PencilPole& pole = poles[static_cast<std::size_t>(k)];
    pole.C = amplitude(2 * k);
    pole.S = amplitude(2 * k + 1);
    const Eigen::VectorXd part = pole.C * basis.col(2 * k) + pole.S * basis.col(2 * k + 1);
    pole.Rms = std::sqrt(part.squaredNorm() / static_cast<double>(n));
  }
  return offset ? amplitude(2 * count) : 0.0;
}
