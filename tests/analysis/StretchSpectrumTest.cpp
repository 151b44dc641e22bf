// The spectrum of a short stretch resolves a low mode that the averaging rule
// cannot; a long stretch keeps the averaged spectrum.
#include <gtest/gtest.h>

#include "analysis/StretchSpectrum.h"
#include "tests/support/DecayRecord.h"

namespace {

TEST(StretchSpectrumTest, ShortStretchOfALowModeShowsItsPeak) {
  struct Case {
    double rate;
    double seconds;
    double f;
    bool averaged;  // the rule's segments suffice
  };
  const Case cases[] = {
      {200.0, 5.0, 3.7, false},  // the rule's 128-point segments put 3.7 Hz at bin 2.4
      {100.0, 5.0, 1.63, false},
      {200.0, 120.0, 3.7, true},
      {51200.0, 2.0, 37.3, false},
  };
  for (const Case& c : cases) {
    DecayRecordShape shape;
    shape.Count = static_cast<std::int64_t>(c.rate * c.seconds);
    shape.Rate = c.rate;
    // Decays one after another, so that a long stretch has several.
    for (std::int64_t onset = 0; onset < shape.Count; onset += static_cast<std::int64_t>(c.rate * 20.0)) {
      shape.Decays.push_back({onset, 1.0, c.f, 0.02, 0.7});
    }
    shape.NoiseSigma = 0.02;
    shape.Seed = 3;
    const std::vector<float> samples = DecayRecord(shape);
    const Spectrum spectrum = StretchSpectrum(samples, c.rate);
    ASSERT_TRUE(spectrum.Ok()) << c.seconds;
    ASSERT_FALSE(spectrum.Peaks.empty()) << c.rate << " " << c.seconds;
    EXPECT_NEAR(spectrum.Peaks.front().F, c.f, 0.1 * spectrum.Resolution + 0.01 * c.f) << c.rate << " " << c.seconds;
    EXPECT_EQ(spectrum.Segments > 1, c.averaged) << c.rate << " " << c.seconds;
    if (c.averaged) {
      EXPECT_EQ(spectrum.Amplitude, WelchSpectrum(samples, c.rate).Amplitude);
    } else {
      EXPECT_EQ(spectrum.SegmentLength, samples.size() & ~std::size_t{1});
      // What the rule alone gives: no peak, or one in the lowest bins.
      const Spectrum rule = WelchSpectrum(samples, c.rate);
      EXPECT_TRUE(rule.Peaks.empty() || rule.Peaks.front().F < kLowestPeakBins * rule.Resolution) << c.rate;
    }
  }
}

}  // namespace
