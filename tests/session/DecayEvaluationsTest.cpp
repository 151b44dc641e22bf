// The evaluations of detected decays: which stretches, from which initial
// values, and that the evaluations made on every core are the ones made one by
// one, in order, or none when stopped.
#include <gtest/gtest.h>

#include <atomic>

#include "session/DecayEvaluations.h"
#include "tests/support/DecayRecord.h"

namespace {

constexpr double kRate = 200.0;

std::vector<std::int64_t> Starts(const std::vector<EvaluationRequest>& requests) {
  std::vector<std::int64_t> starts;
  for (const EvaluationRequest& request : requests) starts.push_back(request.Start);
  return starts;
}

TEST(DecayEvaluationsTest, InitialFrequencyIsWhatTheLogPrints) {
  struct Case {
    double detected;
    double logged;
  };
  const Case cases[] = {{3.70123456, 3.70123}, {1234.5678, 1234.57}, {0.000123456789, 0.000123457}, {12.5, 12.5}};
  for (const Case& c : cases) {
    EXPECT_EQ(DecayInitialFrequency(c.detected), c.logged) << c.detected;
    char printed[32];
    std::snprintf(printed, sizeof printed, "%g", c.detected);
    EXPECT_EQ(DecayInitialFrequency(c.detected), std::strtod(printed, nullptr)) << c.detected;
  }
}

// A 1 s stretch at 200 samples/s covers 200 samples: its last sample is
// start + 199.
TEST(DecayEvaluationsTest, StretchesFollowTheDecayUntilItsEnd) {
  const std::vector<DetectedDecay> decays = {{100, 400, 1000, 1.0, 3.71, 10.0}, {2000, 2300, 2450, 0.5, 3.69, 2.0}};
  struct Case {
    std::optional<std::int64_t> step;
    std::vector<std::int64_t> starts;
  };
  const Case cases[] = {
      {std::nullopt, {400, 2300}},
      // 400 + 3·200 = 1000: its stretch ends at 1199, past the end; the second
      // decay's suggested stretch reaches past its end and stays alone.
      {200, {400, 600, 800, 2300}},
      {201, {400, 601, 2300}},
      {0, {400, 2300}},  // no step: no successive stretches
  };
  for (const Case& c : cases) {
    DecayEvaluationSettings settings;
    settings.Channel = 2;
    settings.WidthSeconds = 1.0f;
    settings.H0 = 0.045;
    settings.StepSamples = c.step;
    const std::vector<EvaluationRequest> requests = DecayRequests(decays, kRate, settings);
    EXPECT_EQ(Starts(requests), c.starts) << c.step.value_or(-1);
    for (const EvaluationRequest& request : requests) {
      EXPECT_EQ(request.Channel, 2);
      EXPECT_EQ(request.WidthSeconds, 1.0f);
      EXPECT_EQ(request.H0, 0.045);
      EXPECT_EQ(request.F0, request.Start < 2000 ? 3.71 : 3.69);
    }
  }
}

// A stretch shorter than the fit's 100 points ends where the points do.
TEST(DecayEvaluationsTest, AShortStretchEndsWithItsLastFitPoint) {
  const std::vector<DetectedDecay> decays = {{0, 50, 300, 1.0, 20.0, 10.0}};
  DecayEvaluationSettings settings;
  settings.WidthSeconds = 0.2f;  // 40 samples, but the points cover 100
  settings.StepSamples = 50;
  EXPECT_EQ(Starts(DecayRequests(decays, kRate, settings)), (std::vector<std::int64_t>{50, 100, 150, 200}));
}

WaveData TwoDecayRecord() {
  DecayRecordShape shape;
  shape.Count = 6000;
  shape.Rate = kRate;
  shape.Decays = {{800, 1.0, 3.7, 0.02, 0.7}, {3500, 0.6, 3.7, 0.03, -1.1}};
  shape.NoiseSigma = 0.01;
  shape.Seed = 11;
  WaveData record;
  record.ChannelCount = 1;
  record.SampleCount = static_cast<std::int32_t>(shape.Count);
  record.Rate = static_cast<int>(kRate);
  record.Dt = static_cast<float>(1.0 / kRate);
  CopyToSlot("decays.csv", record.FileName);
  CopyToSlot("P1", record.Names[0]);
  record.Samples[0] = DecayRecord(shape);
  return record;
}

TEST(DecayEvaluationsTest, EvaluationsOnEveryCoreAreTheOnesMadeInTurn) {
  const WaveData record = TwoDecayRecord();
  const std::vector<DetectedDecay> decays = {{800, 900, 2400, 1.0, 3.7, 5.0}, {3500, 3600, 5000, 0.6, 3.7, 5.0}};
  DecayEvaluationSettings settings;
  settings.WidthSeconds = 2.0f;
  settings.StepSamples = 97;
  const std::vector<EvaluationRequest> requests = DecayRequests(decays, kRate, settings);
  ASSERT_GT(requests.size(), 20u);
  std::vector<double> reports;
  Progress progress;
  progress.Report = [&reports](double fraction) { reports.push_back(fraction); };
  const DecayEvaluationRun run = EvaluateRequests(record, std::nullopt, requests, 1234567, {}, &progress);
  ASSERT_FALSE(run.Cancelled);
  ASSERT_EQ(run.Evaluations.size(), requests.size());
  for (std::size_t i = 0; i < requests.size(); ++i) {
    const Evaluation alone = EvaluateRecord(record, std::nullopt, requests[i], 1234567, {});
    EXPECT_EQ(run.Evaluations[i].Request.Start, requests[i].Start);
    EXPECT_EQ(run.Evaluations[i].ResultsRow, alone.ResultsRow) << i;
    EXPECT_EQ(run.Evaluations[i].LogRow, alone.LogRow) << i;
  }
  EXPECT_TRUE(run.Evaluations.front().Accepted());
  // Only the last that succeeded keeps its curve.
  std::size_t lastOk = 0;
  for (std::size_t i = 0; i < requests.size(); ++i) {
    if (run.Evaluations[i].Ok()) lastOk = i;
  }
  for (std::size_t i = 0; i < requests.size(); ++i) {
    EXPECT_EQ(run.Evaluations[i].Fit.Curve.size(), i == lastOk ? 400u : 0u) << i;
  }
  ASSERT_FALSE(reports.empty());
  EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
  EXPECT_EQ(reports.back(), 1.0);
}

TEST(DecayEvaluationsTest, StoppedRunReturnsNothing) {
  const WaveData record = TwoDecayRecord();
  const std::vector<DetectedDecay> decays = {{800, 900, 2400, 1.0, 3.7, 5.0}};
  DecayEvaluationSettings settings;
  settings.StepSamples = 10;
  const std::vector<EvaluationRequest> requests = DecayRequests(decays, kRate, settings);
  std::atomic<bool> cancel{false};
  Progress progress;
  progress.Cancel = &cancel;
  progress.Report = [&cancel](double) { cancel.store(true); };
  const DecayEvaluationRun run = EvaluateRequests(record, std::nullopt, requests, 0, {}, &progress);
  EXPECT_TRUE(run.Cancelled);
  EXPECT_TRUE(run.Evaluations.empty());
}

}  // namespace
