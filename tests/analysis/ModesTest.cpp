#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "analysis/BandPass.h"
#include "analysis/MatrixPencil.h"
#include "analysis/Modes.h"
#include "tests/support/GaussianNoise.h"

namespace {

struct Mode {
  double A, F, H, Phi;
};

std::vector<float> Decay(const std::vector<Mode>& modes, double rate, int count, double noise, std::uint64_t seed,
                         double offset = 0.0) {
  GaussianNoise gauss(seed);
  std::vector<float> x(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const double t = i / rate;
    double v = offset + noise * gauss.Next();
    for (const Mode& m : modes) {
      const double wn = 2.0 * M_PI * m.F;
      v += m.A * std::exp(-m.H * wn * t) * std::cos(wn * std::sqrt(1.0 - m.H * m.H) * t + m.Phi);
    }
    x[static_cast<std::size_t>(i)] = static_cast<float>(v);
  }
  return x;
}

// Every mode within tolerances of the truth; with `intervals`, each 95 % interval must hold it,
// otherwise f and h within four standard errors (allowing for correlation).
void ExpectRecovers(const ModesFit& fit, const std::vector<Mode>& truth, double aTolerance, double phiTolerance,
                    const std::string& what, bool intervals = false) {
  ASSERT_TRUE(fit.Ok()) << what << ": " << *fit.Failure;
  ASSERT_EQ(fit.Modes.size(), truth.size()) << what;
  for (std::size_t k = 0; k < truth.size(); ++k) {
    const DampedMode& m = fit.Modes[k];
    const Mode& t = truth[k];
    SCOPED_TRACE(what + ", mode " + std::to_string(k));
    ASSERT_TRUE(m.FInterval && m.HInterval && m.Se && m.CorrelatedSe);
    if (intervals) {
      EXPECT_LE(m.FInterval->Lower, t.F);
      EXPECT_GE(m.FInterval->Upper, t.F);
      EXPECT_LE(m.HInterval->Lower, t.H);
      EXPECT_GE(m.HInterval->Upper, t.H);
    } else {
      EXPECT_NEAR(m.F, t.F, 4.0 * m.CorrelatedSe->F);
      EXPECT_NEAR(m.H, t.H, 4.0 * m.CorrelatedSe->H);
    }
    EXPECT_NEAR(m.F, t.F, 0.005 * t.F);
    EXPECT_NEAR(m.H, t.H, 0.1 * std::fabs(t.H));
    EXPECT_NEAR(m.A, t.A, aTolerance * t.A);
    EXPECT_NEAR(m.Phi, t.Phi, phiTolerance);
    EXPECT_NEAR(m.Wn, 2.0 * M_PI * m.F, 1e-12 * m.Wn);
  }
}

// Two modes 0.2 Hz apart beat once every 5 s; 24 s at 100 samples/s resolve them.
TEST(ModesTest, RecoversTwoCloseModesAndOne) {
  const std::vector<Mode> two = {{2.5, 3.7, 0.02, 0.7}, {1.5, 3.9, 0.03, -1.1}};
  ExpectRecovers(FitModes(Decay(two, 100, 2400, 0.02, 7), 100, 2), two, 0.02, 0.03, "two close modes", true);
  const std::vector<Mode> one = {{2.5, 3.7, 0.02, 0.7}};
  ExpectRecovers(FitModes(Decay(one, 100, 2400, 0.02, 9), 100, 1), one, 0.02, 0.03, "one mode", true);
  // Given in falling frequency, returned in rising frequency.
  const std::vector<Mode> apart = {{0.8, 11.2, 0.015, -2.5}, {2.5, 3.7, 0.02, 0.7}};
  const ModesFit fit = FitModes(Decay(apart, 200, 2400, 0.02, 11), 200, 2);
  ExpectRecovers(fit, {apart[1], apart[0]}, 0.02, 0.05, "two modes apart");
  EXPECT_GT(fit.Ratio, 0.99);
}

// Long stretches are decimated for the pencil unless their content reaches too high; the modes
// still come from every sample.
TEST(ModesTest, LongStretchesDecimatedOrCutAsTheirContentAllows) {
  struct Case {
    const char* what;
    std::vector<Mode> modes;
    double rate;
    int count;
    bool decimated;
  };
  const Case cases[] = {
      {"slow content", {{2.5, 3.7, 0.01, 0.7}, {1.5, 3.9, 0.015, -1.1}}, 1000, 20000, true},
      {"a mode near the top", {{2.5, 3.7, 0.01, 0.7}, {1.0, 310.0, 0.002, -1.1}}, 1000, 20000, false},
  };
  for (const Case& c : cases) {
    const std::vector<float> x = Decay(c.modes, c.rate, c.count, 0.02, 5);
    const PencilPoles pencil = FindPencilPoles(x, c.rate, 2);
    ASSERT_TRUE(pencil.Ok()) << c.what;
    EXPECT_EQ(pencil.Decimation > 1, c.decimated) << c.what << ": " << pencil.Decimation;
    for (std::size_t k = 1; k < pencil.Poles.size(); ++k) EXPECT_GE(pencil.Poles[k - 1].Rms, pencil.Poles[k].Rms);
    ExpectRecovers(FitModes(x, c.rate, 2), c.modes, 0.02, 0.05, c.what);
  }
}

// A record as read carries an offset; with the option it is fitted beside the mode. A growing
// oscillation keeps its negative damping.
TEST(ModesTest, OffsetAndGrowth) {
  const std::vector<Mode> one = {{2.5, 3.7, 0.02, 0.7}};
  ModeOptions options;
  options.Offset = true;
  const ModesFit fit = FitModes(Decay(one, 100, 1500, 0.02, 13, 0.8), 100, 1, options);
  ExpectRecovers(fit, one, 0.02, 0.03, "offset");
  EXPECT_NEAR(fit.Offset, 0.8, 0.01);

  const std::vector<Mode> growing = {{0.3, 3.7, -0.01, 0.7}};
  ExpectRecovers(FitModes(Decay(growing, 100, 1500, 0.02, 15), 100, 1), growing, 0.03, 0.05, "growing");
}

// In band-passed noise the residuals are correlated over many samples: intervals from s²·(JᵀJ)⁻¹
// cover the truth about a third of the time; the reported ones must hold near their 95 %.
TEST(ModesTest, IntervalsHoldInBandPassedNoise) {
  constexpr int kRuns = 80;
  constexpr int kRate = 200;
  constexpr double kF = 3.7, kH = 0.02;
  std::vector<float> taps(kFilterHalfLength);
  const BandEdges band = EdgesFromCentre(3.7f, 0.2f);
  ASSERT_TRUE(DesignBandPass(kFilterHalfLength, taps.data(), 0.5f * band.Lower, band.Lower, band.Upper,
                             1.5f * band.Upper, 1.0f / kRate));
  GaussianNoise gauss(2024);
  int given = 0, coveredF = 0, coveredH = 0, textbookF = 0;
  for (int run = 0; run < kRuns; ++run) {
    // The decay starts at sample 1000 and is fitted from 500 samples on, past the filter's settling.
    std::vector<float> x(4500);
    for (std::size_t i = 0; i < x.size(); ++i) {
      double v = 0.5 * gauss.Next();
      if (i >= 1000) {
        const double t = static_cast<double>(i - 1000) / kRate;
        const double wn = 2.0 * M_PI * kF;
        v += 2.5 * std::exp(-kH * wn * t) * std::cos(wn * std::sqrt(1.0 - kH * kH) * t + 0.7);
      }
      x[i] = static_cast<float>(v);
    }
    ApplyFir(kFilterHalfLength, taps.data(), x.data(), static_cast<int>(x.size()));
    const ModesFit fit = FitModes(std::span<const float>(x).subspan(1500, 2000), kRate, 1);
    ASSERT_TRUE(fit.Ok()) << *fit.Failure;
    const DampedMode& m = fit.Modes[0];
    ASSERT_TRUE(m.Se && m.CorrelatedSe);
    textbookF += std::fabs(m.F - kF) <= 1.96 * m.Se->F;
    if (!m.FInterval || !m.HInterval) continue;
    ++given;
    coveredF += m.FInterval->Lower <= kF && kF <= m.FInterval->Upper;
    coveredH += m.HInterval->Lower <= kH && kH <= m.HInterval->Upper;
  }
  EXPECT_GE(given, 0.9 * kRuns);
  EXPECT_GE(coveredF, 0.88 * given);
  EXPECT_GE(coveredH, 0.88 * given);
  EXPECT_LT(textbookF, 0.7 * kRuns);
}

// A mode no stronger than the noise gets no interval: a linearised one would not hold.
TEST(ModesTest, NoIntervalForAModeInTheNoise) {
  const std::vector<Mode> weak = {{0.05, 3.7, 0.02, 0.7}};
  const ModesFit fit = FitModes(Decay(weak, 100, 1000, 0.5, 3), 100, 1);
  ASSERT_TRUE(fit.Ok()) << *fit.Failure;
  ASSERT_TRUE(fit.Modes[0].CorrelatedSe);
  EXPECT_LT(fit.Modes[0].A, kIntervalSignificance * fit.Modes[0].CorrelatedSe->A);
  EXPECT_FALSE(fit.Modes[0].FInterval);
  EXPECT_FALSE(fit.Modes[0].HInterval);
}

TEST(ModesTest, DegenerateInputsFailWithAMessage) {
  const std::vector<Mode> one = {{2.5, 3.7, 0.02, 0.7}};
  const std::vector<float> clean = Decay(one, 100, 1000, 0.0, 1);
  std::vector<float> withNan = Decay(one, 100, 1000, 0.02, 1);
  withNan[500] = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    const char* what;
    std::vector<float> samples;
    double rate;
    int count;
    const char* message;  // empty: any message
  };
  const Case cases[] = {
      {"too short", std::vector<float>(clean.begin(), clean.begin() + 10), 100, 1, ""},
      {"all zero", std::vector<float>(1000, 0.0f), 100, 1, "区間のデータがすべて0です。"},
      {"more modes than the decay holds", clean, 100, 3,
       "区間から3個のモードを分離できません（見つかった振動は1個です）。"},
      {"too short for the count", std::vector<float>(clean.begin(), clean.begin() + 60), 100, 6,
       "区間がモード数に対して短すぎます。"},
      {"not a number", withNan, 100, 1, "区間に数値でないデータがあります。"},
      {"no rate", clean, 0.0, 1, "サンプリング周波数が正しくありません。"},
      {"no modes", clean, 100, 0, "モード数は1から10までにしてください。"},
      {"too many modes", clean, 100, 11, "モード数は1から10までにしてください。"},
      {"too long", std::vector<float>(kMaxModeSamples + 1, 1.0f), 100, 1, ""},
  };
  for (const Case& c : cases) {
    const ModesFit fit = FitModes(c.samples, c.rate, c.count);
    ASSERT_FALSE(fit.Ok()) << c.what;
    EXPECT_FALSE(fit.Failure->empty()) << c.what;
    if (*c.message != '\0') {
      EXPECT_EQ(*fit.Failure, c.message) << c.what;
    }
    EXPECT_TRUE(fit.Modes.empty()) << c.what;
  }
}

}  // namespace
