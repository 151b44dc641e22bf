#include "analysis/StudentT.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(StudentTTest, QuantilesAgreeWithClosedFormsAndTables) {
  struct Case {
    double p, df, t;
  };
  // ν = 1: tan(π(p − ½)); ν = 2: (2p − 1)·√2 / √(1 − (2p − 1)²); the rest from
  // printed tables (nine digits).
  const Case cases[] = {
      {0.975, 1.0, std::tan(M_PI * 0.475)},
      {0.9, 1.0, std::tan(M_PI * 0.4)},
      {0.975, 2.0, 0.95 * std::sqrt(2.0) / std::sqrt(1.0 - 0.95 * 0.95)},
      {0.975, 5.0, 2.570581836},
      {0.975, 10.0, 2.228138852},
      {0.975, 30.0, 2.042272456},
      {0.95, 3.0, 2.353363435},
      {0.995, 4.0, 4.604094871},
      {0.9, 3.0, 1.637744354},
      {0.975, 96.0, 1.984984312},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(StudentTQuantile(c.p, c.df), c.t, 2e-9 * c.t) << c.p << " " << c.df;
  }
  EXPECT_EQ(StudentTQuantile(0.5, 3.0), 0.0);
}

// Fractional degrees of freedom, as Satterthwaite's: the distribution function
// against Simpson's rule over the density, and the quantile inverts it.
TEST(StudentTTest, FractionalDegreesMatchTheIntegratedDensity) {
  for (const double df : {0.7, 2.5, 7.3}) {
    const double front = std::exp(std::lgamma(0.5 * (df + 1.0)) - std::lgamma(0.5 * df)) / std::sqrt(df * M_PI);
    auto density = [&](double x) { return front * std::pow(1.0 + x * x / df, -0.5 * (df + 1.0)); };
    for (const double t : {0.4, 1.3, 3.1}) {
      constexpr int kSteps = 20000;  // even
      const double step = t / kSteps;
      double sum = density(0.0) + density(t);
      for (int i = 1; i < kSteps; ++i) sum += (i % 2 == 1 ? 4.0 : 2.0) * density(i * step);
      const double expected = 0.5 + sum * step / 3.0;
      EXPECT_NEAR(StudentTDistribution(t, df), expected, 1e-9) << df << " " << t;
      EXPECT_NEAR(StudentTDistribution(-t, df), 1.0 - expected, 1e-9) << df << " " << t;
      EXPECT_NEAR(StudentTQuantile(expected, df), t, 1e-7 * t) << df << " " << t;
    }
  }
}

TEST(StudentTTest, OutOfRangeGivesNotANumber) {
  EXPECT_TRUE(std::isnan(StudentTQuantile(0.4, 5.0)));
  EXPECT_TRUE(std::isnan(StudentTQuantile(1.0, 5.0)));
  EXPECT_TRUE(std::isnan(StudentTQuantile(0.975, 0.0)));
  EXPECT_TRUE(std::isnan(StudentTQuantile(0.975, -2.0)));
  EXPECT_TRUE(std::isnan(StudentTQuantile(NAN, 5.0)));
  EXPECT_TRUE(std::isnan(StudentTDistribution(1.0, 0.0)));
}

}  // namespace
