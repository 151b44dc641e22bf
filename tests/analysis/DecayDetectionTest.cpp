#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "analysis/BandPass.h"
#include "analysis/DampedFit.h"
#include "analysis/DecayDetection.h"
#include "analysis/Spectrum.h"
#include "io/ShiftJisText.h"
#include "io/WaveData.h"
#include "tests/support/AmbientRecord.h"
#include "tests/support/DecayRecord.h"
#include "tests/support/GaussianNoise.h"
#include "tests/support/ProgressProbe.h"

namespace {

constexpr double kRate = 200.0;
constexpr double kF = 3.7, kH = 0.02;
const double kPeriod = kRate / kF;  // samples

// Five decays of one system among noise, on an offset and a drift: of
// different sizes, one a few times the noise floor, one clipped for its first
// cycles (the record is clipped at ±8 about its offset).
DecayRecordShape MixedRecord() {
  DecayRecordShape shape;
  shape.Count = 40000;
  shape.Rate = kRate;
  shape.NoiseSigma = 0.05;
  shape.Seed = 11;
  shape.Offset = 2.5;
  shape.DriftPerSample = 1e-5;
  shape.Clip = 8.0;
  shape.Decays = {{2000, 5.0, kF, kH, 0.7},
                 {9000, 1.2, kF, kH, 2.0},
                 {16000, 0.08, kF, kH, 0.3},  // the envelope's noise is about 0.01
                 {23000, 30.0, kF, kH, 1.1},  // clipped
                 {31000, 2.0, kF, kH, 2.9}};
  return shape;
}

void ExpectInside(const DetectedDecay& d, std::size_t n) {
  EXPECT_GE(d.Onset, 0);
  EXPECT_LT(d.Onset, d.Start);
  EXPECT_LT(d.Start, d.End);
  EXPECT_LT(d.End, static_cast<std::int64_t>(n));
}

TEST(DecayDetectionTest, DecaysAmongNoiseAreFoundAtTheirOnsets) {
  const DecayRecordShape shape = MixedRecord();
  const std::vector<float> x = DecayRecord(shape);
  const DecayDetection found = DetectDecays(x, kRate);
  ASSERT_TRUE(found.Ok()) << found.Failure->Message;
  EXPECT_NEAR(found.CentreHz, kF, 0.01);
  ASSERT_EQ(found.Decays.size(), shape.Decays.size());
  const double fd = kF * std::sqrt(1.0 - kH * kH);
  for (std::size_t i = 0; i < shape.Decays.size(); ++i) {
    const DetectedDecay& d = found.Decays[i];
    const SyntheticDecay& truth = shape.Decays[i];
    SCOPED_TRACE(i);
    ExpectInside(d, x.size());
    EXPECT_NEAR(static_cast<double>(d.Onset), static_cast<double>(truth.Onset), 0.25 * kPeriod);
    EXPECT_GE(static_cast<double>(d.Start), static_cast<double>(truth.Onset) + 2.0 * kPeriod);
    if (i + 1 < shape.Decays.size()) {
      EXPECT_LT(d.End, shape.Decays[i + 1].Onset);
    }
    EXPECT_NEAR(d.F, fd, (i == 2 ? 0.02 : 0.003) * fd);
    EXPECT_GE(d.Cycles, 3.0);
    EXPECT_NEAR(d.Cycles, d.F * static_cast<double>(d.End - d.Start) / kRate, 1e-9);
  }
  // Ends about three time constants after the start, or at the floor.
  const double timeConstant = kRate / (kH * 2.0 * M_PI * kF);
  EXPECT_NEAR(static_cast<double>(found.Decays[0].End - found.Decays[0].Start), 3.0 * timeConstant,
              0.15 * timeConstant);
  EXPECT_LT(found.Decays[2].End - found.Decays[2].Start, 2.0 * timeConstant);
  // Peaks in proportion to the amplitudes of the unclipped decays.
  EXPECT_NEAR(found.Decays[0].Peak / found.Decays[1].Peak, 5.0 / 1.2, 0.05 * 5.0 / 1.2);
  EXPECT_NEAR(found.Decays[4].Peak / found.Decays[1].Peak, 2.0 / 1.2, 0.05 * 2.0 / 1.2);
  // The clipped decay starts after its last sample at the record's extremes.
  std::int64_t lastClipped = 0;
  for (std::int64_t i = shape.Decays[3].Onset; i < shape.Decays[4].Onset; ++i) {
    const double v = x[static_cast<std::size_t>(i)];
    if (v == shape.Offset + shape.Clip || v == shape.Offset - shape.Clip) lastClipped = i;
  }
  ASSERT_GT(lastClipped, shape.Decays[3].Onset + 5 * static_cast<std::int64_t>(kPeriod));
  EXPECT_GT(found.Decays[3].Start, lastClipped);
}

// Mains hum or a slow sway can outdo the decays in the spectrum; the band is
// the strongest peak's that shows decays. (What is left of a sway of 6 after
// the baseline lifts the floor above the weakest decay.)
TEST(DecayDetectionTest, StrongerSteadyVibrationsDoNotHideTheDecays) {
  const DecayRecordShape shape = MixedRecord();
  for (const double f : {50.0, 0.31}) {
    std::vector<float> x = DecayRecord(shape);
    for (std::size_t i = 0; i < x.size(); ++i) {
      x[i] += static_cast<float>(6.0 * std::sin(2.0 * M_PI * f * static_cast<double>(i) / kRate + 0.4));
    }
    const DecayDetection found = DetectDecays(x, kRate);
    ASSERT_TRUE(found.Ok());
    EXPECT_NEAR(found.CentreHz, kF, 0.01) << f;
    std::vector<std::int64_t> onsets;
    for (const DetectedDecay& d : found.Decays) onsets.push_back(d.Onset);
    for (const std::size_t i : {0u, 1u, 3u, 4u}) {
      EXPECT_TRUE(std::any_of(onsets.begin(), onsets.end(),
                              [&](std::int64_t onset) { return std::abs(onset - shape.Decays[i].Onset) < kPeriod / 4; }))
          << f << ": decay " << i;
    }
    EXPECT_LE(found.Decays.size(), shape.Decays.size()) << f;
  }
}

TEST(DecayDetectionTest, RecordsWithoutDecaysHaveNone) {
  struct Case {
    const char* name;
    std::vector<float> samples;
    double rate;
  };
  DecayRecordShape noise;
  noise.Count = 100000;
  noise.Rate = kRate;
  noise.NoiseSigma = 0.3;
  noise.Offset = -1.5;
  noise.Seed = 3;
  // A vibration that sets in and goes on is no decay.
  std::vector<float> steady = DecayRecord(noise);
  for (std::size_t i = 20000; i < steady.size(); ++i) {
    steady[i] += static_cast<float>(2.0 * std::cos(2.0 * M_PI * kF * static_cast<double>(i) / kRate));
  }
  const Case cases[] = {
      {"white noise", DecayRecord(noise), kRate},
      {"ambient response", AmbientResponse(1.85, 0.04, 100, 1000000, 0x2545F4914F6CDD1Dull), 100.0},
      {"steady vibration", steady, kRate},
  };
  for (const Case& c : cases) {
    const DecayDetection found = DetectDecays(c.samples, c.rate);
    ASSERT_TRUE(found.Ok()) << c.name;
    EXPECT_TRUE(found.Decays.empty()) << c.name << ": " << found.Decays.size() << ", the first at "
                                      << (found.Decays.empty() ? 0 : found.Decays[0].Onset);
  }
}

TEST(DecayDetectionTest, BeatingOfCloseModesIsOneDecay) {
  struct Case {
    double f2;
    double ratio;  // second mode's amplitude over the first's
  };
  // Beat periods of 3.3 and 10 s (12 and 37 periods), shallow and deep.
  const Case cases[] = {{4.0, 0.6}, {4.0, 0.9}, {3.8, 0.6}, {3.8, 0.9}};
  for (const Case& c : cases) {
    DecayRecordShape shape;
    shape.Count = 30000;
    shape.Rate = kRate;
    shape.NoiseSigma = 0.02;
    shape.Seed = 5;
    shape.Decays = {{5000, 1.0, kF, 0.005, 0.7}, {5000, c.ratio, c.f2, 0.005, 2.1}};
    const std::vector<float> x = DecayRecord(shape);
    const DecayDetection found = DetectDecays(x, kRate);
    ASSERT_TRUE(found.Ok());
    ASSERT_EQ(found.Decays.size(), 1u) << c.f2 << " " << c.ratio;
    ExpectInside(found.Decays[0], x.size());
    EXPECT_NEAR(static_cast<double>(found.Decays[0].Onset), 5000.0, 0.25 * kPeriod) << c.f2 << " " << c.ratio;
    // Between the two: the zero crossings follow the stronger mode on average.
    EXPECT_GT(found.Decays[0].F, kF - 0.02) << c.f2 << " " << c.ratio;
    EXPECT_LT(found.Decays[0].F, c.f2) << c.f2 << " " << c.ratio;
  }
}

TEST(DecayDetectionTest, SecondImpactOnARingingTailIsANewOnset) {
  DecayRecordShape shape;
  shape.Count = 20000;
  shape.Rate = kRate;
  shape.NoiseSigma = 0.02;
  shape.Seed = 9;
  // Two time constants on, the first rings at about 0.5; the second is 6.
  shape.Decays = {{3000, 4.0, kF, kH, 0.7}, {3860, 6.0, kF, kH, 1.9}};
  const std::vector<float> x = DecayRecord(shape);
  const DecayDetection found = DetectDecays(x, kRate);
  ASSERT_TRUE(found.Ok());
  ASSERT_EQ(found.Decays.size(), 2u);
  EXPECT_NEAR(static_cast<double>(found.Decays[0].Onset), 3000.0, 0.25 * kPeriod);
  EXPECT_NEAR(static_cast<double>(found.Decays[1].Onset), 3860.0, 0.5 * kPeriod);
  EXPECT_LT(found.Decays[0].End, 3860);
}

TEST(DecayDetectionTest, DecaysAtTheEndsOfTheRecord) {
  DecayRecordShape shape;
  shape.Count = 6000;
  shape.Rate = kRate;
  shape.NoiseSigma = 0.01;
  shape.Seed = 13;
  // One rings from the first sample, one is cut off by the end of the record.
  shape.Decays = {{0, 3.0, kF, kH, 0.7}, {5700, 3.0, kF, kH, 0.7}};
  const std::vector<float> x = DecayRecord(shape);
  const DecayDetection found = DetectDecays(x, kRate);
  ASSERT_TRUE(found.Ok());
  ASSERT_FALSE(found.Decays.empty());
  EXPECT_LT(found.Decays[0].Onset, static_cast<std::int64_t>(kPeriod));
  for (const DetectedDecay& d : found.Decays) ExpectInside(d, x.size());
}

// A record filtered as the window filters it: the suggested stretch starts
// past the filter's settling and fits the system.
TEST(DecayDetectionTest, FilteredRecordFitsFromTheSuggestedStart) {
  DecayRecordShape shape;
  shape.Count = 24000;
  shape.Rate = kRate;
  shape.NoiseSigma = 0.05;
  shape.Offset = 1.5;
  shape.Seed = 17;
  shape.Decays = {{4000, 3.0, kF, kH, 0.7}, {14000, 1.0, kF, kH, 2.2}};
  WaveData record;
  record.ChannelCount = 1;
  record.SampleCount = static_cast<std::int32_t>(shape.Count);
  record.Rate = static_cast<std::int32_t>(kRate);
  record.Dt = static_cast<float>(1.0 / kRate);
  record.Samples[0] = DecayRecord(shape);
  const BandEdges edges = EdgesFromCentre(3.7f, 0.3f);
  ASSERT_TRUE(FilterAllChannels(record, edges.Lower, edges.Upper).Ok);

  DetectionSettings settings;
  settings.CentreHz = 3.7;
  settings.SettlingSamples = kFilterHalfLength;
  const DecayDetection found = DetectDecays(record.Samples[0], kRate, settings);
  ASSERT_TRUE(found.Ok());
  ASSERT_EQ(found.Decays.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    const DetectedDecay& d = found.Decays[i];
    SCOPED_TRACE(i);
    EXPECT_GE(d.Start, shape.Decays[i].Onset + kFilterHalfLength);
    const float width = static_cast<float>(static_cast<double>(d.End - d.Start) / kRate);
    const FitEvaluation fit = EvaluateStretch(record.Samples[0], record.Rate, record.Dt, d.Start, width, d.F, 0.03);
    ASSERT_TRUE(fit.Ok()) << fit.Failure->Message;
    EXPECT_NEAR(fit.Result.F, kF * std::sqrt(1.0 - kH * kH), 0.01);
    EXPECT_NEAR(fit.Result.H, kH, 0.1 * kH);
  }
}

TEST(DecayDetectionTest, GivenCentreAndStartSettings) {
  const DecayRecordShape shape = MixedRecord();
  const std::vector<float> x = DecayRecord(shape);
  DetectionSettings given;
  given.CentreHz = 3.7;
  const DecayDetection byDefault = DetectDecays(x, kRate);
  const DecayDetection centred = DetectDecays(x, kRate, given);
  ASSERT_TRUE(byDefault.Ok() && centred.Ok());
  EXPECT_EQ(centred.CentreHz, 3.7);
  ASSERT_EQ(centred.Decays.size(), byDefault.Decays.size());
  given.StartCycles = 5.0;
  given.SettlingSamples = 400;  // more than 5 periods
  const DecayDetection later = DetectDecays(x, kRate, given);
  ASSERT_TRUE(later.Ok());
  ASSERT_EQ(later.Decays.size(), centred.Decays.size());
  for (std::size_t i = 0; i < later.Decays.size(); ++i) {
    EXPECT_EQ(later.Decays[i].Onset, centred.Decays[i].Onset) << i;
    EXPECT_GE(later.Decays[i].Start, centred.Decays[i].Onset + 400) << i;
    EXPECT_GT(later.Decays[i].Start, centred.Decays[i].Start) << i;
  }
  // A shorter decay than MinCycles is not reported.
  given = DetectionSettings{};
  given.MinCycles = 20.0;
  const DecayDetection longOnly = DetectDecays(x, kRate, given);
  ASSERT_TRUE(longOnly.Ok());
  EXPECT_EQ(longOnly.Decays.size(), 4u);  // not the one near the floor
}

TEST(DecayDetectionTest, RefusalsAndCancel) {
  const std::vector<float> x = DecayRecord(MixedRecord());
  std::vector<float> infinite = x;
  infinite[123] = std::numeric_limits<float>::infinity();
  EXPECT_EQ(DetectDecays(x, 0.0).Failure->Kind, DetectionFailureKind::BadRate);
  EXPECT_EQ(DetectDecays(std::vector<float>(63, 1.0f), kRate).Failure->Kind, DetectionFailureKind::TooShort);
  EXPECT_EQ(DetectDecays(infinite, kRate).Failure->Kind, DetectionFailureKind::NotFinite);
  DetectionSettings given;
  given.CentreHz = 3.7;
  EXPECT_EQ(DetectDecays(infinite, kRate, given).Failure->Kind, DetectionFailureKind::NotFinite);

  struct Case {
    const char* name;
    DetectionSettings settings;
  };
  std::vector<Case> cases(9);
  cases[0] = {"centre at 0", {}};
  cases[0].settings.CentreHz = 0.0;
  cases[1] = {"band beyond half the rate", {}};
  cases[1].settings.CentreHz = 80.0;
  cases[2] = {"band ratio 1", {}};
  cases[2].settings.BandRatio = 1.0;
  cases[3] = {"on-ratio 1", {}};
  cases[3].settings.OnRatio = 1.0;
  cases[4] = {"off-ratio above on-ratio", {}};
  cases[4].settings.OffRatio = 5.0;
  cases[5] = {"long-term shorter than short-term", {}};
  cases[5].settings.LtaCycles = 0.2;
  cases[6] = {"negative settling", {}};
  cases[6].settings.SettlingSamples = -1;
  cases[7] = {"not a number", {}};
  cases[7].settings.FloorMads = std::numeric_limits<double>::quiet_NaN();
  cases[8] = {"no sample makes a clipped run", {}};
  cases[8].settings.ClipRun = 0;
  for (const Case& c : cases) {
    const DecayDetection refused = DetectDecays(x, kRate, c.settings);
    ASSERT_FALSE(refused.Ok()) << c.name;
    EXPECT_EQ(refused.Failure->Kind, DetectionFailureKind::BadSettings) << c.name;
    EXPECT_EQ(DetectionSettingsProblem(c.settings, kRate), refused.Failure->Message) << c.name;
  }
  EXPECT_FALSE(DetectionSettingsProblem(DetectionSettings{}, kRate).has_value());

  ProgressProbe whole;
  ASSERT_TRUE(DetectDecays(x, kRate, {}, whole.get()).Ok());
  whole.ExpectCompleted(2);
  ProgressProbe stopped(1);
  const DecayDetection cancelled = DetectDecays(x, kRate, {}, stopped.get());
  ASSERT_FALSE(cancelled.Ok());
  EXPECT_EQ(cancelled.Failure->Kind, DetectionFailureKind::Cancelled);
}

// Odd records of every kind: whatever is found lies inside the record, in time
// order, without overlaps (and under the sanitizers nothing is read outside).
TEST(DecayDetectionTest, ArbitraryRecordsGiveOrderedDecaysInside) {
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  auto uniform = [&] {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(state >> 11) / 9007199254740992.0;
  };
  GaussianNoise noise(99);
  for (int round = 0; round < 150; ++round) {
    const auto n = static_cast<std::size_t>(64 + uniform() * (round % 3 == 0 ? 200 : 20000));
    const double rate = 1.0 + uniform() * 2000.0;
    const double scale = std::pow(10.0, uniform() * 60.0 - 30.0);
    std::vector<float> x(n);
    const int kind = round % 5;
    for (std::size_t i = 0; i < n; ++i) {
      double v = noise.Next();
      if (kind == 1) v = i % 7 == 0 ? 50.0 : 0.0;                          // spikes
      if (kind == 2) v = std::clamp(30.0 * std::sin(0.3 * i), -2.0, 2.0);  // a clipped sine
      if (kind == 3)
        v = i < n / 2 ? 0.0 : std::exp(-0.01 * (i - n / 2.0)) * std::sin(0.5 * i);  // silence, then a decay
      if (kind == 4 && uniform() < 0.01) v += 1e3 * noise.Next();                   // bursts
      x[i] = static_cast<float>(scale * v);
    }
    const DecayDetection found = DetectDecays(x, rate);
    ASSERT_TRUE(found.Ok()) << round << ": " << found.Failure->Message;
    std::int64_t previousEnd = -1;
    for (const DetectedDecay& d : found.Decays) {
      ExpectInside(d, n);
      EXPECT_GT(d.Onset, previousEnd) << round;
      EXPECT_TRUE(std::isfinite(d.F) && d.F > 0.0 && d.F < rate / 2.0) << round << " f " << d.F;
      previousEnd = d.End;
    }
    const Spectrum s = WelchSpectrum(x, rate);
    ASSERT_TRUE(s.Ok()) << round;
    for (const SpectrumPeak& p : s.Peaks) {
      EXPECT_TRUE(p.F > 0.0 && p.F <= rate / 2.0) << round;
    }
    if (const std::optional<double> f = StrongestFrequency(x, rate)) {
      EXPECT_TRUE(*f > 0.0 && *f <= rate / 2.0) << round;
    }
  }
}

// The settings go into the evaluation log: one CSV field in Shift-JIS.
TEST(DecayDetectionTest, SettingsTextFitsTheLog) {
  DetectionSettings s;
  s.OnRatio = 5.0;
  s.SettlingSamples = 500;
  const std::string automatic = DetectionSettingsText(s);
  s.CentreHz = 3.7;
  const std::string centred = DetectionSettingsText(s);
  for (const std::string& text : {automatic, centred}) {
    EXPECT_EQ(text.find_first_of(",\"\r\n"), std::string::npos) << text;
    const std::string sjis = ShiftJisText(text);
    EXPECT_NE(sjis, text);
    EXPECT_EQ(DisplayUtf8(sjis), text);  // every character has a code
    EXPECT_NE(text.find("開始比5"), std::string::npos) << text;
    EXPECT_NE(text.find("整定500点"), std::string::npos) << text;
  }
  EXPECT_NE(automatic.find("卓越ピーク"), std::string::npos);
  EXPECT_NE(centred.find("3.7Hz"), std::string::npos);
}

}  // namespace
