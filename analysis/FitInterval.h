// 95 % intervals of f and h for one evaluation that hold when the noise is not
// white. Only noise near the fitted frequency moves f and h, so the residuals are
// taken in the band f ± (10 resolutions 1/(100·Δ), at least 4·h·f) (Slepian
// directions orthogonal to the Jacobian), where the noise is modelled as a flat
// background plus the fitted mode's own ambient response (its correlation at the
// fitted ωn and h). Restricted maximum likelihood gives the two variances and so
// counts the part of a noise at f that the fit absorbed; the ambient part is kept
// when its likelihood gain passes the 5 % test. The interval is the sandwich
// variance of the least-squares fit under that covariance with a Student t of
// Satterthwaite's degrees of freedom. Residual-only corrections (block bootstrap,
// Newey–West) cannot see the absorbed part and stay far too narrow.
#pragma once

#include <optional>
#include <string>

#include "analysis/DampedFit.h"

constexpr double kIntervalLevel = 0.95;

struct FitInterval {
  double FLow = 0.0;   // Hz
  double FHigh = 0.0;  // Hz
  double HLow = 0.0;
  double HHigh = 0.0;
  double Level = kIntervalLevel;
  std::string Method;  // short ASCII name, for JSON
  // How it came about, for reports: the degrees of freedom of the t of f and
  // of h, and the share of the noise variance the ambient response takes.
  double FDegreesOfFreedom = 0.0;
  double HDegreesOfFreedom = 0.0;
  double AmbientShare = 0.0;
};

// The interval of a successful evaluation (`EvaluateStretch`); nothing when it
// failed, or its result leaves the Jacobian singular or no model (h² ≥ 1).
std::optional<FitInterval> EvaluationInterval(const FitEvaluation& evaluation);
