#include "analysis/SignatureInterval.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/FitJacobian.h"
#include "analysis/StudentT.h"

std::optional<FitInterval> SignatureInterval(std::span<const float> samples, const RandomDecrementSignature& signature,
                                             const FitEvaluation& evaluation) {
  if (!evaluation.Ok() || !signature.Ok()) return std::nullopt;
  const std::vector<std::int64_t>& starts = signature.TriggerStarts;
  if (starts.empty() || static_cast<std::int64_t>(starts.size()) != signature.Triggers) return std::nullopt;
  const FitPointSet& points = evaluation.Points;
  const std::int64_t lastOffset = points.Start + static_cast<std::int64_t>(kFitPoints - 1) * points.Step;
  if (points.Start < 0 || points.Step < 1 || lastOffset >= signature.Length) return std::nullopt;
  const auto count = static_cast<std::int64_t>(samples.size());
  if (starts.front() < 0 || starts.back() + signature.Length > count) return std::nullopt;

  const std::int64_t span = starts.back() + signature.Length - starts.front();
  const auto triggers = static_cast<std::int64_t>(starts.size());
  const std::int64_t groups = std::min<std::int64_t>(
      {kMaxSignatureGroups, span / (static_cast<std::int64_t>(kSignatureGroupSpan) * signature.Length), triggers});
  if (groups < kMinSignatureGroups) return std::nullopt;

  const std::optional<FitLinearisation> lin = LineariseFit(points, evaluation.Result);
  if (!lin) return std::nullopt;

  // Each group's sum of segments at the fit points, in double; the groups hold
  // equal numbers of triggers (one more in the first triggers % groups).
  std::vector<PointVector> sums(static_cast<std::size_t>(groups), PointVector::Zero());
  std::vector<std::int64_t> sizes(static_cast<std::size_t>(groups), 0);
  PointVector total = PointVector::Zero();
  std::int64_t next = 0;
  for (std::int64_t g = 0; g < groups; ++g) {
    const std::int64_t size = triggers / groups + (g < triggers % groups ? 1 : 0);
    PointVector& sum = sums[static_cast<std::size_t>(g)];
    for (std::int64_t j = next; j < next + size; ++j) {
      const std::int64_t base = starts[static_cast<std::size_t>(j)] + points.Start;
      for (int k = 0; k < kFitPoints; ++k) {
        sum(k) += samples[static_cast<std::size_t>(base + static_cast<std::int64_t>(k) * points.Step)] - signature.Mean;
      }
    }
    sizes[static_cast<std::size_t>(g)] = size;
    total += sum;
    next += size;
  }
  const PointVector mean = total / static_cast<double>(triggers);

  // The signature's deviation is Σ (n_g / T)·(group mean − mean); the groups are
  // taken as independent, so its covariance is Σ (n_g / T)²·u_g·u_gᵀ, scaled by
  // G / (G − 1) for the mean taken from the same groups.
  ParameterMatrix covariance = ParameterMatrix::Zero();
  for (std::int64_t g = 0; g < groups; ++g) {
    const auto n = static_cast<double>(sizes[static_cast<std::size_t>(g)]);
    const Eigen::Matrix<double, kFitParameters, 1> u =
        lin->G * (sums[static_cast<std::size_t>(g)] / n - mean) * (n / static_cast<double>(triggers));
    covariance += u * u.transpose();
  }
  covariance *= static_cast<double>(groups) / static_cast<double>(groups - 1);

  const double degrees = static_cast<double>(groups - 1);
  const double quantile = StudentTQuantile(0.5 + 0.5 * kIntervalLevel, degrees);
  const double hwWn = quantile * std::sqrt(covariance(kColumnWn, kColumnWn));
  const double hwH = quantile * std::sqrt(covariance(kColumnH, kColumnH));
  if (!std::isfinite(hwWn) || !std::isfinite(hwH)) return std::nullopt;

  FitInterval out;
  out.Method = "rd-batch-means";
  const double f = evaluation.Result.F;
  out.FLow = f - hwWn * kHzPerRadian;
  out.FHigh = f + hwWn * kHzPerRadian;
  out.HLow = evaluation.Result.H - hwH;
  out.HHigh = evaluation.Result.H + hwH;
  out.FDegreesOfFreedom = degrees;
  out.HDegreesOfFreedom = degrees;
  return out;
}
