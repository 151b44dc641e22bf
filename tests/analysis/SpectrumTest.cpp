#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "analysis/Spectrum.h"
#include "tests/support/AmbientRecord.h"
#include "tests/support/DecayRecord.h"
#include "tests/support/GaussianNoise.h"
#include "tests/support/ProgressProbe.h"

namespace {

struct Tone {
  double F;
  double Amplitude;
  double Phase;
};

std::vector<float> Tones(const std::vector<Tone>& tones, double rate, std::size_t n, double noise, double offset,
                         double drift, std::uint64_t seed) {
  GaussianNoise g(seed);
  std::vector<float> x(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / rate;
    double v = offset + drift * t + noise * g.Next();
    for (const Tone& tone : tones) v += tone.Amplitude * std::cos(2.0 * M_PI * tone.F * t + tone.Phase);
    x[i] = static_cast<float>(v);
  }
  return x;
}

TEST(SpectrumTest, SinesShowTheirAmplitudeAtTheirFrequency) {
  constexpr double kRate = 100.0;
  // Among noise, on an offset and a drift that detrending takes away.
  const std::vector<Tone> tones = {{3.7, 2.5, 0.7}, {11.3, 0.8, 2.1}};
  const std::vector<float> x = Tones(tones, kRate, 200000, 0.3, 5.0, 0.02, 7);
  const Spectrum s = WelchSpectrum(x, kRate);
  ASSERT_TRUE(s.Ok()) << s.Failure->Message;
  EXPECT_DOUBLE_EQ(s.Resolution, kRate / static_cast<double>(s.SegmentLength));
  EXPECT_EQ(s.Amplitude.size(), s.SegmentLength / 2 + 1);
  EXPECT_EQ(s.Segments, (x.size() - s.SegmentLength) / (s.SegmentLength / 2) + 1);
  ASSERT_EQ(s.Peaks.size(), 2u);
  for (std::size_t i = 0; i < tones.size(); ++i) {
    const SpectrumPeak& peak = s.Peaks[i];  // strongest first
    EXPECT_NEAR(peak.F, tones[i].F, 0.05 * s.Resolution) << i;
    EXPECT_NEAR(peak.Amplitude, tones[i].Amplitude, 0.05 * tones[i].Amplitude) << i;
    EXPECT_FALSE(peak.H.has_value()) << "a sine is narrower than the window";
    // The bin nearest the sine, uninterpolated: within the Hann window's
    // scalloping loss (1.42 dB) of the amplitude.
    const double nearest = s.Amplitude[static_cast<std::size_t>(std::lround(tones[i].F / s.Resolution))];
    EXPECT_GT(nearest, 0.84 * tones[i].Amplitude) << i;
    EXPECT_LT(nearest, 1.02 * tones[i].Amplitude) << i;
  }
}

TEST(SpectrumTest, ResonanceGivesItsDampingByHalfPower) {
  constexpr double kF = 2.3;
  constexpr int kRate = 100;
  for (const double h : {0.01, 0.03, 0.08}) {
    const std::vector<float> x = AmbientResponse(kF, h, kRate, 1000000, 0x9E3779B97F4A7C15ull);
    const Spectrum s = WelchSpectrum(x, kRate);
    ASSERT_TRUE(s.Ok()) << s.Failure->Message;
    ASSERT_EQ(s.Peaks.size(), 1u) << h;
    // The displacement response peaks at f·√(1 − 2h²).
    EXPECT_NEAR(s.Peaks[0].F, kF * std::sqrt(1.0 - 2.0 * h * h), 0.01 * kF) << h;
    ASSERT_TRUE(s.Peaks[0].H.has_value()) << h;
    EXPECT_NEAR(*s.Peaks[0].H, h, 0.15 * h) << h;
    // The segments resolve the band (about 2hf wide) without overdoing it, so
    // the rest of the record goes into averaging.
    const double bandBins = 2.0 * h * kF / s.Resolution;
    EXPECT_GE(bandBins, 4.0) << h;
    EXPECT_LE(bandBins, 12.0) << h;
    EXPECT_GE(kF / s.Resolution, static_cast<double>(kLowestPeakBins)) << h;
  }
}

TEST(SpectrumTest, CloseResonancesAreSeparated) {
  constexpr int kRate = 100;
  const std::vector<float> a = AmbientResponse(2.3, 0.01, kRate, 1000000, 11);
  const std::vector<float> b = AmbientResponse(2.45, 0.01, kRate, 1000000, 12);
  std::vector<float> x(a.size());
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = a[i] + 0.7f * b[i];
  const Spectrum s = WelchSpectrum(x, kRate);
  ASSERT_TRUE(s.Ok()) << s.Failure->Message;
  ASSERT_EQ(s.Peaks.size(), 2u);
  EXPECT_NEAR(s.Peaks[0].F, 2.3, 0.01);
  EXPECT_NEAR(s.Peaks[1].F, 2.45, 0.01);
  EXPECT_GE((s.Peaks[1].F - s.Peaks[0].F) / s.Resolution, kPeakSeparationBins);
  for (const SpectrumPeak& p : s.Peaks) {
    ASSERT_TRUE(p.H.has_value()) << p.F;
    EXPECT_NEAR(*p.H, 0.01, 0.002) << p.F;
  }
}

TEST(SpectrumTest, NoiseAloneHasNoPeaksAndTheShortestSegments) {
  for (const std::uint64_t seed : {3ull, 4ull, 5ull}) {
    const std::vector<float> x = Tones({}, 100.0, 100000, 1.0, 0.0, 0.0, seed);
    const Spectrum s = WelchSpectrum(x, 100.0);
    ASSERT_TRUE(s.Ok()) << s.Failure->Message;
    EXPECT_TRUE(s.Peaks.empty()) << seed;
    EXPECT_EQ(s.SegmentLength, kMinSegmentLength);
    // White noise of σ = 1: a one-sided amplitude² of 4σ²·Σw²/(Σw)² per bin,
    // with the Hann window's Σw = L/2 and Σw² = 3L/8 that is 6/L.
    double power = 0.0;
    for (std::size_t k = 10; k < s.Amplitude.size() - 10; ++k) power += s.Amplitude[k] * s.Amplitude[k];
    power /= static_cast<double>(s.Amplitude.size() - 20);
    const double expected = 6.0 / static_cast<double>(s.SegmentLength);
    EXPECT_NEAR(power, expected, 0.03 * expected) << seed;
  }
}

TEST(SpectrumTest, GivenSegmentLength) {
  constexpr double kRate = 1000.0;
  constexpr std::size_t kLength = 1000;
  // A sine exactly on bin 37, and nothing else: its amplitude there.
  const std::vector<float> x = Tones({{37.0, 1.7, 0.7}}, kRate, 20000, 0.0, 0.0, 0.0, 1);
  const Spectrum s = WelchSpectrum(x, kRate, kLength);
  ASSERT_TRUE(s.Ok()) << s.Failure->Message;
  EXPECT_EQ(s.SegmentLength, kLength);
  EXPECT_EQ(s.Segments, 39u);  // starts 0, 500, …, 19000
  EXPECT_DOUBLE_EQ(s.Resolution, 1.0);
  EXPECT_NEAR(s.Amplitude[37], 1.7, 2e-3);
  EXPECT_NEAR(s.Amplitude[36], 0.85, 2e-3);  // the Hann window's neighbours, half as high
  EXPECT_LT(s.Amplitude[40], 1e-3);
  ASSERT_FALSE(s.Peaks.empty());
  EXPECT_NEAR(s.Peaks[0].F, 37.0, 1e-3);
}

TEST(SpectrumTest, Refusals) {
  std::vector<float> ok(1000, 0.0f);
  std::vector<float> infinite(1000, 0.0f);
  infinite[500] = std::numeric_limits<float>::infinity();
  struct Case {
    std::vector<float> samples;
    double rate;
    std::size_t length;
    SpectrumFailureKind kind;
  };
  const Case cases[] = {
      {ok, 0.0, 0, SpectrumFailureKind::BadRate},
      {ok, -100.0, 0, SpectrumFailureKind::BadRate},
      {ok, std::numeric_limits<double>::quiet_NaN(), 0, SpectrumFailureKind::BadRate},
      {std::vector<float>(63, 1.0f), 100.0, 0, SpectrumFailureKind::TooShort},
      {ok, 100.0, 2, SpectrumFailureKind::BadLength},
      {ok, 100.0, 101, SpectrumFailureKind::BadLength},
      {ok, 100.0, 1002, SpectrumFailureKind::BadLength},
      {infinite, 100.0, 0, SpectrumFailureKind::NotFinite},
      {infinite, 100.0, 100, SpectrumFailureKind::NotFinite},
  };
  for (const Case& c : cases) {
    const Spectrum s = WelchSpectrum(c.samples, c.rate, c.length);
    ASSERT_FALSE(s.Ok()) << c.rate << " " << c.length;
    EXPECT_EQ(s.Failure->Kind, c.kind) << c.rate << " " << c.length;
    EXPECT_FALSE(s.Failure->Message.empty());
    EXPECT_TRUE(s.Amplitude.empty());
  }
  // 64 samples are enough; a constant record has no peaks.
  const Spectrum shortest = WelchSpectrum(std::vector<float>(64, 3.0f), 100.0);
  ASSERT_TRUE(shortest.Ok());
  EXPECT_EQ(shortest.SegmentLength, 64u);
  EXPECT_TRUE(shortest.Peaks.empty());
}

TEST(SpectrumTest, ReportsProgressAndStops) {
  const std::vector<float> x = AmbientResponse(2.3, 0.03, 100, 2000000, 5);
  ProgressProbe whole;
  const Spectrum s = WelchSpectrum(x, 100.0, 0, whole.get());
  ASSERT_TRUE(s.Ok());
  whole.ExpectCompleted();
  // The same bits again, however the threads shared the segments.
  EXPECT_EQ(WelchSpectrum(x, 100.0).Amplitude, s.Amplitude);

  ProgressProbe stopped(2);
  const Spectrum cancelled = WelchSpectrum(x, 100.0, 0, stopped.get());
  ASSERT_FALSE(cancelled.Ok());
  EXPECT_EQ(cancelled.Failure->Kind, SpectrumFailureKind::Cancelled);
  EXPECT_LT(stopped.reports.back(), 1.0);
}

TEST(SpectrumTest, StrongestFrequencyOfADecayingStretch) {
  constexpr double kRate = 100.0, kF = 3.7, kH = 0.02;
  const double fd = kF * std::sqrt(1.0 - kH * kH);
  struct Case {
    std::int64_t samples;  // 2.2 to 37 periods, up to 5 time constants
    double tolerance;      // relative
  };
  const Case cases[] = {{60, 0.04}, {150, 0.003}, {400, 0.002}, {1000, 0.002}};
  for (const Case& c : cases) {
    DecayRecordShape shape;
    shape.Count = c.samples;
    shape.Rate = kRate;
    shape.Decays = {{0, 2.0, kF, kH, 0.7}};
    shape.NoiseSigma = 0.02;
    shape.Offset = 4.0;
    shape.DriftPerSample = 0.001;
    shape.Seed = 21;
    // A second, weaker component does not take over.
    std::vector<float> x = DecayRecord(shape);
    for (std::size_t i = 0; i < x.size(); ++i) x[i] += 0.1f * static_cast<float>(std::cos(2 * M_PI * 11.3 * i / kRate));
    const std::optional<double> f = StrongestFrequency(x, kRate);
    ASSERT_TRUE(f.has_value()) << c.samples;
    EXPECT_NEAR(*f, fd, c.tolerance * fd) << c.samples;
  }
}

TEST(SpectrumTest, StrongestFrequencyNeedsAPeak) {
  std::vector<float> infinite(100, 1.0f);
  infinite[7] = -std::numeric_limits<float>::infinity();
  std::vector<float> ramp(100);
  for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = 0.5f * static_cast<float>(i);
  EXPECT_FALSE(StrongestFrequency(std::vector<float>(100, 2.0f), 100.0));  // constant
  EXPECT_FALSE(StrongestFrequency(ramp, 100.0));                           // drift alone
  EXPECT_FALSE(StrongestFrequency(infinite, 100.0));
  EXPECT_FALSE(StrongestFrequency(std::vector<float>(7, 1.0f), 100.0));
  EXPECT_FALSE(StrongestFrequency(ramp, 0.0));
}

}  // namespace
