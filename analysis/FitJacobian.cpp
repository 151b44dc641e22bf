#include "analysis/FitJacobian.h"

#include <cmath>

namespace {

// A diagonal entry of the QR factor of the unit-norm columns below this leaves a
// column determined by the others, beyond what single-precision samples carry.
constexpr double kRankTolerance = 1e-6;

}  // namespace

std::optional<FitLinearisation> LineariseFit(const FitPointSet& points, const FitResult& result) {
  const double a = result.A, wn = result.Wn, h = result.H, phi = result.Phi;
  if (!std::isfinite(a) || !std::isfinite(wn) || !std::isfinite(h) || !std::isfinite(phi) || h * h >= 1.0) {
    return std::nullopt;
  }
  const double q = std::sqrt(1.0 - h * h);
  FitLinearisation out;
  for (int k = 0; k < kFitPoints; ++k) {
    const double t = FitPointTime(points, k);
    const double decay = std::exp(-h * wn * t);
    const double angle = q * wn * t + phi;
    const double c = std::cos(angle), s = std::sin(angle);
    const double ad = a * decay;
    out.Times(k) = t;
    out.J(k, kColumnA) = decay * c;
    out.J(k, kColumnWn) = -ad * h * t * c - ad * q * t * s;
    out.J(k, kColumnH) = -ad * wn * t * c + ad * wn * t * (h / q) * s;
    out.J(k, kColumnPhi) = -ad * s;
    out.Residuals(k) = points.Values[k] - ad * c;
  }
  // QR of the columns scaled to unit norm, so the rank test does not depend on units.
  Eigen::Matrix<double, kFitParameters, 1> norms;
  for (int j = 0; j < kFitParameters; ++j) {
    norms(j) = out.J.col(j).norm();
    if (!(norms(j) > 0.0) || !std::isfinite(norms(j))) return std::nullopt;
  }
  const FitJacobianMatrix scaled = out.J * norms.cwiseInverse().asDiagonal();
  const Eigen::HouseholderQR<FitJacobianMatrix> qr(scaled);
  const ParameterMatrix r = qr.matrixQR().topRows<kFitParameters>().triangularView<Eigen::Upper>();
  for (int j = 0; j < kFitParameters; ++j) {
    if (!(std::fabs(r(j, j)) > kRankTolerance)) return std::nullopt;
  }
  out.Q = qr.householderQ();
  // J = Q₁·R·diag(norms), so (JᵀJ)⁻¹Jᵀ = diag(norms)⁻¹·R⁻¹·Q₁ᵀ.
  const ParameterMatrix rInverse = r.triangularView<Eigen::Upper>().solve(ParameterMatrix::Identity());
  const ParameterMatrix scaledInverse = norms.cwiseInverse().asDiagonal() * rInverse;
  out.G = scaledInverse * out.Q.leftCols<kFitParameters>().transpose();
  out.Normal = scaledInverse * scaledInverse.transpose();
  return out;
}
