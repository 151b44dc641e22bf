#include "analysis/FitInterval.h"

#include <Eigen/Eigenvalues>
#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/FitJacobian.h"
#include "analysis/StudentT.h"

namespace {

using Matrix = Eigen::MatrixXd;
using Vector = Eigen::VectorXd;

// Half-width of the band around f whose noise is modelled, in units of the fit's
// frequency resolution 1 / (100·Δ), and at least this many times the decay's own
// half-width h·f. About 4·10 = 40 residual directions: enough to tell the
// ambient part from a flat background, narrow enough that other modes' ambient
// response and the slopes of a band-pass mostly stay outside.
constexpr double kBandResolutions = 10.0;
constexpr double kBandDecayWidths = 4.0;
// A direction belongs to the band when more than half its energy lies inside.
constexpr double kBandConcentration = 0.5;
// Fewer residual directions in the band than this give no interval.
constexpr int kMinBandDimension = 8;

// The ratio γ = ambient variance / band variance is searched on a logarithmic
// grid, then refined by golden sections; beyond the largest ratio the white part
// is below the resolution of single-precision samples anyway.
constexpr double kMinRatio = 1e-4;
constexpr double kMaxRatio = 1e8;
constexpr int kRatioGrid = 49;
constexpr int kGoldenSteps = 40;
// The ambient part is kept only when it raises twice the restricted
// log-likelihood by this much: the 5 % point of ½χ²₀ + ½χ²₁, the distribution of
// that gain when the noise is white (a variance at its bound of 0).
constexpr double kAmbientEvidence = 2.706;

// Correlation of the ambient response of a one-degree-of-freedom system (ωn, h)
// to white forcing, at lag τ ≥ 0.
double AmbientCorrelation(double wn, double h, double tau) {
  const double q = std::sqrt(1.0 - h * h);
  return std::exp(-h * wn * tau) * (std::cos(q * wn * tau) + h / q * std::sin(q * wn * tau));
}

// Restricted log-likelihood (less constants) of data whose squared coordinates in
// the eigenbasis of the ambient part are w2, covariance σ²·(1 + γ·λ_i), σ² profiled out.
double RestrictedLogLikelihood(double ratio, const Vector& w2, const Vector& lambda) {
  double quadratic = 0.0, logDet = 0.0;
  for (Eigen::Index i = 0; i < w2.size(); ++i) {
    const double d = 1.0 + ratio * lambda(i);
    quadratic += w2(i) / d;
    logDet += std::log(d);
  }
  const auto n = static_cast<double>(w2.size());
  return -0.5 * (n * std::log(quadratic / n) + logDet);
}

double MaximiseRatio(const Vector& w2, const Vector& lambda) {
  double bestRatio = 0.0;
  double best = RestrictedLogLikelihood(0.0, w2, lambda);
  int bestIndex = -1;
  const double logStep = std::log(kMaxRatio / kMinRatio) / (kRatioGrid - 1);
  for (int i = 0; i < kRatioGrid; ++i) {
    const double ratio = kMinRatio * std::exp(logStep * i);
    const double value = RestrictedLogLikelihood(ratio, w2, lambda);
    if (value > best) {
      best = value;
      bestRatio = ratio;
      bestIndex = i;
    }
  }
  if (bestIndex < 0) return 0.0;
  // Golden sections in log γ between the grid neighbours.
  constexpr double kGolden = 0.6180339887498949;
  double low = std::log(kMinRatio) + logStep * (bestIndex - 1);
  double high = std::log(kMinRatio) + logStep * (bestIndex + 1);
  double x1 = high - kGolden * (high - low), x2 = low + kGolden * (high - low);
  double f1 = RestrictedLogLikelihood(std::exp(x1), w2, lambda);
  double f2 = RestrictedLogLikelihood(std::exp(x2), w2, lambda);
  for (int i = 0; i < kGoldenSteps; ++i) {
    if (f1 > f2) {
      high = x2;
      x2 = x1;
      f2 = f1;
      x1 = high - kGolden * (high - low);
      f1 = RestrictedLogLikelihood(std::exp(x1), w2, lambda);
    } else {
      low = x1;
      x1 = x2;
      f1 = f2;
      x2 = low + kGolden * (high - low);
      f2 = RestrictedLogLikelihood(std::exp(x2), w2, lambda);
    }
  }
  const double refined = std::exp(0.5 * (low + high));
  return RestrictedLogLikelihood(refined, w2, lambda) > best ? refined : bestRatio;
}

// An orthonormal basis of the residual directions (orthogonal to J) whose
// energy lies mostly within ±(f ± halfBand): the Slepian sequences of that band on
// the fit points, with their part along J taken away.
Matrix BandResidualBasis(const FitLinearisation& lin, double f, double halfBand) {
  const double delta = lin.Times(1) - lin.Times(0);
  PointMatrix kernel(kFitPoints, kFitPoints);
  for (int j = 0; j < kFitPoints; ++j) {
    for (int k = 0; k < kFitPoints; ++k) {
      const double tau = lin.Times(j) - lin.Times(k);
      const double lowPass = tau == 0.0 ? 2.0 * halfBand : std::sin(kTwoPi * halfBand * tau) / (M_PI * tau);
      kernel(j, k) = 2.0 * delta * lowPass * std::cos(kTwoPi * f * tau);
    }
  }
  const Eigen::SelfAdjointEigenSolver<PointMatrix> slepian(kernel);
  std::vector<int> inside;
  for (int i = 0; i < kFitPoints; ++i) {
    if (slepian.eigenvalues()(i) > kBandConcentration) inside.push_back(i);
  }
  Matrix v(kFitPoints, static_cast<Eigen::Index>(inside.size()));
  for (std::size_t i = 0; i < inside.size(); ++i) v.col(static_cast<Eigen::Index>(i)) = slepian.eigenvectors().col(inside[i]);
  const auto q1 = lin.Q.leftCols<kFitParameters>();
  const Matrix w = v - q1 * (q1.transpose() * v);
  const Eigen::SelfAdjointEigenSolver<Matrix> kept(w.transpose() * w);
  std::vector<Eigen::Index> directions;
  for (Eigen::Index i = 0; i < kept.eigenvalues().size(); ++i) {
    if (kept.eigenvalues()(i) > kBandConcentration) directions.push_back(i);
  }
  Matrix basis(kFitPoints, static_cast<Eigen::Index>(directions.size()));
  for (std::size_t i = 0; i < directions.size(); ++i) {
    const Eigen::Index d = directions[i];
    basis.col(static_cast<Eigen::Index>(i)) = w * kept.eigenvectors().col(d) / std::sqrt(kept.eigenvalues()(d));
  }
  return basis;
}

}  // namespace

std::optional<FitInterval> EvaluationInterval(const FitEvaluation& evaluation) {
  if (!evaluation.Ok()) return std::nullopt;
  const std::optional<FitLinearisation> lin = LineariseFit(evaluation.Points, evaluation.Result);
  if (!lin) return std::nullopt;
  const double wn = std::fabs(static_cast<double>(evaluation.Result.Wn));
  const double h = std::fabs(static_cast<double>(evaluation.Result.H));
  const double f = wn * kHzPerRadian;
  const double delta = evaluation.Points.Delta;
  if (!(delta > 0.0)) return std::nullopt;

  const double halfBand = std::max(kBandResolutions / (kFitPoints * delta), kBandDecayWidths * h * f);
  const Matrix basis = BandResidualBasis(*lin, f, halfBand);
  const Eigen::Index n = basis.cols();
  if (n < kMinBandDimension) return std::nullopt;

  PointMatrix ambient(kFitPoints, kFitPoints);
  for (int j = 0; j < kFitPoints; ++j) {
    for (int k = 0; k < kFitPoints; ++k) {
      ambient(j, k) = AmbientCorrelation(wn, h, std::fabs(lin->Times(j) - lin->Times(k)));
    }
  }
  const Matrix b = basis.transpose() * ambient * basis;
  const Eigen::SelfAdjointEigenSolver<Matrix> eigen(b);
  if (eigen.info() != Eigen::Success) return std::nullopt;
  const Vector lambda = eigen.eigenvalues().cwiseMax(0.0);
  const Vector w = eigen.eigenvectors().transpose() * (basis.transpose() * lin->Residuals);
  const Vector w2 = w.cwiseAbs2();
  if (!(w2.sum() > 0.0)) return std::nullopt;

  double ratio = MaximiseRatio(w2, lambda);
  const double evidence = 2.0 * (RestrictedLogLikelihood(ratio, w2, lambda) - RestrictedLogLikelihood(0.0, w2, lambda));
  if (!(evidence > kAmbientEvidence)) ratio = 0.0;
  double quadratic = 0.0;
  for (Eigen::Index i = 0; i < n; ++i) quadratic += w2(i) / (1.0 + ratio * lambda(i));
  const double white = quadratic / static_cast<double>(n);
  const double ambientVariance = ratio * white;

  // Fisher information of the (band, ambient) variances.
  double iww = 0.0, iwa = 0.0, iaa = 0.0;
  for (Eigen::Index i = 0; i < n; ++i) {
    const double d = white + ambientVariance * lambda(i);
    iww += 0.5 / (d * d);
    iwa += 0.5 * lambda(i) / (d * d);
    iaa += 0.5 * lambda(i) * lambda(i) / (d * d);
  }
  const ParameterMatrix spread = lin->G * ambient * lin->G.transpose();

  FitInterval out;
  out.Method = "reml-ambient";
  out.AmbientShare = ambientVariance / (white + ambientVariance);
  auto halfWidth = [&](int column, double& degrees) {
    const double a = lin->Normal(column, column);
    const double c = spread(column, column);
    const double variance = white * a + ambientVariance * c;
    double varianceOfVariance;
    if (ratio == 0.0) {
      varianceOfVariance = a * a / iww;
    } else {
      const double det = iww * iaa - iwa * iwa;
      varianceOfVariance = (a * a * iaa - 2.0 * a * c * iwa + c * c * iww) / det;
    }
    degrees = std::min(2.0 * variance * variance / varianceOfVariance, static_cast<double>(n));
    return StudentTQuantile(0.5 + 0.5 * kIntervalLevel, degrees) * std::sqrt(variance);
  };
  const double hwWn = halfWidth(kColumnWn, out.FDegreesOfFreedom);
  const double hwH = halfWidth(kColumnH, out.HDegreesOfFreedom);
  if (!std::isfinite(hwWn) || !std::isfinite(hwH)) return std::nullopt;
  const double fitF = evaluation.Result.F;
  out.FLow = fitF - hwWn * kHzPerRadian;
  out.FHigh = fitF + hwWn * kHzPerRadian;
  out.HLow = evaluation.Result.H - hwH;
  out.HHigh = evaluation.Result.H + hwH;
  return out;
}
