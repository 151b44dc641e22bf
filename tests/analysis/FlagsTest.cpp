#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/Acceptance.h"
#include "analysis/BandPass.h"
#include "analysis/Flags.h"
#include "tests/support/GaussianNoise.h"

namespace {

struct Mode {
  double A, F, H, Phi;
};

// A record of `seconds` at `rate` with white noise throughout and, from sample `onset`, the free
// decay of the given modes (t = 0 at the onset, as an impact starts it).
std::vector<float> Record(int rate, double seconds, std::int64_t onset, const std::vector<Mode>& modes, double noise,
                          std::uint64_t seed) {
  GaussianNoise gauss(seed);
  std::vector<float> x(static_cast<std::size_t>(rate * seconds));
  for (std::size_t i = 0; i < x.size(); ++i) {
    double v = noise * gauss.Next();
    if (static_cast<std::int64_t>(i) >= onset) {
      const double t = static_cast<double>(static_cast<std::int64_t>(i) - onset) / rate;
      for (const Mode& m : modes) {
        const double wn = 2.0 * M_PI * m.F;
        v += m.A * std::exp(-m.H * wn * t) * std::cos(wn * std::sqrt(1.0 - m.H * m.H) * t + m.Phi);
      }
    }
    x[i] = static_cast<float>(v);
  }
  return x;
}

void BandPass(std::vector<float>& x, int rate, const BandEdges& band) {
  std::vector<float> taps(kFilterHalfLength);
  ASSERT_TRUE(DesignBandPass(kFilterHalfLength, taps.data(), 0.5f * band.Lower, band.Lower, band.Upper,
                             1.5f * band.Upper, 1.0f / static_cast<float>(rate)));
  ApplyFir(kFilterHalfLength, taps.data(), x.data(), static_cast<int>(x.size()));
}

std::string Names(const std::vector<EvaluationFlag>& flags) { return JoinedFlagNames(flags); }

struct Evaluated {
  std::vector<float> Samples;
  std::vector<float> Unfiltered;  // empty: not filtered
  int Rate = 200;
  std::int64_t Start = 0;
  float Width = 5.0f;
  double F0 = 0.0, H0 = 0.03;
  std::optional<BandEdges> Band;
  std::vector<DetectedDecay> Decays;
};

std::vector<EvaluationFlag> Flags(const Evaluated& e, FitEvaluation* fitOut = nullptr) {
  const FitEvaluation fit =
      EvaluateStretch(e.Samples, e.Rate, 1.0f / static_cast<float>(e.Rate), e.Start, e.Width, e.F0, e.H0);
  if (fitOut != nullptr) *fitOut = fit;
  const ClippingSummary clipping = SummarizeClipping(e.Unfiltered.empty() ? e.Samples : e.Unfiltered);
  return EvaluationFlags(e.Samples, e.Rate, e.Start, e.Width, fit, e.Band, e.Decays, &clipping);
}

constexpr int kRate = 200;
constexpr std::int64_t kOnset = 1000;
const Mode kMain{2.5, 3.7, 0.02, 0.7};
// The detector's clean part starts two periods after the onset.
const DetectedDecay kDecay{kOnset, kOnset + 108, kOnset + 3000};

// A clean free decay, evaluated from a cycle after the clean start.
Evaluated Clean() {
  Evaluated e;
  e.Samples = Record(kRate, 25.0, kOnset, {kMain}, 0.01, 17);
  e.Start = kDecay.Start + 54;
  e.F0 = 3.6;
  e.Decays = {kDecay};
  return e;
}

// The same stretch band-passed about 3.7 Hz, the record as read kept for the clipping test.
Evaluated Filtered(Evaluated e, float ratio) {
  e.Band = EdgesFromCentre(3.7f, ratio);
  e.Unfiltered = e.Samples;
  BandPass(e.Samples, e.Rate, *e.Band);
  return e;
}

// 100 points over 0.5 s are 200 per second: 151.6 Hz and its alias 48.4 Hz fit them alike.
Evaluated Aliased(double f0) {
  Evaluated e;
  e.Rate = 1000;
  e.Samples = Record(1000, 4.0, 1000, {{2.5, 151.6, 0.002, 0.7}}, 0.01, 3);
  e.Start = 1200;
  e.Width = 0.5f;
  e.F0 = f0;
  e.H0 = 0.003;
  return e;
}

TEST(FlagsTest, EachFlagFiresOnItsCaseAndACleanDecayRaisesNone) {
  struct Case {
    const char* what;
    std::function<Evaluated()> make;
  };
  const Case cases[] = {
      {"", Clean},
      {"", [] { return Filtered(Clean(), 0.5f); }},
      {"aliased", [] { return Aliased(151.0); }},
      {"aliased", [] { return Aliased(48.0); }},
      {"few-cycles",
       [] {
         Evaluated e = Clean();
         e.Samples = Record(kRate, 25.0, kOnset, {{2.5, 0.5, 0.01, 0.7}}, 0.01, 5);
         e.F0 = 0.55;
         return e;
       }},
      // 0.1 s before an impact that strikes a structure still swinging from an earlier one.
      {"near-onset",
       [] {
         Evaluated e = Clean();
         const std::vector<float> earlier = Record(kRate, 25.0, 0, {{0.4, 3.7, 0.005, -0.3}}, 0.0, 1);
         for (std::size_t i = 0; i < e.Samples.size(); ++i) e.Samples[i] += earlier[i];
         e.Start = kOnset - 20;
         return e;
       }},
      // Inside the filter's settling at the record's start.
      {"near-onset",
       [] {
         Evaluated e = Clean();
         e.Samples = Record(kRate, 25.0, 0, {{2.5, 3.7, 0.01, 0.7}}, 0.01, 19);
         e.Start = 300;
         e.Decays = {};
         return Filtered(e, 0.5f);
       }},
      {"narrow-band",
       [] {
         Evaluated e = Clean();
         e.Samples = Record(kRate, 25.0, kOnset, {{2.5, 3.7, 0.08, 0.7}}, 0.01, 23);
         e.Width = 2.0f;
         e.H0 = 0.07;
         return Filtered(e, 0.1f);
       }},
      // An amplifier that saturates at ±1.2 while the stretch starts at 1.7.
      {"clipped",
       [] {
         Evaluated e = Clean();
         for (float& v : e.Samples) v = std::clamp(v, -1.2f, 1.2f);
         return e;
       }},
      {"second-mode",
       [] {
         Evaluated e = Clean();
         e.Samples = Record(kRate, 25.0, kOnset, {kMain, {1.2, 3.885, 0.02, -1.1}}, 0.01, 29);
         return e;
       }},
      {"implausible-h",
       [] {
         Evaluated e = Clean();
         e.Samples = Record(kRate, 25.0, kOnset, {{0.5, 3.7, -0.01, 0.7}}, 0.01, 31);
         e.H0 = 0.01;
         return e;
       }},
  };
  for (const Case& c : cases) {
    const Evaluated e = c.make();
    FitEvaluation fit;
    const auto flags = Flags(e, &fit);
    EXPECT_EQ(Names(flags), c.what) << "f " << fit.Result.F << " h " << fit.Result.H << " ratio " << fit.Result.Ratio;
  }
}

// Clean decays over rates, frequencies, damping, noise from negligible to a ratio near 0.9, as read
// or band-passed, and recorded in coarse steps (a 16-bit recorder at low gain): nothing to warn of.
TEST(FlagsTest, CleanDecaysRaiseNone) {
  struct Case {
    int rate;
    double f, h, noise;
    bool filtered;
    float quantum;  // 0: full precision
  };
  const Case cases[] = {
      {100, 1.6, 0.025, 0.01, false, 0.0f}, {100, 1.6, 0.025, 0.3, true, 0.0f},   {200, 3.7, 0.005, 0.05, false, 0.0f},
      {200, 3.7, 0.05, 0.05, false, 0.0f},  {500, 12.0, 0.02, 0.2, true, 0.0f},   {200, 3.7, 0.02, 0.15, false, 0.0f},
      {200, 1.6, 0.02, 0.01, false, 0.05f}, {1000, 31.0, 0.01, 0.05, true, 0.0f}, {200, 3.7, 0.02, 0.0, false, 0.02f},
  };
  for (const Case& c : cases) {
    Evaluated e;
    e.Rate = c.rate;
    const std::int64_t onset = 5 * c.rate;
    e.Samples = Record(c.rate, 40.0, onset, {{2.5, c.f, c.h, 0.7}}, c.noise, 37);
    if (c.quantum > 0.0f) {
      for (float& v : e.Samples) v = c.quantum * std::round(v / c.quantum);
    }
    if (c.filtered) {
      e.Band = EdgesFromCentre(static_cast<float>(c.f), 0.3f);
      e.Unfiltered = e.Samples;
      BandPass(e.Samples, c.rate, *e.Band);
    }
    // From two periods after the onset, ten to forty periods or until the decay is down to a tenth.
    const double periods = std::clamp(std::log(10.0) / (2.0 * M_PI * c.h), 10.0, 40.0);
    e.Width = static_cast<float>(periods / c.f);
    e.Start = onset + static_cast<std::int64_t>(std::lround(2.5 * c.rate / c.f));
    e.F0 = 1.05 * c.f;
    e.H0 = 1.3 * c.h;
    e.Decays = {{onset, onset + static_cast<std::int64_t>(std::lround(2.0 * c.rate / c.f)), onset + 30 * c.rate}};
    FitEvaluation fit;
    const auto flags = Flags(e, &fit);
    ASSERT_TRUE(fit.Ok()) << fit.Failure->Message;
    EXPECT_TRUE(IsAccepted(fit.Result.Ratio)) << fit.Result.Ratio;
    EXPECT_EQ(Names(flags), "") << c.rate << " Hz, f " << c.f << ", h " << c.h << ", noise " << c.noise
                                << (c.filtered ? ", filtered" : "") << ", quantum " << c.quantum;
  }
}

// The names are what JSON, CSV and the log carry: fixed, and each maps back to its flag.
TEST(FlagsTest, VocabularyIsFixed) {
  std::string all;
  for (const EvaluationFlag f : kAllFlags) {
    all += std::string(FlagName(f)) + " ";
    EXPECT_EQ(FlagFromName(FlagName(f)), f);
    EXPECT_FALSE(FlagText(f).empty());
  }
  EXPECT_EQ(all, "aliased few-cycles near-onset narrow-band clipped second-mode implausible-h ");
  const std::vector<EvaluationFlag> two = {EvaluationFlag::NearOnset, EvaluationFlag::Clipped};
  EXPECT_EQ(JoinedFlagNames(two), "near-onset;clipped");
  EXPECT_EQ(JoinedFlagNames({}), "");
  EXPECT_FALSE(FlagFromName("Aliased"));
  EXPECT_FALSE(FlagFromName(""));
}

// Inputs that name no stretch give no flags; a failed evaluation gets the flags that need no
// result.
TEST(FlagsTest, OddInputsAndFailedEvaluations) {
  const Evaluated clean = Clean();
  const FitEvaluation fit =
      EvaluateStretch(clean.Samples, kRate, 1.0f / kRate, clean.Start, clean.Width, clean.F0, clean.H0);
  ASSERT_TRUE(fit.Ok());
  struct Case {
    const char* what;
    std::int64_t start;
    float width;
    int rate;
  };
  const Case cases[] = {
      {"start before the record", -1, 5.0f, kRate},
      {"start past the record", static_cast<std::int64_t>(clean.Samples.size()), 5.0f, kRate},
      {"no rate", clean.Start, 5.0f, 0},
      {"width not a number", clean.Start, std::nanf(""), kRate},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(EvaluationFlags(clean.Samples, c.rate, c.start, c.width, fit, std::nullopt, clean.Decays).empty())
        << c.what;
  }
  EXPECT_TRUE(EvaluationFlags({}, kRate, 0, 5.0f, fit, std::nullopt, {}).empty());

  // All zero: the fit fails, and nothing about the stretch is known to be wrong.
  const std::vector<float> zeros(4000, 0.0f);
  const FitEvaluation failed = EvaluateStretch(zeros, kRate, 1.0f / kRate, 1000, 5.0f, 3.7, 0.02);
  ASSERT_FALSE(failed.Ok());
  EXPECT_EQ(Names(EvaluationFlags(zeros, kRate, 1000, 5.0f, failed, std::nullopt, {})), "");
  // A failed evaluation inside the filter's settling, of a clipped record.
  std::vector<float> clipped = Record(kRate, 25.0, 0, {kMain}, 0.01, 3);
  for (float& v : clipped) v = std::clamp(v, -1.0f, 1.0f);
  const ClippingSummary clipping = SummarizeClipping(clipped);
  EXPECT_EQ(Names(EvaluationFlags(clipped, kRate, 100, 5.0f, failed, EdgesFromCentre(3.7f, 0.5f), {}, &clipping)),
            "near-onset;clipped");
}

// Recorded in steps of 0.05, a crest of 2.4 at 1.6 Hz and 200 samples/s shows as about six equal
// samples at the channel's largest value; a recorder that saturates at 2.0 holds over twenty.
TEST(FlagsTest, ClippingIsToldFromACoarselyRecordedCrest) {
  struct Case {
    float limit;
    const char* flags;
  };
  const Case cases[] = {{10.0f, ""}, {2.0f, "clipped"}};
  for (const Case& c : cases) {
    Evaluated e;
    e.Samples = Record(kRate, 20.0, 0, {{2.5, 1.6, 0.01, 0.7}}, 0.0, 1);
    for (float& v : e.Samples) v = std::clamp(0.05f * std::round(v / 0.05f), -c.limit, c.limit);
    e.Width = 6.0f;
    e.F0 = 1.7;
    e.H0 = 0.015;
    EXPECT_EQ(Names(Flags(e)), c.flags) << c.limit;
  }
}

}  // namespace
