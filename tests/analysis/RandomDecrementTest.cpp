#include "analysis/RandomDecrement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/DampedFit.h"
#include "tests/support/AmbientRecord.h"

namespace {

// Mean 0 and σ = 1 exactly. Up-crossings of 0.5 (and of 1) at i = 3, 5 and
// 8; the record starts above the level, which is no crossing.
const std::vector<float> kSquare = {1, -1, -1, 1, -1, 1, -1, -1, 1, 1};

TEST(RandomDecrementTest, TriggersNeedAPredecessorAndAWholeSegment) {
  struct Case {
    double level;
    float seconds;  // at 1 sample/s: M
    std::int64_t triggers;
    std::vector<float> values;
  };
  const Case cases[] = {
      {0.5, 2.0f, 3, {1.0f, -1.0f / 3}},  // i = 8: its segment ends on the last sample
      {0.5, 3.0f, 2, {1.0f, -1.0f, 0.0f}},  // i = 8 would pass the end
      {1.0, 2.0f, 3, {1.0f, -1.0f / 3}},  // a sample equal to the level triggers
  };
  for (const Case& c : cases) {
    const RandomDecrementSignature rd = RandomDecrement(kSquare, 1, c.level, c.seconds);
    ASSERT_TRUE(rd.Ok()) << rd.Failure->Message;
    EXPECT_EQ(rd.Sigma, 1.0);
    EXPECT_EQ(rd.Level, c.level);
    EXPECT_EQ(rd.Triggers, c.triggers);
    EXPECT_EQ(rd.Length, static_cast<std::int32_t>(c.values.size()));
    EXPECT_EQ(rd.Values, c.values) << c.level << " " << c.seconds;
  }
}

TEST(RandomDecrementTest, RefusalsAndARecordWithoutCrossing) {
  struct Case {
    std::vector<float> samples;
    double level;
    float seconds;
    RandomDecrementFailureKind kind;
    const char* message;
  };
  // A falling ramp crosses no level upwards; a level above the largest value
  // is never reached.
  const Case cases[] = {
      {{5, 4, 3, 2, 1, 0, -1, -2}, 0.5, 2.0f, RandomDecrementFailureKind::NoTrigger, "トリガ点がありません"},
      {kSquare, 1.01, 2.0f, RandomDecrementFailureKind::NoTrigger, "トリガ点がありません"},
      {kSquare, 0.0, 2.0f, RandomDecrementFailureKind::BadLevel, "トリガレベルは0より大きい数にしてください。"},
      {kSquare, 0.5, 1.9f, RandomDecrementFailureKind::TooShort, "信号の長さが短すぎます（2サンプル以上必要です）。"},
      {kSquare, 0.5, 11.0f, RandomDecrementFailureKind::TooLong, "信号の長さがデータの長さを超えています。"},
  };
  for (const Case& c : cases) {
    const RandomDecrementSignature rd = RandomDecrement(c.samples, 1, c.level, c.seconds);
    ASSERT_FALSE(rd.Ok());
    EXPECT_EQ(rd.Failure->Kind, c.kind);
    EXPECT_EQ(rd.Failure->Message, c.message);
    EXPECT_TRUE(rd.Values.empty());
  }
  // One value that is not a number would make the mean, σ and every level
  // one too: refused by name, not reported as a record without triggers.
  for (const float bad : {std::nanf(""), INFINITY, -INFINITY}) {
    std::vector<float> samples = kSquare;
    samples[6] = bad;
    const RandomDecrementSignature rd = RandomDecrement(samples, 1, 0.5, 2.0f);
    ASSERT_FALSE(rd.Ok());
    EXPECT_EQ(rd.Failure->Kind, RandomDecrementFailureKind::BadSamples);
    EXPECT_EQ(rd.Failure->Message, "データに数値でない値があります（サンプル番号 6）。");
  }
  // The whole record as one segment is allowed: only i = 0 could start it.
  EXPECT_EQ(RandomDecrement(kSquare, 1, 0.5, 10.0f).Failure->Kind, RandomDecrementFailureKind::NoTrigger);
}

TEST(RandomDecrementTest, SignatureOfAnAmbientRecordShowsTheSystem) {
  constexpr double kF = 1.85, kH = 0.04;
  constexpr int kRate = 100;
  const std::vector<float> record = AmbientResponse(kF, kH, kRate, 1000000, 0x2545F4914F6CDD1Dull);
  const RandomDecrementSignature rd = RandomDecrement(record, kRate, kDefaultTriggerLevel, kDefaultSignatureSeconds);
  ASSERT_TRUE(rd.Ok()) << rd.Failure->Message;
  EXPECT_EQ(rd.Length, 500);
  EXPECT_GT(rd.Triggers, 1000);
  EXPECT_NEAR(rd.Level, 1.41 * rd.Sigma, 1e-12);
  EXPECT_GE(rd.Values[0], rd.Level);  // every segment starts at or above the level

  const FitEvaluation fit = EvaluateStretch(rd.Values, kRate, 1.0f / kRate, 0, 5.0f, 2.0, 0.03);
  ASSERT_TRUE(fit.Ok()) << fit.Failure->Message;
  EXPECT_NEAR(fit.Result.F, kF, 0.01 * kF);
  EXPECT_NEAR(fit.Result.H, kH, 0.2 * kH);
}

// The trigger samples and the mean are kept for the signature's interval; they
// must be the ones the signature was summed over.
TEST(RandomDecrementTest, KeepsTheTriggerSamplesAndTheMean) {
  std::vector<float> shifted = kSquare;
  for (float& v : shifted) v += 2.5f;  // mean 2.5, the same crossings
  struct Case {
    double level;
    float seconds;
    std::vector<std::int64_t> starts;
  };
  const Case cases[] = {{0.5, 2.0f, {3, 5, 8}}, {0.5, 3.0f, {3, 5}}};
  for (const Case& c : cases) {
    const RandomDecrementSignature rd = RandomDecrement(shifted, 1, c.level, c.seconds);
    ASSERT_TRUE(rd.Ok());
    EXPECT_EQ(rd.Mean, 2.5);
    EXPECT_EQ(rd.TriggerStarts, c.starts);
    EXPECT_EQ(rd.Triggers, static_cast<std::int64_t>(c.starts.size()));
  }
}

}  // namespace
