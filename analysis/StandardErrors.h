// Standard errors of an evaluation: the usual least-squares covariance
// s²·(JᵀJ)⁻¹ at the parameters the fit returned, over its 100 points, with the
// model's Jacobian taken analytically and everything computed in double.
// JᵀJ is inverted through a Cholesky factor of its unit-diagonal scaling, so
// parameters of very different size are judged alike; a matrix that is
// singular to working precision gives no standard errors rather than huge or
// undefined ones.
#pragma once

#include <optional>
#include <string>

#include "analysis/DampedFit.h"

// Residual degrees of freedom: 100 points less the four parameters.
constexpr int kResidualDegreesOfFreedom = kFitPoints - kFitParameters;
// Two-sided 95 % quantile of Student's t with 96 degrees of freedom: a 95 %
// interval is the value ± this many standard errors.
constexpr double kStudentT95 = 1.985;

struct FitStandardErrors {
  double A = 0.0;    // unit of the samples
  double Wn = 0.0;   // 1/s
  double F = 0.0;    // Hz, se(ωn) / 2π
  double H = 0.0;
  double Phi = 0.0;  // rad
};

// The standard errors at the fit's result (A, ωn, h, Φ as stored) over the fit
// points y_k at t_k = k·Δ. std::nullopt when JᵀJ is singular or the parameters
// leave no model (h² ≥ 1, values that are not numbers).
std::optional<FitStandardErrors> EvaluationStandardErrors(const FitPointSet& points, const FitResult& result);
