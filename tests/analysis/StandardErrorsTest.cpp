#include "analysis/StandardErrors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "tests/support/GaussianNoise.h"

namespace {

constexpr int kRate = 100;
constexpr double kA = 2.7, kF = 3.7, kH = 0.027, kPhi = 0.7;

// 5 s of a free decay in white noise of the given deviation.
std::vector<float> NoisyDecay(GaussianNoise& noise, double deviation) {
  std::vector<float> samples(600);
  const double wn = 2.0 * M_PI * kF;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    samples[i] = static_cast<float>(kA * std::exp(-kH * wn * t) * std::cos(wn * std::sqrt(1.0 - kH * kH) * t + kPhi) +
                                    deviation * noise.Next());
  }
  return samples;
}

double Deviation(const std::vector<double>& values) {
  double mean = 0.0;
  for (const double v : values) mean += v;
  mean /= static_cast<double>(values.size());
  double sum = 0.0;
  for (const double v : values) sum += (v - mean) * (v - mean);
  return std::sqrt(sum / static_cast<double>(values.size() - 1));
}

// The reported standard errors are what the scatter of f and h over many
// records of the same system in fresh noise shows.
TEST(StandardErrorsTest, AgreeWithTheSpreadOverNoisyRealisations) {
  constexpr int kRealisations = 200;
  GaussianNoise noise(0x5DEECE66Dull);
  std::vector<double> fs, hs;
  double sumSeF = 0.0, sumSeH = 0.0;
  for (int run = 0; run < kRealisations; ++run) {
    const std::vector<float> samples = NoisyDecay(noise, 0.08);
    const FitEvaluation fit = EvaluateStretch(samples, kRate, 1.0f / kRate, 0, 5.0f, 3.85, 0.035);
    ASSERT_TRUE(fit.Ok()) << fit.Failure->Message;
    const auto se = EvaluationStandardErrors(fit.Points, fit.Result);
    ASSERT_TRUE(se.has_value());
    EXPECT_NEAR(se->F, se->Wn / (2.0 * M_PI), 1e-15);
    fs.push_back(fit.Result.F);
    hs.push_back(fit.Result.H);
    sumSeF += se->F;
    sumSeH += se->H;
  }
  const double meanSeF = sumSeF / kRealisations;
  const double meanSeH = sumSeH / kRealisations;
  EXPECT_NEAR(Deviation(fs) / meanSeF, 1.0, 0.15) << Deviation(fs) << " " << meanSeF;
  EXPECT_NEAR(Deviation(hs) / meanSeH, 1.0, 0.15) << Deviation(hs) << " " << meanSeH;
}

// At a large damping ratio every term of the Jacobian that depends on h
// matters; central differences and a Gauss–Jordan inverse give the same
// standard errors independently.
TEST(StandardErrorsTest, MatchNumericalDerivativesAtLargeDamping) {
  GaussianNoise noise(11);
  const std::vector<float> samples = NoisyDecay(noise, 0.08);
  FitPointSet points;
  points.Delta = 0.05f;
  for (int k = 0; k < kFitPoints; ++k) points.Values[k] = samples[static_cast<std::size_t>(5 * k)];
  FitResult result;
  result.A = 2.7f;
  result.Wn = 23.2f;
  result.H = 0.35f;
  result.Phi = 0.7f;
  const auto se = EvaluationStandardErrors(points, result);
  ASSERT_TRUE(se.has_value());

  const double p0[4] = {result.A, result.Wn, result.H, result.Phi};
  auto model = [](const double* p, double t) {
    return p[0] * std::exp(-p[2] * p[1] * t) * std::cos(std::sqrt(1.0 - p[2] * p[2]) * p[1] * t + p[3]);
  };
  double normal[4][8] = {};  // JᵀJ beside the unit matrix, for Gauss–Jordan
  double sumSquares = 0.0;
  for (int k = 0; k < kFitPoints; ++k) {
    const double t = FitPointTime(points, k);
    double row[4];
    for (int j = 0; j < 4; ++j) {
      double up[4], down[4];
      std::copy(p0, p0 + 4, up);
      std::copy(p0, p0 + 4, down);
      const double step = 1e-6 * std::max(1.0, std::fabs(p0[j]));
      up[j] += step;
      down[j] -= step;
      row[j] = (model(up, t) - model(down, t)) / (2.0 * step);
    }
    for (int i = 0; i < 4; ++i) {
      for (int j = 0; j < 4; ++j) normal[i][j] += row[i] * row[j];
    }
    const double r = points.Values[k] - model(p0, t);
    sumSquares += r * r;
  }
  for (int i = 0; i < 4; ++i) normal[i][4 + i] = 1.0;
  for (int c = 0; c < 4; ++c) {
    int best = c;
    for (int i = c + 1; i < 4; ++i) {
      if (std::fabs(normal[i][c]) > std::fabs(normal[best][c])) best = i;
    }
    std::swap(normal[c], normal[best]);
    const double pivot = normal[c][c];
    for (double& v : normal[c]) v /= pivot;
    for (int i = 0; i < 4; ++i) {
      if (i == c) continue;
      const double factor = normal[i][c];
      for (int j = 0; j < 8; ++j) normal[i][j] -= factor * normal[c][j];
    }
  }
  const double variance = sumSquares / 96.0;
  const double expected[4] = {std::sqrt(variance * normal[0][4]), std::sqrt(variance * normal[1][5]),
                              std::sqrt(variance * normal[2][6]), std::sqrt(variance * normal[3][7])};
  const double got[4] = {se->A, se->Wn, se->H, se->Phi};
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(got[i] / expected[i], 1.0, 1e-5) << "parameter " << i;
  EXPECT_NEAR(se->F, expected[1] / (2.0 * M_PI), 1e-5 * se->F);
}

// Parameters that leave a column of J zero, or no model at all, give no
// standard errors (never NaN).
TEST(StandardErrorsTest, SingularOrUndefinedGivesNone) {
  GaussianNoise noise(7);
  const std::vector<float> samples = NoisyDecay(noise, 0.08);
  const FitEvaluation fit = EvaluateStretch(samples, kRate, 1.0f / kRate, 0, 5.0f, 3.85, 0.035);
  ASSERT_TRUE(fit.Ok());
  ASSERT_TRUE(EvaluationStandardErrors(fit.Points, fit.Result).has_value());

  struct Case {
    const char* what;
    float a, wn, h, phi;
  };
  const Case cases[] = {
      {"A = 0: the ωn, h and Φ columns vanish", 0.0f, 23.2f, 0.027f, 0.7f},
      {"ωn = 0: the h column vanishes", 2.7f, 0.0f, 0.027f, 0.7f},
      {"h = 1: no oscillation", 2.7f, 23.2f, 1.0f, 0.7f},
      {"Φ not a number", 2.7f, 23.2f, 0.027f, NAN},
  };
  for (const Case& c : cases) {
    FitResult result = fit.Result;
    result.A = c.a;
    result.Wn = c.wn;
    result.H = c.h;
    result.Phi = c.phi;
    EXPECT_FALSE(EvaluationStandardErrors(fit.Points, result).has_value()) << c.what;
  }
}

}  // namespace
