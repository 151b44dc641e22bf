#include "analysis/Acceptance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "analysis/ResultStore.h"

namespace {

FitResult ResultWith(double f, float h, float ratio) {
  FitResult r;
  r.Wn = static_cast<float>(kTwoPi * f);
  r.F = static_cast<float>(r.Wn * kHzPerRadian);
  r.T = static_cast<float>(kTwoPi / r.Wn);
  r.H = h;
  r.A = 1.25f;
  r.Phi = -0.5f;
  r.Ratio = ratio;
  r.Passes = 812;
  return r;
}

TEST(AcceptanceTest, RatioMustExceedNineTenthsInDouble) {
  EXPECT_FALSE(IsAccepted(0.9f));  // 0.899999976 as stored
  EXPECT_TRUE(IsAccepted(std::nextafter(0.9f, 1.0f)));
  EXPECT_FALSE(IsAccepted(0.5f));
  EXPECT_FALSE(IsAccepted(std::numeric_limits<float>::quiet_NaN()));
  EXPECT_TRUE(IsAccepted(0.953f));

  const AcceptanceStep rejected = AcceptResult(ResultWith(2.0, 0.02f, 0.9f));
  EXPECT_FALSE(rejected.Accepted);
  EXPECT_EQ(rejected.LastF, "failed");
  EXPECT_EQ(rejected.LastH, "failed");
  EXPECT_TRUE(rejected.NextInitF.empty());
  EXPECT_TRUE(rejected.NextInitH.empty());
  // Rejected results are still drawn with their ratio.
  EXPECT_EQ(ResultLines(ResultWith(2.0, 0.02f, 0.9f))[6].Text, "ratio = 0.900");
}

TEST(AcceptanceTest, AcceptedResultGivesLabelsAndRaisedInitialValues) {
  const AcceptanceStep step = AcceptResult(ResultWith(1.96, 0.0251f, 0.953f));
  ASSERT_TRUE(step.Accepted);
  EXPECT_EQ(step.LastF, "1.960");
  EXPECT_EQ(step.LastH, "0.0251");
  EXPECT_EQ(step.NextInitF, "2.058");   // 1.05 × 1.96
  EXPECT_EQ(step.NextInitH, "0.0264");  // 1.05 × 0.0251 = 0.026355
  EXPECT_FLOAT_EQ(step.F, 1.96f);
  EXPECT_EQ(step.H, 0.0251f);
}

TEST(AcceptanceTest, RatioTextsOnPlotAndLabel) {
  const FitResult r = ResultWith(2.0, 0.02f, 0.953f);
  EXPECT_EQ(ResultLines(r)[6].Text, "ratio = 0.953");
  EXPECT_EQ(RatioPercentText(0.953f), "95.3％");
  EXPECT_EQ(ResultLines(r)[5].Text, "φ  = -0.500");
}

TEST(ResultStoreTest, ThreeAcceptedEvaluationsAverageAndRaiseTheLast) {
  ResultStore store;
  const double fs[3] = {2.000, 2.100, 2.200};
  const float hs[3] = {0.0300f, 0.0310f, 0.0320f};
  AcceptanceStep last;
  for (int i = 0; i < 3; ++i) {
    last = AcceptResult(ResultWith(fs[i], hs[i], 0.97f));
    ASSERT_TRUE(last.Accepted);
    EXPECT_EQ(store.AddPoint(last.F, last.H), AddPointOutcome::Stored);
  }
  const AverageTexts texts = AverageLabels(store);
  ASSERT_TRUE(texts.Valid);
  EXPECT_EQ(texts.MeanF, "2.100");
  EXPECT_EQ(texts.MeanH, "0.0310");
  EXPECT_EQ(texts.Count, "3回");
  EXPECT_EQ(last.NextInitF, "2.310");
  EXPECT_EQ(last.NextInitH, "0.0336");
  // Single-precision sums from zero, then one division.
  EXPECT_EQ(store.AveF, ((0.0f + store.DataF[0]) + store.DataF[1] + store.DataF[2]) / 3.0f);
}

TEST(ResultStoreTest, HundredAndFirstPairIsNotKept) {
  ResultStore store;
  for (int i = 0; i < kStoreCapacity; ++i) {
    ASSERT_EQ(store.AddPoint(1.0f + 0.01f * i, 0.02f), AddPointOutcome::Stored);
  }
  const float meanF = store.AveF;
  EXPECT_TRUE(store.Full());
  EXPECT_EQ(store.AddPoint(9.0f, 0.5f), AddPointOutcome::Full);
  EXPECT_EQ(store.AddPoint(9.5f, 0.6f), AddPointOutcome::Full);
  EXPECT_EQ(store.NData, 100);
  EXPECT_EQ(store.AveF, meanF);
  EXPECT_EQ(store.DataF[99], 1.0f + 0.01f * 99);
  EXPECT_EQ(AverageLabels(store).Count, "100回");

  store.Reset();
  EXPECT_EQ(store.NData, 0);
  EXPECT_FALSE(AverageLabels(store).Valid);
  EXPECT_EQ(store.AddPoint(2.5f, 0.04f), AddPointOutcome::Stored);
  EXPECT_EQ(AverageLabels(store).MeanF, "2.500");
}

TEST(ResultStoreTest, EmptyStoreLeavesAveragesAtZero) {
  ResultStore store;
  store.AveF = 7.0f;
  store.ComputeAverages();
  EXPECT_EQ(store.AveF, 0.0f);
  EXPECT_EQ(store.AveH, 0.0f);
  EXPECT_FALSE(AverageLabels(store).Valid);
}

}  // namespace
