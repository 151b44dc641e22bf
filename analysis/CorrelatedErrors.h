// Covariance of a least-squares estimate whose residuals are correlated, as a band-passed record's
// noise is: the sandwich (JᵀJ)⁻¹·JᵀΣJ·(JᵀJ)⁻¹, Σ stationary with the spectrum of the residuals,
// smoothed over a few independent frequency bins. Each bin's periodogram is divided by what it
// keeps of white noise after the fit (n/N less the hat matrix's leverage at that frequency), so the
// notch a fit cuts into its own residuals does not shrink the errors. White residuals give the
// textbook s²·(JᵀJ)⁻¹. The smoothing leaves few degrees of freedom: intervals use Student's t.
#pragma once

#include <span>
#include <vector>

// Independent frequency bins (of 1 / the stretch's duration) on each side of a bin that its
// noise level is averaged over: about 20 degrees of freedom, over a band narrow enough to follow a
// band-pass filter's shape.
constexpr int kNoiseSmoothingBins = 5;

struct CorrelatedCovariance {
  std::vector<double> Covariance;  // P × P, column-major
  std::vector<double> Freedom;     // per parameter: degrees of freedom of its variance
};

// residual: n values; jacobian: n × P, column-major; normalInverse: (JᵀJ)⁻¹, P × P, column-major.
CorrelatedCovariance CorrelatedLeastSquaresCovariance(std::span<const double> residual,
                                                      std::span<const double> jacobian,
                                                      std::span<const double> normalInverse, int parameters);

// Two-sided 95 % quantile of Student's t with `freedom` degrees of freedom: exact at 1, 2 and 3,
// interpolated between 2 and 3 (within 0.5 %), the Cornish–Fisher expansion about the normal quantile from 3 on
// (within 0.1 %); below 1 that of 1.
double StudentQuantile95(double freedom);
