#include "analysis/Modes.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "analysis/CorrelatedErrors.h"
#include "analysis/DampedBasis.h"
#include "analysis/MatrixPencil.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr int kParametersPerMode = 4;  // σ, ωd, C, S of e^(−σt)·(C·cos ωd·t + S·sin ωd·t)
// At least this many samples per parameter, so the residuals can show the noise.
constexpr int kSamplesPerParameter = 4;

// Levenberg–Marquardt: the damping λ scales the diagonal of JᵀJ. The pencil's start is close, so a
// fit that has not settled in this many steps is wandering between equivalent solutions.
constexpr int kMaxIterations = 200;
constexpr double kInitialLambda = 1e-3;
constexpr double kLambdaDown = 0.3;
constexpr double kLambdaUp = 10.0;
constexpr double kMaxLambda = 1e10;  // no step along the gradient lowers the residuals: a minimum
// Settled when a step lowers the residual sum of squares by less than this share; the samples are
// single precision, so the sum's last digits carry nothing.
constexpr double kSettledChange = 1e-8;
// JᵀJ scaled to unit diagonal must keep its Cholesky pivots above this, or a parameter is fixed by
// the others and its standard error is not given.
constexpr double kSingularPivot = 1e-12;

using Eigen::Index;
using Eigen::MatrixXd;
using Eigen::VectorXd;

ModesFit Failed(std::string message) {
  ModesFit out;
  out.Failure = std::move(message);
  return out;
}

struct Problem {
  std::span<const float> Y;
  double Rate;
  int Count;
  bool Offset;
  Index Parameters() const { return kParametersPerMode * Count + (Offset ? 1 : 0); }
};

// Residuals y − model at θ, and the Jacobian of the model when `jacobian` is given.
void Evaluate(const Problem& problem, const VectorXd& theta, VectorXd& residual, MatrixXd* jacobian,
              std::vector<double>& cosColumn, std::vector<double>& sinColumn) {
  const std::size_t n = problem.Y.size();
  for (std::size_t i = 0; i < n; ++i) residual(static_cast<Index>(i)) = problem.Y[i];
  if (problem.Offset) residual.array() -= theta(kParametersPerMode * problem.Count);
  for (int k = 0; k < problem.Count; ++k) {
    const Index base = kParametersPerMode * k;
    const double c = theta(base + 2);
    const double s = theta(base + 3);
    DampedColumns(theta(base), theta(base + 1), problem.Rate, cosColumn, sinColumn);
    for (std::size_t i = 0; i < n; ++i) residual(static_cast<Index>(i)) -= c * cosColumn[i] + s * sinColumn[i];
    if (jacobian == nullptr) continue;
    for (std::size_t i = 0; i < n; ++i) {
      const double t = static_cast<double>(i) / problem.Rate;
      const auto row = static_cast<Index>(i);
      (*jacobian)(row, base) = -t * (c * cosColumn[i] + s * sinColumn[i]);
      (*jacobian)(row, base + 1) = t * (s * cosColumn[i] - c * sinColumn[i]);
      (*jacobian)(row, base + 2) = cosColumn[i];
      (*jacobian)(row, base + 3) = sinColumn[i];
    }
  }
  if (jacobian != nullptr && problem.Offset) jacobian->col(kParametersPerMode * problem.Count).setOnes();
}

// (JᵀJ)⁻¹ through the Cholesky factor of its unit-diagonal scaling, or nothing when singular.
std::optional<MatrixXd> NormalInverse(const MatrixXd& normal) {
  const VectorXd diagonal = normal.diagonal();
  if (!(diagonal.minCoeff() > 0.0) || !diagonal.allFinite()) return std::nullopt;
  const VectorXd scale = diagonal.cwiseSqrt().cwiseInverse();
  const MatrixXd scaled = scale.asDiagonal() * normal * scale.asDiagonal();
  const Eigen::LLT<MatrixXd> llt(scaled);
  if (llt.info() != Eigen::Success) return std::nullopt;
  const VectorXd pivots = llt.matrixL().toDenseMatrix().diagonal();
  if (!(pivots.cwiseAbs2().minCoeff() > kSingularPivot)) return std::nullopt;
  const MatrixXd inverse = llt.solve(MatrixXd::Identity(normal.rows(), normal.cols()));
  return MatrixXd(scale.asDiagonal() * inverse * scale.asDiagonal());
}

// The errors of (A, f, h, Φ) of mode k from the covariance of (σ, ωd, C, S), by the derivatives
// of ωn = √(σ² + ωd²), h = σ/ωn, A = √(C² + S²), Φ = atan2(−S, C).
std::optional<ModeErrors> Propagate(const MatrixXd& covariance, const VectorXd& theta, int k) {
  const Index base = kParametersPerMode * k;
  const double sigma = theta(base), wd = theta(base + 1), c = theta(base + 2), s = theta(base + 3);
  const double wn = std::hypot(sigma, wd);
  const double a = std::hypot(c, s);
  if (!(wn > 0.0) || !(a > 0.0)) return std::nullopt;
  Eigen::Matrix4d g = Eigen::Matrix4d::Zero();
  g(0, 2) = c / a;  // A
  g(0, 3) = s / a;
  g(1, 0) = sigma / wn / (2.0 * kPi);  // f
  g(1, 1) = wd / wn / (2.0 * kPi);
  g(2, 0) = wd * wd / (wn * wn * wn);  // h
  g(2, 1) = -sigma * wd / (wn * wn * wn);
  g(3, 2) = s / (a * a);  // Φ
  g(3, 3) = -c / (a * a);
  const Eigen::Matrix4d block = covariance.block(base, base, kParametersPerMode, kParametersPerMode);
  const Eigen::Vector4d variance = (g * block * g.transpose()).diagonal();
  if (!variance.allFinite() || variance.minCoeff() < 0.0) return std::nullopt;
  return ModeErrors{std::sqrt(variance(0)), std::sqrt(variance(1)), std::sqrt(variance(2)), std::sqrt(variance(3))};
}

}  // namespace

ModesFit FitModes(std::span<const float> stretch, double rate, int count, const ModeOptions& options) {
  if (count < 1 || count > kMaxModes) {
    return Failed("モード数は1から" + std::to_string(kMaxModes) + "までにしてください。");
  }
  if (stretch.size() > static_cast<std::size_t>(kMaxModeSamples)) {
    return Failed("区間が長すぎます（" + std::to_string(kMaxModeSamples) + "点以下にしてください）。");
  }
  const Problem problem{stretch, rate, count, options.Offset};
  const Index parameters = problem.Parameters();
  const auto n = static_cast<Index>(stretch.size());
  if (n < kSamplesPerParameter * parameters) return Failed("区間がモード数に対して短すぎます。");

  PencilPoles pencil = FindPencilPoles(stretch, rate, count, options.Offset);
  if (!pencil.Ok()) return Failed(*pencil.Failure);
  if (pencil.Poles.size() < static_cast<std::size_t>(count)) {
    return Failed("区間から" + std::to_string(count) + "個のモードを分離できません（見つかった振動は" +
                  std::to_string(pencil.Poles.size()) + "個です）。");
  }
  pencil.Poles.resize(static_cast<std::size_t>(count));
  const double offset = FitPoleAmplitudes(stretch, rate, pencil.Poles, options.Offset);

  VectorXd theta(parameters);
  for (int k = 0; k < count; ++k) {
    const PencilPole& pole = pencil.Poles[static_cast<std::size_t>(k)];
    theta.segment(kParametersPerMode * k, kParametersPerMode) << pole.Sigma, pole.Wd, pole.C, pole.S;
  }
  if (options.Offset) theta(parameters - 1) = offset;

  // Working storage, sized once.
  std::vector<double> cosColumn(stretch.size()), sinColumn(stretch.size());
  VectorXd residual(n), trialResidual(n);
  MatrixXd jacobian(n, parameters);
  MatrixXd normal(parameters, parameters);
  VectorXd gradient(parameters);

  Evaluate(problem, theta, residual, &jacobian, cosColumn, sinColumn);
  double rss = residual.squaredNorm();
  double lambda = kInitialLambda;
  int iterations = 0;
  bool settled = false;
  while (iterations < kMaxIterations && !settled) {
    ++iterations;
    normal.setZero();
    normal.selfadjointView<Eigen::Lower>().rankUpdate(jacobian.transpose());
    normal = normal.selfadjointView<Eigen::Lower>();
    gradient.noalias() = jacobian.transpose() * residual;
    bool stepped = false;
    while (!stepped) {
      MatrixXd damped = normal;
      damped.diagonal() += lambda * normal.diagonal();
      const VectorXd step = damped.ldlt().solve(gradient);
      const VectorXd trial = theta + step;
      if (step.allFinite() && trial.allFinite()) {
        Evaluate(problem, trial, trialResidual, nullptr, cosColumn, sinColumn);
        const double trialRss = trialResidual.squaredNorm();
        if (std::isfinite(trialRss) && trialRss < rss) {
          settled = rss - trialRss <= kSettledChange * rss;
          theta = trial;
          rss = trialRss;
          lambda = std::max(lambda * kLambdaDown, 1e-12);
          stepped = true;
          break;
        }
      }
      lambda *= kLambdaUp;
      if (lambda > kMaxLambda) break;
    }
    if (!stepped) settled = true;  // nothing along any direction lowers the residuals
    // A mode may cross to a negative ωd; the same oscillation has ωd > 0 and S of the other sign.
    for (int k = 0; k < count; ++k) {
      if (theta(kParametersPerMode * k + 1) < 0.0) {
        theta(kParametersPerMode * k + 1) = -theta(kParametersPerMode * k + 1);
        theta(kParametersPerMode * k + 3) = -theta(kParametersPerMode * k + 3);
      }
    }
    Evaluate(problem, theta, residual, &jacobian, cosColumn, sinColumn);
    rss = residual.squaredNorm();
  }
  if (!settled) return Failed("評価が収束しません（繰返回数が上限に達しました）。");
  if (!theta.allFinite() || !std::isfinite(rss)) return Failed("評価が発散しました。");
  for (int k = 0; k < count; ++k) {
    if (!(theta(kParametersPerMode * k + 1) > 0.0)) return Failed("モードの振動数が0になりました。");
  }

  ModesFit out;
  out.Iterations = iterations;
  out.MeanSquare = pencil.MeanSquare;
  out.Ratio = 1.0 - (rss / static_cast<double>(n)) / pencil.MeanSquare;
  out.Offset = options.Offset ? theta(parameters - 1) : 0.0;

  normal.setZero();
  normal.selfadjointView<Eigen::Lower>().rankUpdate(jacobian.transpose());
  normal = normal.selfadjointView<Eigen::Lower>();
  const std::optional<MatrixXd> inverse = NormalInverse(normal);
  std::optional<MatrixXd> textbook, correlated;
  std::vector<double> freedom;
  if (inverse) {
    textbook = (rss / static_cast<double>(n - parameters)) * *inverse;
    CorrelatedCovariance sandwich = CorrelatedLeastSquaresCovariance(
        std::span<const double>(residual.data(), stretch.size()),
        std::span<const double>(jacobian.data(), static_cast<std::size_t>(jacobian.size())),
        std::span<const double>(inverse->data(), static_cast<std::size_t>(inverse->size())),
        static_cast<int>(parameters));
    correlated = Eigen::Map<const MatrixXd>(sandwich.Covariance.data(), parameters, parameters);
    freedom = std::move(sandwich.Freedom);
  }

  for (int k = 0; k < count; ++k) {
    const Index base = kParametersPerMode * k;
    const double sigma = theta(base), wd = theta(base + 1), c = theta(base + 2), s = theta(base + 3);
    DampedMode mode;
    mode.Wn = std::hypot(sigma, wd);
    mode.F = mode.Wn / (2.0 * kPi);
    mode.H = sigma / mode.Wn;
    mode.A = std::hypot(c, s);
    mode.Phi = std::atan2(-s, c);
    DampedColumns(sigma, wd, rate, cosColumn, sinColumn);
    double sum = 0.0;
    for (std::size_t i = 0; i < stretch.size(); ++i) {
      const double v = c * cosColumn[i] + s * sinColumn[i];
      sum += v * v;
    }
    mode.Rms = std::sqrt(sum / static_cast<double>(n));
    if (textbook) mode.Se = Propagate(*textbook, theta, k);
    if (correlated) mode.CorrelatedSe = Propagate(*correlated, theta, k);
    if (mode.CorrelatedSe && mode.A >= kIntervalSignificance * mode.CorrelatedSe->A) {
      // The frequency and decay rate's columns carry the mode's noise band.
      const double quantile = StudentQuantile95(
          std::min(freedom[static_cast<std::size_t>(base)], freedom[static_cast<std::size_t>(base + 1)]));
      const double df = quantile * mode.CorrelatedSe->F;
      const double dh = quantile * mode.CorrelatedSe->H;
      mode.FInterval = ModeRange{mode.F - df, mode.F + df};
      mode.HInterval = ModeRange{mode.H - dh, mode.H + dh};
    }
    out.Modes.push_back(mode);
  }
  std::sort(out.Modes.begin(), out.Modes.end(), [](const DampedMode& a, const DampedMode& b) { return a.F < b.F; });
  return out;
}
