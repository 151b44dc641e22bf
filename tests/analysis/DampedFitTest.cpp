#include "analysis/DampedFit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "analysis/Acceptance.h"

namespace {

struct Decay {
  double A;
  double F;  // Hz, undamped
  double H;
  double Phi;
};

// A free decay sampled at `rate`, its t = 0 at sample `offset`; the samples
// before it hold a small sine so that nothing there is 0.
std::vector<float> DecayRecord(const Decay& d, int rate, int offset, int count, double noise = 0.0) {
  std::vector<float> samples(static_cast<std::size_t>(count));
  const double wn = 2.0 * M_PI * d.F;
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  auto uniform = [&state] {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return ((state >> 11) + 0.5) / 9007199254740992.0;
  };
  for (int i = 0; i < count; ++i) {
    const double t = static_cast<double>(i - offset) / rate;
    double value = i < offset ? 0.01 * std::sin(0.37 * i) + 0.02
                              : d.A * std::exp(-d.H * wn * t) * std::cos(wn * std::sqrt(1.0 - d.H * d.H) * t + d.Phi);
    if (noise > 0.0) {
      // Box–Muller from our own generator, the same on every platform.
      value += noise * std::sqrt(-2.0 * std::log(uniform())) * std::cos(2.0 * M_PI * uniform());
    }
    samples[static_cast<std::size_t>(i)] = static_cast<float>(value);
  }
  return samples;
}

constexpr Decay kExample{3.0, 2.0, 0.03, 0.7};

TEST(DampedFitTest, NoiseFreeExamplePrintsEveryDigit) {
  const std::vector<float> record = DecayRecord(kExample, 100, 300, 1000);
  const FitEvaluation fit = EvaluateStretch(record, 100, 1.0f / 100, 300, 5.0f, 2.2, 0.05);
  ASSERT_TRUE(fit.Ok()) << fit.Failure->Message;

  const auto lines = ResultLines(fit.Result);
  const char* expected[7] = {"A   = 3.000",         "ωn = 12.566 (1/sec)", "f    = 2.000 (Hz)", "T    = 0.500 (sec)",
                             "h    = 0.0300",       "φ  = 0.700",          "ratio = 1.000"};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(lines[i].Text, expected[i]);
  EXPECT_EQ(lines[0].X, 600);
  EXPECT_EQ(lines[0].Y, 250);
  EXPECT_EQ(lines[6].X, 595);
  EXPECT_EQ(lines[6].Y, 370);
  EXPECT_TRUE(IsAccepted(fit.Result.Ratio));
  EXPECT_EQ(RatioPercentText(fit.Result.Ratio), "100.0％");
  // f and T come from ωn with the fixed constants.
  EXPECT_EQ(fit.Result.F, static_cast<float>(fit.Result.Wn * 0.15915494309189535));
  EXPECT_EQ(fit.Result.T, static_cast<float>(6.283185307179586 / fit.Result.Wn));
  // 1/100 of the correction per pass: hundreds of passes, far from the bound.
  EXPECT_GT(fit.Result.Passes, 300);
  EXPECT_LT(fit.Result.Passes, kFitMaxPasses / 4);
}

TEST(DampedFitTest, FitPointsAndCurveFollowTheStepRule) {
  struct Case {
    float width;  // s
    int n;
    int step;
  };
  // 500 and 250 samples wide, and 30: below 100 the points run on past the
  // stretch, while the curve covers the stretch only.
  const Case cases[] = {{5.0f, 500, 5}, {2.5f, 250, 2}, {0.3f, 30, 1}};
  const int start = 1234;
  const std::vector<float> record = DecayRecord({1.6, 3.7, 0.02, -0.9}, 100, start, 3000);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.width);
    const FitEvaluation fit = EvaluateStretch(record, 100, 0.01f, start, c.width, 3.5, 0.03);
    ASSERT_TRUE(fit.Ok());
    EXPECT_EQ(fit.N, c.n);
    EXPECT_EQ(fit.Points.Start, start);
    EXPECT_EQ(fit.Points.Step, c.step);
    EXPECT_EQ(fit.Points.Delta, static_cast<float>(c.step * static_cast<double>(0.01f)));
    for (int k = 0; k < kFitPoints; ++k) ASSERT_EQ(fit.Points.Values[k], record[start + k * c.step]) << k;
    ASSERT_EQ(fit.Curve.size(), static_cast<std::size_t>(c.n));
    const FitResult& r = fit.Result;
    for (int i = 0; i < c.n; i += 7) {
      EXPECT_EQ(fit.Curve[i], DampedModel(r.A, r.Wn, r.H, r.Phi, static_cast<float>(i * static_cast<double>(0.01f))));
    }
    EXPECT_NEAR(r.F, 3.7, 0.002);
    EXPECT_NEAR(r.H, 0.02, 0.0005);
    EXPECT_GT(r.Ratio, 0.999f);
  }
}

TEST(DampedFitTest, WidthInSamplesIsTruncatedFromTheDoubleProduct) {
  // 0.02 s is 0.0199999996 in single precision: 19 samples at 1000/s, step 1.
  const std::vector<float> record = DecayRecord({2.0, 21.0, 0.04, 0.3}, 1000, 0, 400);
  const FitEvaluation fit = EvaluateStretch(record, 1000, 1.0f / 1000, 0, 0.02f, 20.0, 0.03);
  ASSERT_TRUE(fit.Ok());
  EXPECT_EQ(fit.N, 19);
  EXPECT_EQ(fit.Curve.size(), 19u);
  EXPECT_EQ(fit.Points.Step, 1);
}

TEST(DampedFitTest, NoisyDecayIsFoundNearItsTrueValues) {
  // 3.7 Hz, h 0.045, phase -0.9, noise of 4 % of the amplitude, 200 samples/s.
  // The noise alone moves the least-squares optimum by about 0.005 Hz, 0.0014
  // in h, 0.04 in A and 0.022 rad (one standard deviation); the bounds are four.
  const Decay truth{1.8, 3.7, 0.045, -0.9};
  const std::vector<float> record = DecayRecord(truth, 200, 600, 3000, 0.07);
  const FitEvaluation fit = EvaluateStretch(record, 200, 1.0f / 200, 600, 5.0f, 3.4, 0.03);
  ASSERT_TRUE(fit.Ok());
  const FitResult& r = fit.Result;
  EXPECT_NEAR(r.F, 3.7, 0.021);
  EXPECT_NEAR(r.H, 0.045, 0.0056);
  EXPECT_NEAR(r.A, 1.8, 0.16);
  EXPECT_NEAR(r.Phi, -0.9, 0.09);
  EXPECT_GT(r.Ratio, 0.95f);
  EXPECT_LT(r.Ratio, 1.0f);
  EXPECT_TRUE(IsAccepted(r.Ratio));
  EXPECT_LT(r.Passes, kFitMaxPasses / 4);
}

// Accelerations in g or m/s² are small numbers: the same record in units a
// thousand or a million times larger fits to the same frequency, damping and
// phase, and to an amplitude as much smaller.
TEST(DampedFitTest, SmallAmplitudesFitAsLargeOnes) {
  const Decay truth{1.8, 3.7, 0.045, -0.9};
  const std::vector<float> record = DecayRecord(truth, 200, 600, 3000, 0.07);
  const FitEvaluation reference = EvaluateStretch(record, 200, 1.0f / 200, 600, 5.0f, 3.4, 0.03);
  ASSERT_TRUE(reference.Ok());
  for (const double scale : {1e-4, 1e-6}) {
    SCOPED_TRACE(scale);
    std::vector<float> small(record.size());
    for (std::size_t i = 0; i < record.size(); ++i) small[i] = static_cast<float>(record[i] * scale);
    const FitEvaluation fit = EvaluateStretch(small, 200, 1.0f / 200, 600, 5.0f, 3.4, 0.03);
    ASSERT_TRUE(fit.Ok()) << fit.Failure->Message;
    EXPECT_NEAR(fit.Result.F, reference.Result.F, 1e-4);
    EXPECT_NEAR(fit.Result.H, reference.Result.H, 1e-5);
    EXPECT_NEAR(fit.Result.Phi, reference.Result.Phi, 1e-4);
    EXPECT_NEAR(fit.Result.A / scale, reference.Result.A, 1e-4);
    EXPECT_NEAR(fit.Result.Ratio, reference.Result.Ratio, 1e-5);
  }
}

// Every failure carries its own message; none of them ends the program.
TEST(DampedFitTest, FailuresCarryTheirKindAndMessage) {
  struct Case {
    const char* name;
    std::vector<float> record;
    std::int64_t start;
    float width;
    double h0;
    FitFailureKind kind;
    const char* message;
  };
  const std::vector<float> decay = DecayRecord(kExample, 100, 0, 1000);
  std::vector<float> zeroFirst = decay;
  zeroFirst[200] = 0.0f;
  std::vector<float> withNan = decay;
  withNan[5 * 57] = std::numeric_limits<float>::quiet_NaN();
  const Case cases[] = {
      {"first fit sample 0", zeroFirst, 200, 5.0f, 0.05, FitFailureKind::SolverFailed, "最小二乗法評価が異常です"},
      {"all samples 0", std::vector<float>(1000, 0.0f), 0, 5.0f, 0.05, FitFailureKind::SolverFailed,
       "最小二乗法評価が異常です"},
      {"h0 1.0", decay, 0, 5.0f, 1.0, FitFailureKind::DampingOutOfRange, "減衰係数の評価が異常です"},
      {"h0 -1.5", decay, 0, 5.0f, -1.5, FitFailureKind::DampingOutOfRange, "減衰係数の評価が異常です"},
      {"start before the record", decay, -1, 5.0f, 0.05, FitFailureKind::StartOutside,
       "評価開始点がデータの範囲外です。"},
      {"start at the sample count", decay, 1000, 0.2f, 0.05, FitFailureKind::StartOutside,
       "評価開始点がデータの範囲外です。"},
      // 1000 samples, step 5: the last point of start 505 would be sample 1000.
      {"last point past the end", decay, 505, 5.0f, 0.05, FitFailureKind::PointsPastEnd,
       "評価点がデータの終わりを越えています。"},
      // Short width: 100 consecutive points from 950 run past sample 999.
      {"short width near the end", decay, 950, 0.3f, 0.05, FitFailureKind::PointsPastEnd,
       "評価点がデータの終わりを越えています。"},
      {"sample not a number", withNan, 0, 5.0f, 0.05, FitFailureKind::BadSamples,
       "評価点に数値でないデータがあります。"},
      {"negative width", decay, 0, -1.0f, 0.05, FitFailureKind::BadInput, "表示時間幅が正しくありません。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const FitEvaluation fit = EvaluateStretch(c.record, 100, 0.01f, c.start, c.width, 2.2, c.h0);
    ASSERT_FALSE(fit.Ok());
    EXPECT_EQ(fit.Failure->Kind, c.kind);
    EXPECT_EQ(fit.Failure->Message, c.message);
    EXPECT_EQ(fit.Failure->Title, "評価エラー");
    EXPECT_TRUE(fit.Curve.empty());
  }
}

TEST(DampedFitTest, LastPointOnTheLastSampleIsAllowed) {
  const std::vector<float> decay = DecayRecord(kExample, 100, 504, 1000);
  // Step 5 from 504: the last point is sample 504 + 99 × 5 = 999.
  const FitEvaluation fit = EvaluateStretch(decay, 100, 0.01f, 504, 5.0f, 2.2, 0.05);
  ASSERT_TRUE(fit.Ok());
  EXPECT_EQ(fit.Points.Values[99], decay[999]);
  // The curve still covers the whole displayed width, past the record's end.
  EXPECT_EQ(fit.Curve.size(), 500u);
}

TEST(DampedFitTest, DampingCarriedToOneByAPassIsTheDampingFailure) {
  // A plain exponential has no oscillation to fit: from h0 0.8 the first
  // update carries h past 1, where the model is undefined.
  std::vector<float> record(1000);
  for (int i = 0; i < 1000; ++i) record[i] = static_cast<float>(3.0 * std::exp(-2.0 * i * 0.01));
  const FitEvaluation fit = EvaluateStretch(record, 100, 0.01f, 0, 5.0f, 2.0, 0.8);
  ASSERT_FALSE(fit.Ok());
  EXPECT_EQ(fit.Failure->Kind, FitFailureKind::DampingOutOfRange);
  EXPECT_EQ(fit.Failure->Message, "減衰係数の評価が異常です");
}

TEST(DampedFitTest, ReachingThePassBoundIsOurOwnFailure) {
  const std::vector<float> record = DecayRecord(kExample, 100, 0, 1000);
  const FitEvaluation fit = EvaluateStretch(record, 100, 0.01f, 0, 5.0f, 2.2, 0.05, 40);
  ASSERT_FALSE(fit.Ok());
  EXPECT_EQ(fit.Failure->Kind, FitFailureKind::PassLimit);
  EXPECT_EQ(fit.Failure->Message, "評価が収束しません（繰返回数が上限に達しました）。");
  // The same fit with room enough settles.
  EXPECT_TRUE(EvaluateStretch(record, 100, 0.01f, 0, 5.0f, 2.2, 0.05).Ok());
}

}  // namespace
