#include <gtest/gtest.h>

#include <string>

#include "analysis/Acceptance.h"
#include "analysis/DampedFit.h"
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

}  // namespace
