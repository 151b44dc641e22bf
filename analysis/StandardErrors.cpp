#include "analysis/StandardErrors.h"

#include <array>
#include <cmath>

#include "io/NumberText.h"

namespace {

using Matrix4 = std::array<std::array<double, kFitParameters>, kFitParameters>;

// A Cholesky pivot of the unit-diagonal normal matrix below this leaves a
// parameter determined by the others to about 1e-6 of its own variation,
// beyond what the single-precision samples can carry.
constexpr double kSingularPivot = 1e-12;

// Diagonal of the inverse of the symmetric matrix n, or nothing when n is
// singular. n is scaled to unit diagonal first (s = D·n·D with D = diag(n)^-½),
// so the pivot test does not depend on the units of the parameters.
std::optional<std::array<double, kFitParameters>> InverseDiagonal(const Matrix4& n) {
  std::array<double, kFitParameters> scale{};
  for (int i = 0; i < kFitParameters; ++i) {
    if (!(n[i][i] > 0.0) || !std::isfinite(n[i][i])) return std::nullopt;
    scale[i] = 1.0 / std::sqrt(n[i][i]);
  }
  // Lower Cholesky factor l of the scaled matrix.
  Matrix4 l{};
  for (int j = 0; j < kFitParameters; ++j) {
    double pivot = n[j][j] * scale[j] * scale[j];
    for (int k = 0; k < j; ++k) pivot -= l[j][k] * l[j][k];
    if (!(pivot > kSingularPivot)) return std::nullopt;
    l[j][j] = std::sqrt(pivot);
    for (int i = j + 1; i < kFitParameters; ++i) {
      double v = n[i][j] * scale[i] * scale[j];
      for (int k = 0; k < j; ++k) v -= l[i][k] * l[j][k];
      l[i][j] = v / l[j][j];
    }
  }
  // s⁻¹ = l⁻ᵀ·l⁻¹, so its diagonal entry i is the squared norm of column i of l⁻¹.
  Matrix4 inverse{};
  for (int c = 0; c < kFitParameters; ++c) {
    for (int i = c; i < kFitParameters; ++i) {
      double v = i == c ? 1.0 : 0.0;
      for (int k = c; k < i; ++k) v -= l[i][k] * inverse[k][c];
      inverse[i][c] = v / l[i][i];
    }
  }
  std::array<double, kFitParameters> diagonal{};
  for (int i = 0; i < kFitParameters; ++i) {
    double sum = 0.0;
    for (int k = i; k < kFitParameters; ++k) sum += inverse[k][i] * inverse[k][i];
    diagonal[i] = sum * scale[i] * scale[i];
  }
  return diagonal;
}

}  // namespace

std::optional<FitStandardErrors> EvaluationStandardErrors(const FitPointSet& points, const FitResult& result) {
  const double a = result.A;
  const double wn = result.Wn;
  const double h = result.H;
  const double phi = result.Phi;
  if (!std::isfinite(a) || !std::isfinite(wn) || !std::isfinite(h) || !std::isfinite(phi) || h * h >= 1.0) {
    return std::nullopt;
  }
  const double q = std::sqrt(1.0 - h * h);

  Matrix4 normal{};
  double sumSquares = 0.0;
  for (int k = 0; k < kFitPoints; ++k) {
    const double t = FitPointTime(points, k);
    const double decay = std::exp(-h * wn * t);
    const double angle = q * wn * t + phi;
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const double ad = a * decay;
    // The columns of J, with D = e^(−h·ωn·t) and angle = q·ωn·t + Φ:
    //   ∂x/∂A  = D·cos
    //   ∂x/∂ωn = A·D·(−h·t·cos − q·t·sin)          as ∂D/∂ωn = −h·t·D, ∂angle/∂ωn = q·t
    //   ∂x/∂h  = A·D·(−ωn·t·cos + ωn·t·(h/q)·sin)  as ∂D/∂h = −ωn·t·D, ∂angle/∂h = ωn·t·dq/dh, dq/dh = −h/q
    //   ∂x/∂Φ  = −A·D·sin
    const std::array<double, kFitParameters> row = {
        decay * c,
        -ad * h * t * c - ad * q * t * s,
        -ad * wn * t * c + ad * wn * t * (h / q) * s,
        -ad * s,
    };
    const double r = points.Values[k] - ad * c;
    sumSquares += r * r;
    for (int i = 0; i < kFitParameters; ++i) {
      for (int j = 0; j <= i; ++j) normal[i][j] += row[i] * row[j];
    }
  }
  for (int i = 0; i < kFitParameters; ++i) {
    for (int j = i + 1; j < kFitParameters; ++j) normal[i][j] = normal[j][i];
  }

  const auto diagonal = InverseDiagonal(normal);
  if (!diagonal) return std::nullopt;
  const double variance = sumSquares / kResidualDegreesOfFreedom;  // s²
  std::array<double, kFitParameters> se{};
  for (int i = 0; i < kFitParameters; ++i) {
    se[i] = std::sqrt(variance * (*diagonal)[i]);
    if (!std::isfinite(se[i])) return std::nullopt;
  }
  FitStandardErrors out;
  out.A = se[0];
  out.Wn = se[1];
  out.F = se[1] / kTwoPi;
  out.H = se[2];
  out.Phi = se[3];
  return out;
}
