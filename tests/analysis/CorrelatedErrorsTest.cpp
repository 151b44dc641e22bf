#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/CorrelatedErrors.h"
#include "tests/support/GaussianNoise.h"

namespace {

TEST(CorrelatedErrorsTest, StudentQuantileAgreesWithTables) {
  struct Case {
    double freedom, quantile;  // two-sided 95 %, the t density integrated numerically
  };
  const Case cases[] = {{0.5, 12.7062}, {1.0, 12.7062}, {2.0, 4.3027},  {2.5, 3.5747},  {3.0, 3.1824},
                        {4.0, 2.7764},  {5.0, 2.5706},  {10.0, 2.2281}, {30.0, 2.0423}, {1000.0, 1.9623}};
  for (const Case& c : cases) EXPECT_NEAR(StudentQuantile95(c.freedom), c.quantile, 0.005 * c.quantile) << c.freedom;
}

// A least-squares fit of a cosine and a sine at 0.05 cycles per sample in AR(1) noise (φ = 0.8):
// the exact covariance is (JᵀJ)⁻¹·JᵀΣJ·(JᵀJ)⁻¹ with Σ_ij = φ^|i−j| / (1 − φ²). The estimate from the
// residuals must match it on average, where s²·(JᵀJ)⁻¹ is too small by the noise spectrum's excess
// at that frequency over its mean, (1 − φ²) / |1 − φ·e^(−iω)|² ≈ 3.0; in white noise it must agree
// with s²·(JᵀJ)⁻¹.
TEST(CorrelatedErrorsTest, MatchesTheExactCovarianceOfAutoregressiveNoise) {
  constexpr int kN = 800;
  constexpr int kRuns = 100;
  constexpr int kP = 2;
  std::vector<double> j(2 * kN);  // column-major: cos, then sin
  for (int i = 0; i < kN; ++i) {
    j[i] = std::cos(2.0 * M_PI * 0.05 * i + 0.7);
    j[kN + i] = std::sin(2.0 * M_PI * 0.05 * i + 0.7);
  }
  double n00 = 0.0, n01 = 0.0, n11 = 0.0;
  for (int i = 0; i < kN; ++i) {
    n00 += j[i] * j[i];
    n01 += j[i] * j[kN + i];
    n11 += j[kN + i] * j[kN + i];
  }
  const double det = n00 * n11 - n01 * n01;
  const std::vector<double> inverse = {n11 / det, -n01 / det, -n01 / det, n00 / det};
  // Row 0 of (JᵀJ)⁻¹·Jᵀ: the weights that make the first estimate from the data.
  std::vector<double> w(kN);
  for (int i = 0; i < kN; ++i) w[i] = inverse[0] * j[i] + inverse[2] * j[kN + i];

  for (const double phi : {0.8, 0.0}) {
    // Var of Σ wᵢ·eᵢ with Cov(eᵢ, e_k) = φ^|i−k| / (1 − φ²).
    double exact = 0.0;
    for (int r = 0; r < kN; ++r) {
      for (int c = 0; c < kN; ++c) exact += w[r] * w[c] * std::pow(phi, std::abs(r - c)) / (1.0 - phi * phi);
    }

    GaussianNoise gauss(41);
    double sumEstimate = 0.0, sumTextbook = 0.0, sumFreedom = 0.0;
    for (int run = 0; run < kRuns; ++run) {
      std::vector<double> e(kN);
      double previous = gauss.Next() / std::sqrt(1.0 - phi * phi);
      for (int i = 0; i < kN; ++i) {
        if (i > 0) previous = phi * previous + gauss.Next();
        e[i] = previous;
      }
      double b0 = 0.0, b1 = 0.0;
      for (int i = 0; i < kN; ++i) {
        b0 += j[i] * e[i];
        b1 += j[kN + i] * e[i];
      }
      const double a0 = inverse[0] * b0 + inverse[2] * b1;
      const double a1 = inverse[1] * b0 + inverse[3] * b1;
      std::vector<double> residual(kN);
      double rss = 0.0;
      for (int i = 0; i < kN; ++i) {
        residual[i] = e[i] - a0 * j[i] - a1 * j[kN + i];
        rss += residual[i] * residual[i];
      }
      const CorrelatedCovariance c = CorrelatedLeastSquaresCovariance(residual, j, inverse, kP);
      ASSERT_EQ(c.Covariance.size(), static_cast<std::size_t>(kP * kP));
      sumEstimate += c.Covariance[0];
      sumTextbook += rss / (kN - kP) * inverse[0];
      sumFreedom += c.Freedom[0];
    }
    const double estimate = sumEstimate / kRuns;
    EXPECT_NEAR(estimate / exact, 1.0, 0.1) << "φ = " << phi;
    if (phi > 0.0) {
      EXPECT_NEAR(estimate / (sumTextbook / kRuns), 3.04, 0.3);
    } else {
      EXPECT_NEAR(estimate / (sumTextbook / kRuns), 1.0, 0.05);
    }
    // About 2·(2·5 + 1) degrees of freedom, less the two the fit took.
    EXPECT_NEAR(sumFreedom / kRuns, 20.0, 2.0);
  }
}

}  // namespace
