#include "analysis/SignatureInterval.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/TrustCaseList.h"

namespace {

constexpr std::uint64_t kSeed = 0x51F15EEDCAFE0042ull;

SignatureSetting ShortAmbientRecord() {
  SignatureSetting s;
  s.Modes = {{1.85, 0.04, 1.0, 0.0}};
  s.White = 0.1;
  s.Rate = 100;
  s.Seconds = 400.0;  // 40 000 samples: 10 groups of 8 segment lengths
  s.Length = 5.0f;
  s.F0 = 1.9;
  s.H0 = 0.03;
  return s;
}

// The signature's own residuals say nothing of how much the whole signature
// moves from record to record: ±1.985·se covers rarely, the groups of triggers
// at about the level.
TEST(SignatureIntervalTest, CoversTheModeOfAnAmbientRecord) {
  const TrustSummary s = RunTrustCase(SignatureCase("rd", "", ShortAmbientRecord()), 120, kSeed);
  EXPECT_EQ(s.Failed + s.NoInterval, 0);
  EXPECT_LE(s.SeCoverH, 0.6);
  EXPECT_GE(s.CoverF, 0.88);
  EXPECT_GE(s.CoverH, 0.88);
  EXPECT_LE(s.HalfH / (1.96 * s.SpreadH), 1.6);
}

TEST(SignatureIntervalTest, GivesNoneWhenTheGroupsCannotBeFormed) {
  const TrustRecord record = SignatureCase("rd", "", ShortAmbientRecord()).Make(kSeed);
  const RandomDecrementSignature rd = RandomDecrement(record.Samples, record.Rate, kDefaultTriggerLevel, 5.0f);
  ASSERT_TRUE(rd.Ok());
  const FitEvaluation fit = EvaluateStretch(rd.Values, record.Rate, 0.01f, 0, 5.0f, 1.9, 0.03);
  ASSERT_TRUE(fit.Ok());
  ASSERT_TRUE(SignatureInterval(record.Samples, rd, fit).has_value());

  RandomDecrementSignature noStarts = rd;
  noStarts.TriggerStarts.clear();
  EXPECT_FALSE(SignatureInterval(record.Samples, noStarts, fit).has_value()) << "no trigger samples";

  const std::span<const float> shorter(record.Samples.data(), record.Samples.size() / 2);
  EXPECT_FALSE(SignatureInterval(shorter, rd, fit).has_value()) << "triggers beyond the samples";

  // A fifth of the record holds two groups of eight segment lengths.
  const std::vector<float> part(record.Samples.begin(), record.Samples.begin() + 8000);
  const RandomDecrementSignature shortRd = RandomDecrement(part, record.Rate, kDefaultTriggerLevel, 5.0f);
  ASSERT_TRUE(shortRd.Ok());
  const FitEvaluation shortFit = EvaluateStretch(shortRd.Values, record.Rate, 0.01f, 0, 5.0f, 1.9, 0.03);
  ASSERT_TRUE(shortFit.Ok());
  EXPECT_FALSE(SignatureInterval(part, shortRd, shortFit).has_value()) << "too few groups";

  FitEvaluation beyond = fit;
  beyond.Points.Start = 10;  // the last point would lie past the signature's 500 values
  EXPECT_FALSE(SignatureInterval(record.Samples, rd, beyond).has_value()) << "points beyond the signature";

  FitEvaluation failed = fit;
  failed.Failure = FitFailure{FitFailureKind::SolverFailed, "最小二乗法評価が異常です", "評価エラー", ""};
  EXPECT_FALSE(SignatureInterval(record.Samples, rd, failed).has_value()) << "failed evaluation";
}

}  // namespace
