#include <gtest/gtest.h>

#include <string>

#include "analysis/Acceptance.h"
#include "analysis/DampedFit.h"
#include "analysis/RandomDecrement.h"
#include "io/NumberText.h"
#include "io/ReadCsv.h"

namespace {

// The shipped sample: a free decay near 1.6 Hz from sample 2000, evaluated
// with what a load leaves in the boxes (f0 = rate × 0.02 as "%.1f", h0 0.03).
TEST(SampleFitTest, SampleDecayIsAccepted) {
  WaveData record;
  const ReadResult read = ReadCsv(std::string(OSCALYX_SOURCE_DIR) + "/sample/sample0.csv", record);
  ASSERT_TRUE(read.ok()) << read.message;
  ASSERT_EQ(record.Rate, 100);
  record.Dt = 1.0f / static_cast<float>(record.Rate);

  const std::string f0Text = FormatFixed(record.Rate * 0.02, 1);
  ASSERT_EQ(f0Text, "2.0");
  const FitEvaluation fit =
      EvaluateStretch(record.Samples[0], record.Rate, record.Dt, 2000, 5.0f, ParseDecimal(f0Text), 0.03);
  ASSERT_TRUE(fit.Ok()) << fit.Failure->Message;
  EXPECT_TRUE(IsAccepted(fit.Result.Ratio)) << fit.Result.Ratio;
  EXPECT_NEAR(fit.Result.F, 1.6, 0.01);
  EXPECT_NEAR(fit.Result.H, 0.025, 0.003);
  EXPECT_EQ(fit.Curve.size(), 500u);
}

// The ambient sample: the random-decrement signature with the dialog's
// defaults (1.41 σ, 5 s), evaluated from what opening it leaves in the boxes
// (f0 = 50 × 0.02 = 1.0 Hz, h0 0.03), is accepted near the first mode.
TEST(SampleFitTest, AmbientSampleSignatureIsAccepted) {
  WaveData record;
  const ReadResult read = ReadCsv(std::string(OSCALYX_SOURCE_DIR) + "/sample/sample2.csv", record);
  ASSERT_TRUE(read.ok()) << read.message;
  const RandomDecrementSignature rd =
      RandomDecrement(record.Samples[0], record.Rate, kDefaultTriggerLevel, kDefaultSignatureSeconds);
  ASSERT_TRUE(rd.Ok());
  EXPECT_GT(rd.Triggers, 200);
  const float dt = static_cast<float>(1.0 / record.Rate);
  const FitEvaluation fit = EvaluateStretch(rd.Values, record.Rate, dt, 0, kDefaultSignatureSeconds,
                                            InitialFrequency(record.Rate), 0.03);
  ASSERT_TRUE(fit.Ok()) << fit.Failure->Message;
  EXPECT_TRUE(IsAccepted(fit.Result.Ratio)) << fit.Result.Ratio;
  EXPECT_NEAR(fit.Result.F, 1.05, 0.02);
  EXPECT_NEAR(fit.Result.H, 0.02, 0.008);
}

}  // namespace
