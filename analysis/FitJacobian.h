// The fit's model linearised at an evaluation's result, in double, for the
// intervals: the 100 × 4 Jacobian of x(t) = A·e^(−h·ωn·t)·cos(√(1 − h²)·ωn·t + Φ)
// with respect to (A, ωn, h, Φ), its QR factors and the map G = (JᵀJ)⁻¹Jᵀ from a
// change of the fit points to the change of the parameters. Internal to analysis/.
#pragma once

#include <Eigen/Dense>
#include <optional>

#include "analysis/DampedFit.h"

using PointVector = Eigen::Matrix<double, kFitPoints, 1>;
// 100 × 100 on the heap: 80 KB is too much for the stack of a worker thread.
using PointMatrix = Eigen::MatrixXd;
using FitJacobianMatrix = Eigen::Matrix<double, kFitPoints, kFitParameters>;
using ParameterMap = Eigen::Matrix<double, kFitParameters, kFitPoints>;
using ParameterMatrix = Eigen::Matrix<double, kFitParameters, kFitParameters>;

// Column order of the parameters.
constexpr int kColumnA = 0;
constexpr int kColumnWn = 1;
constexpr int kColumnH = 2;
constexpr int kColumnPhi = 3;

struct FitLinearisation {
  FitJacobianMatrix J;
  PointVector Times;      // t_k = k·Δ, s, as the fit took them
  PointVector Residuals;  // y_k − x(t_k)
  ParameterMap G;         // (JᵀJ)⁻¹Jᵀ
  ParameterMatrix Normal; // (JᵀJ)⁻¹
  PointMatrix Q;          // orthogonal; its first 4 columns span J, the other 96 the residual space
};

// Nothing when the result leaves no model (h² ≥ 1, values that are not numbers)
// or J has a column that the others determine to within about 1e-6 of its norm.
std::optional<FitLinearisation> LineariseFit(const FitPointSet& points, const FitResult& result);
