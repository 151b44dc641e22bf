#include "analysis/Flags.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/Acceptance.h"
#include "analysis/BandPass.h"
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

std::string Names(const std::vector<EvaluationFlag>& flags) {
  std::string out;
  for (const EvaluationFlag f : flags) out += (out.empty() ? "" : ";") + std::string(FlagName(f));
  return out;
}

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
  return EvaluationFlags(e.Samples, e.Rate, e.Start, e.Width, fit, e.Band, e.Decays, e.Unfiltered);
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

TEST(FlagsTest, EachFlagFiresOnItsCaseAndACleanDecayRaisesNone) {
  struct Case {
    const char* what;
    std::function<Evaluated()> make;
  };
  const Case cases[] = {
      {"", Clean},
      {"", [] {
         Evaluated e = Clean();
         e.Band = EdgesFromCentre(3.7f, 0.5f);
         e.Unfiltered = e.Samples;
         BandPass(e.Samples, kRate, *e.Band);
         return e;
       }},
      // 100 points over 0.5 s are 200 per second: 151.6 Hz and its alias 48.4 Hz fit them alike.
      {"aliased", [] {
         Evaluated e;
         e.Rate = 1000;
         e.Samples = Record(1000, 4.0, 1000, {{2.5, 151.6, 0.002, 0.7}}, 0.01, 3);
         e.Start = 1200;
         e.Width = 0.5f;
         e.F0 = 151.0;
         e.H0 = 0.003;
         return e;
       }},
      {"aliased", [] {
         Evaluated e;
         e.Rate = 1000;
         e.Samples = Record(1000, 4.0, 1000, {{2.5, 151.6, 0.002, 0.7}}, 0.01, 3);
         e.Start = 1200;
         e.Width = 0.5f;
         e.F0 = 48.0;
         e.H0 = 0.003;
         return e;
       }},
      {"few-cycles", [] {
         Evaluated e;
         e.Samples = Record(kRate, 25.0, kOnset, {{2.5, 0.5, 0.01, 0.7}}, 0.01, 5);
         e.Start = kOnset + 200;
         e.F0 = 0.55;
         e.H0 = 0.02;
         e.Decays = {{kOnset, kOnset + 100, kOnset + 4000}};
         return e;
       }},
      // 0.1 s before an impact that strikes a structure still swinging from an earlier one.
      {"near-onset", [] {
         Evaluated e = Clean();
         const std::vector<float> earlier = Record(kRate, 25.0, 0, {{0.4, 3.7, 0.005, -0.3}}, 0.0, 1);
         for (std::size_t i = 0; i < e.Samples.size(); ++i) e.Samples[i] += earlier[i];
         e.Start = kOnset - 20;
         return e;
       }},
      // Inside the filter's settling at the record's start.
      {"near-onset", [] {
         Evaluated e = Clean();
         e.Samples = Record(kRate, 25.0, 0, {{2.5, 3.7, 0.01, 0.7}}, 0.01, 19);
         e.Band = EdgesFromCentre(3.7f, 0.5f);
         e.Unfiltered = e.Samples;
         BandPass(e.Samples, kRate, *e.Band);
         e.Start = 300;
         e.Decays = {};
         return e;
       }},
      {"narrow-band", [] {
         Evaluated e;
         e.Samples = Record(kRate, 25.0, kOnset, {{2.5, 3.7, 0.08, 0.7}}, 0.01, 23);
         e.Band = EdgesFromCentre(3.7f, 0.1f);
         e.Unfiltered = e.Samples;
         BandPass(e.Samples, kRate, *e.Band);
         e.Start = kOnset + 108;
         e.Width = 2.0f;
         e.F0 = 3.6;
         e.H0 = 0.07;
         e.Decays = {{kOnset, kOnset + 54, kOnset + 600}};
         return e;
       }},
      // An amplifier that saturates at ±1.2 while the stretch starts at 1.7.
      {"clipped", [] {
         Evaluated e = Clean();
         for (float& v : e.Samples) v = std::clamp(v, -1.2f, 1.2f);
         return e;
       }},
      {"second-mode", [] {
         Evaluated e = Clean();
         e.Samples = Record(kRate, 25.0, kOnset, {kMain, {1.2, 3.885, 0.02, -1.1}}, 0.01, 29);
         return e;
       }},
      {"implausible-h", [] {
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

}  // namespace
