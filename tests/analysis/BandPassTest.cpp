#include "analysis/BandPass.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "analysis/BandPassKernels.h"
#include "io/WaveData.h"
#include "tests/support/ProgressProbe.h"

namespace {

constexpr int N = kFilterHalfLength;

std::vector<float> Design(float fL, float fH, float dt) {
  std::vector<float> h(N);
  const bool ok = DesignBandPass(N, h.data(), 0.5f * fL, fL, fH, 1.5f * fH, dt);
  EXPECT_TRUE(ok);
  return h;
}

// The response of the symmetric filter at frequency f (Hz), in double.
double Response(const std::vector<float>& h, double f, double dt) {
  double sum = h[0];
  for (int j = 1; j < N; ++j) sum += 2.0 * h[j] * std::cos(2.0 * std::numbers::pi * f * j * dt);
  return sum;
}

// A measured-looking record: two modes, drift, offset and noise.
std::vector<float> Record(int count, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::normal_distribution<float> noise(0.0f, 0.05f);
  std::vector<float> x(static_cast<std::size_t>(count));
  for (int k = 0; k < count; ++k) {
    const double t = k * 0.01;
    x[k] = static_cast<float>(1.7 * std::exp(-0.2 * t) * std::cos(2 * std::numbers::pi * 2.4 * t + 0.7) +
                              0.3 * std::sin(2 * std::numbers::pi * 11.3 * t) + 0.02 * t + 0.45) +
           noise(random);
  }
  return x;
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b, std::string* where) {
  if (a.size() != b.size()) {
    *where = "sizes differ";
    return false;
  }
  for (std::size_t k = 0; k < a.size(); ++k) {
    if (std::bit_cast<std::uint32_t>(a[k]) != std::bit_cast<std::uint32_t>(b[k])) {
      *where = "sample " + std::to_string(k) + ": " + std::to_string(a[k]) + " vs " +
               std::to_string(b[k]);
      return false;
    }
  }
  return true;
}

const char* PathName(FirPath path) {
  switch (path) {
    case FirPath::Scalar: return "Scalar";
    case FirPath::Sse2: return "Sse2";
    case FirPath::Avx2: return "Avx2";
    case FirPath::Avx512: return "Avx512";
  }
  return "?";
}

// ---- The reference loop ----

TEST(ApplyFirScalar, ZerosBeyondTheEnds) {
  const float h[] = {0.5f, 0.25f};
  std::vector<float> x = {1.0f, 2.0f, 3.0f};
  ApplyFirScalar(2, h, x.data(), 3);
  // 1(0.5) + (0 + 2)(0.25), 2(0.5) + (1 + 3)(0.25), 3(0.5) + (2 + 0)(0.25)
  EXPECT_EQ(x, (std::vector<float>{1.0f, 2.0f, 2.0f}));
}

TEST(ApplyFirScalar, EvaluatesEachStepInDoubleAndStoresSingle) {
  // 1 + 2^-24 is exact in double but a tie in single precision (rounds to 1):
  // (1 + 2^-24) 3 = 3 + 0.75 ulp rounds up to 3 + 2^-22 only when the sum is kept in double.
  const float h[] = {0.0f, 3.0f};
  std::vector<float> x = {1.0f, 0.0f, 0x1p-24f};
  ApplyFirScalar(2, h, x.data(), 3);
  EXPECT_EQ(x[1], 3.0f + 0x1p-22f);
  // And the fast path agrees.
  std::vector<float> fast = {1.0f, 0.0f, 0x1p-24f};
  ApplyFir(2, h, fast.data(), 3);
  EXPECT_EQ(fast, x);
}

// ---- Fast paths against the reference loop ----

struct PathCase {
  FirPath Path;
  FirRounding Rounding;
};

class FirPathTest : public testing::TestWithParam<PathCase> {
 protected:
  void SetUp() override {
    if (!FirPathAvailable(GetParam().Path)) GTEST_SKIP() << "processor lacks this path";
  }
};

TEST_P(FirPathTest, EqualsReferenceBitForBit) {
  const std::vector<float> h = Design(2.25f, 2.75f, 0.01f);
  // Below, around and above 2N - 1 = 999, odd lengths, lengths that are not a
  // multiple of any vector width, and lengths across the work pieces of 4000.
  const int lengths[] = {0, 1, 2, 3, 5, 7, 31, 33, 41, 97, 498, 500, 997, 998, 999, 1000, 1001,
                         1999, 3999, 4001, 8001, 12345};
  for (const int count : lengths) {
    const std::vector<std::vector<float>> original = {Record(count, 11), Record(count, 12),
                                                      Record(count, 13)};
    std::vector<std::vector<float>> expected = original;
    for (auto& x : expected) ApplyFirScalar(N, h.data(), x.data(), count);
    for (const int threads : {1, 2, 3}) {
      std::vector<std::vector<float>> data = original;
      std::vector<float*> channels;
      for (auto& x : data) channels.push_back(x.data());
      FirOptions options;
      options.Path = GetParam().Path;
      options.Rounding = GetParam().Rounding;
      options.Threads = threads;
      ApplyFirChannels(N, h.data(), channels, count, options);
      for (std::size_t c = 0; c < data.size(); ++c) {
        std::string where;
        EXPECT_TRUE(SameBits(data[c], expected[c], &where))
            << "count " << count << ", threads " << threads << ", channel " << c << ": " << where;
      }
    }
  }
}

// Short filters make every output touch an end; long ones exceed short records.
TEST_P(FirPathTest, EqualsReferenceForOtherFilterLengths) {
  std::mt19937 random(5);
  std::uniform_real_distribution<float> tap(-0.3f, 0.3f);
  for (const int taps : {1, 2, 3, 8, 1200}) {
    std::vector<float> h(static_cast<std::size_t>(taps));
    for (float& v : h) v = tap(random);
    for (const int count : {1, 6, 40, 2500}) {
      std::vector<float> x = Record(count, 21);
      std::vector<float> expected = x;
      ApplyFirScalar(taps, h.data(), expected.data(), count);
      float* channels[] = {x.data()};
      FirOptions options;
      options.Path = GetParam().Path;
      options.Rounding = GetParam().Rounding;
      ApplyFirChannels(taps, h.data(), channels, count, options);
      std::string where;
      EXPECT_TRUE(SameBits(x, expected, &where)) << taps << " taps, count " << count << ": " << where;
    }
  }
}

// A filter longer than the window of outputs a piece slides through, on a
// record cut into several pieces: the kept samples at the cuts and the slide of
// the window must still hand every output its own originals.
TEST_P(FirPathTest, EqualsReferenceWhenTheFilterOutgrowsTheWindow) {
  std::mt19937 random(8);
  std::uniform_real_distribution<float> tap(-0.01f, 0.01f);
  std::vector<float> h(4500);
  for (float& v : h) v = tap(random);
  const int count = 13000;  // two pieces of the record, the first of two windows
  const std::vector<float> original = Record(count, 23);
  std::vector<float> expected = original;
  ApplyFirScalar(4500, h.data(), expected.data(), count);
  for (const int threads : {1, 2}) {
    std::vector<float> x = original;
    float* channels[] = {x.data()};
    FirOptions options;
    options.Path = GetParam().Path;
    options.Rounding = GetParam().Rounding;
    options.Threads = threads;
    ApplyFirChannels(4500, h.data(), channels, count, options);
    std::string where;
    EXPECT_TRUE(SameBits(x, expected, &where)) << threads << " threads: " << where;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, FirPathTest,
    testing::Values(PathCase{FirPath::Scalar, FirRounding::Auto},
                    PathCase{FirPath::Sse2, FirRounding::Convert},
                    PathCase{FirPath::Sse2, FirRounding::Split},
                    PathCase{FirPath::Avx2, FirRounding::Convert},
                    PathCase{FirPath::Avx2, FirRounding::Split},
                    PathCase{FirPath::Avx2, FirRounding::Auto},
                    PathCase{FirPath::Avx512, FirRounding::Convert},
                    PathCase{FirPath::Avx512, FirRounding::Split},
                    PathCase{FirPath::Avx512, FirRounding::Auto}),
    [](const testing::TestParamInfo<PathCase>& info) {
      const char* rounding = info.param.Rounding == FirRounding::Auto      ? "Auto"
                             : info.param.Rounding == FirRounding::Convert ? "Convert"
                                                                           : "Split";
      return std::string(PathName(info.param.Path)) + rounding;
    });

// Data whose range defeats the splitting rounding: subnormal or huge results,
// infinities and NaN. Auto must notice and still give the reference's values.
TEST(FirRange, AutoFallsBackWhereSplittingWouldBeWrong) {
  const std::vector<float> h = Design(2.25f, 2.75f, 0.01f);
  const std::vector<float> base = Record(3000, 31);
  struct Case {
    const char* name;
    float scale;
    bool special;
  };
  const Case cases[] = {{"tiny", 3e-36f, false}, {"huge", 3e37f, false}, {"infinity", 1.0f, true}};
  for (const FirPath path : {FirPath::Sse2, FirPath::Avx2, FirPath::Avx512}) {
    if (!FirPathAvailable(path)) continue;
    for (const Case& c : cases) {
      std::vector<float> x = base;
      for (float& v : x) v *= c.scale;
      if (c.special) {
        x[1500] = std::numeric_limits<float>::infinity();
        x[2500] = std::numeric_limits<float>::quiet_NaN();
      }
      std::vector<float> expected = x;
      ApplyFirScalar(N, h.data(), expected.data(), 3000);
      std::vector<float> automatic = x;
      float* channels[] = {automatic.data()};
      FirOptions options;
      options.Path = path;
      ApplyFirChannels(N, h.data(), channels, 3000, options);
      for (int k = 0; k < 3000; ++k) {
        if (std::isnan(expected[k])) {
          EXPECT_TRUE(std::isnan(automatic[k])) << c.name << " sample " << k;
        } else {
          ASSERT_EQ(std::bit_cast<std::uint32_t>(automatic[k]), std::bit_cast<std::uint32_t>(expected[k]))
              << PathName(path) << ", " << c.name << ", sample " << k;
        }
      }
    }
    // The tiny record really needs the fallback: forced splitting differs.
    std::vector<float> forced = base;
    for (float& v : forced) v *= 3e-36f;
    std::vector<float> expected = forced;
    ApplyFirScalar(N, h.data(), expected.data(), 3000);
    float* channels[] = {forced.data()};
    FirOptions options;
    options.Path = path;
    options.Rounding = FirRounding::Split;
    ApplyFirChannels(N, h.data(), channels, 3000, options);
    std::string where;
    EXPECT_FALSE(SameBits(forced, expected, &where)) << PathName(path);
  }
}

// The splitting rounding against the conversion, on the values where a wrong
// rule would show: exact ties of both parities, the top of a binade (rounds up
// into the next), random values over the whole single-precision range.
TEST(FirRange, SplitRoundingMatchesConversionInTheNormalRange) {
  std::mt19937_64 random(99);
  auto fromBits = [](std::uint64_t bits) { return std::bit_cast<double>(bits); };
  for (int k = 0; k < 400000; ++k) {
    const std::uint64_t r = random();
    const std::uint64_t exponent = 1023 - 126 + r % 254;  // 2^-126 .. 2^127
    std::uint64_t bits = (r & 0x800FFFFFFFFFFFFFull) | (exponent << 52);
    switch (k % 4) {
      case 1: bits = (bits & ~0x1FFFFFFFull) | 0x10000000ull; break;  // halfway
      case 2: bits |= 0x000FFFFFE0000000ull; break;                    // upper bits all ones
      case 3: bits = (bits | 0x000FFFFFE0000000ull) & ~0x0FFFFFFFull; bits |= 0x10000000ull; break;
      default: break;
    }
    const double t = fromBits(bits);
    if (std::fabs(t) >= 0x1.fffffep127) continue;  // rounds to infinity: excluded by the range check
    ASSERT_EQ(FirSplitRound(t), static_cast<double>(static_cast<float>(t))) << std::hexfloat << t;
  }
  EXPECT_EQ(std::bit_cast<std::uint64_t>(FirSplitRound(-0.0)), std::bit_cast<std::uint64_t>(-0.0));
  EXPECT_EQ(FirSplitRound(0x1p-126), 0x1p-126);
}

// ---- Design ----

// The closed form of the inverse transform of the trapezoid, written as a
// difference of cosines, all in double.
double IdealTap(int i, double f1, double f2, double f3, double f4, double dt) {
  const double nu1 = f1 * dt, nu2 = f2 * dt, nu3 = f3 * dt, nu4 = f4 * dt;
  if (i == 0) return (nu3 + nu4) - (nu1 + nu2);
  const double pi2n2 = 2.0 * std::numbers::pi * std::numbers::pi * i * i;
  auto lowPass = [&](double a, double b) {
    return (std::cos(2 * std::numbers::pi * a * i) - std::cos(2 * std::numbers::pi * b * i)) /
           (pi2n2 * (b - a));
  };
  return lowPass(nu3, nu4) - lowPass(nu1, nu2);
}

TEST(DesignBandPass, CoefficientsMatchAnIndependentDoubleEvaluation) {
  struct Case {
    float fL, fH, dt;
  };
  const Case cases[] = {{2.25f, 2.75f, 0.01f}, {18.0f, 22.0f, 0.001f}, {3.3f, 5.1f, 0.02f},
                        {0.37f, 0.53f, 0.005f}};
  for (const Case& c : cases) {
    const std::vector<float> h = Design(c.fL, c.fH, c.dt);
    // Single-precision edges, m = i pi and stored taps each carry a relative
    // error near 6e-8; measured against the largest tap they stay near 1e-7.
    const double tolerance = 1e-6 * std::fabs(h[0]);
    for (int i = 0; i < N; ++i) {
      const double ideal = IdealTap(i, 0.5 * c.fL, c.fL, c.fH, 1.5 * c.fH, c.dt);
      ASSERT_NEAR(h[i], ideal, tolerance) << "tap " << i << " of " << c.fL << "-" << c.fH;
    }
  }
}

TEST(DesignBandPass, ResponseIsTheTrapezoid) {
  // Centre 2 Hz, ratio 0.1, 100 samples/s: pass band 1.8-2.2 Hz with
  // transitions from 0.9 Hz and to 3.3 Hz.
  const BandEdges edges = EdgesFromCentre(2.0f, 0.1f);
  EXPECT_EQ(edges.Lower, 1.8f);
  EXPECT_EQ(edges.Upper, 2.2f);
  const std::vector<float> h = Design(edges.Lower, edges.Upper, 0.01f);
  const struct {
    double f, gain;
  } points[] = {{0.0, 0.0},  {0.5, 0.0},  {1.35, 0.5}, {1.8, 1.0}, {2.0, 1.0},
                {2.2, 1.0},  {2.75, 0.5}, {3.3, 0.0},  {6.0, 0.0}, {30.0, 0.0}};
  // The truncation ripple is largest at the corners of the trapezoid (about 0.012).
  for (const auto& p : points) {
    EXPECT_NEAR(Response(h, p.f, 0.01), p.gain, 0.02) << p.f << " Hz";
  }
}

TEST(DesignBandPass, RefusesEdgesWithoutAFilter) {
  const struct {
    const char* name;
    float f1, f2, f3, f4, dt;
  } cases[] = {
      {"ratio 1: no lower band", 0.0f, 0.0f, 4.0f, 6.0f, 0.01f},
      {"negative edges", -1.0f, -2.0f, 4.0f, 6.0f, 0.01f},
      {"flat upper transition", 1.0f, 2.0f, 4.0f, 4.0f, 0.01f},
      {"upper edge below lower", 1.0f, 2.0f, 1.5f, 6.0f, 0.01f},
      {"no sampling interval", 1.0f, 2.0f, 4.0f, 6.0f, 0.0f},
      {"NaN edge", 1.0f, std::nanf(""), 4.0f, 6.0f, 0.01f},
      {"infinite edge", 1.0f, 2.0f, 4.0f, std::numeric_limits<float>::infinity(), 0.01f},
  };
  for (const auto& c : cases) {
    std::vector<float> h(N, 7.5f);
    EXPECT_FALSE(DesignBandPass(N, h.data(), c.f1, c.f2, c.f3, c.f4, c.dt)) << c.name;
    EXPECT_EQ(h, std::vector<float>(N, 7.5f)) << c.name;
  }
}

// ---- Filtering a record ----

WaveData MakeRecord(int channels, int count, int rate) {
  WaveData record;
  record.ChannelCount = channels;
  record.SampleCount = count;
  record.Rate = rate;
  record.Dt = 1.0f / static_cast<float>(rate);
  for (int c = 0; c < channels; ++c) record.Samples[c] = Record(count, 40 + c);
  return record;
}

TEST(FilterAllChannels, DcComesOutNearZeroAwayFromTheEnds) {
  WaveData record = MakeRecord(1, 5000, 100);
  std::fill(record.Samples[0].begin(), record.Samples[0].end(), 3.7f);
  const BandEdges edges = EdgesFromCentre(2.5f, 0.1f);
  ASSERT_TRUE(FilterAllChannels(record, edges.Lower, edges.Upper).Ok);
  const std::vector<float>& y = record.Samples[0];
  for (int k = N - 1; k <= 5000 - N; ++k) ASSERT_LT(std::fabs(y[k]), 0.01f) << k;
  // At an end only half the filter sees the record: 3.7 (h[0] + h[1] + ... + h[N-1]).
  const std::vector<float> h = Design(edges.Lower, edges.Upper, 0.01f);
  double half = 0.0;
  for (const float v : h) half += v;
  ASSERT_GT(std::fabs(3.7 * half), 0.01);
  EXPECT_NEAR(y[0], 3.7 * half, 1e-5);
  EXPECT_NEAR(y[4999], 3.7 * half, 1e-5);
}

TEST(FilterAllChannels, SineAtTheCentreKeepsPhaseAndAmplitude) {
  const int rate = 200;
  const int count = 6000;
  const double dt = 1.0 / rate;
  const BandEdges edges = EdgesFromCentre(3.7f, 0.2f);
  const std::vector<float> h = Design(edges.Lower, edges.Upper, static_cast<float>(dt));
  const double gain = Response(h, 3.7, dt);
  EXPECT_NEAR(gain, 1.0, 0.01);  // the ripple of the truncated response

  WaveData record = MakeRecord(2, count, rate);
  for (int c = 0; c < 2; ++c) {
    for (int k = 0; k < count; ++k) {
      record.Samples[c][k] =
          static_cast<float>(2.3 * std::sin(2 * std::numbers::pi * 3.7 * k * dt + 0.7 + c));
    }
  }
  const WaveData original = record;
  ASSERT_TRUE(FilterAllChannels(record, edges.Lower, edges.Upper).Ok);
  for (int c = 0; c < 2; ++c) {
    for (int k = N - 1; k <= count - N; ++k) {
      // Zero phase: the output is the input scaled by the response, sample by sample.
      ASSERT_NEAR(record.Samples[c][k], gain * original.Samples[c][k], 2e-4) << c << ", " << k;
    }
  }
}

TEST(FilterAllChannels, TransitionEdgesAreHalfTheLowerAndOneAndAHalfTheUpper) {
  // Centre 2, ratio 0.1: the gain is one half midway up each transition,
  // at 1.35 Hz (0.9 .. 1.8) and at 2.75 Hz (2.2 .. 3.3), and nil at 0.6 Hz.
  const BandEdges edges = EdgesFromCentre(2.0f, 0.1f);
  for (const auto& [f, gain] : {std::pair{1.35, 0.5}, std::pair{2.75, 0.5}, std::pair{0.6, 0.0}}) {
    WaveData record = MakeRecord(1, 4000, 100);
    for (int k = 0; k < 4000; ++k) {
      record.Samples[0][k] = static_cast<float>(std::cos(2 * std::numbers::pi * f * k * 0.01 + 0.3));
    }
    ASSERT_TRUE(FilterAllChannels(record, edges.Lower, edges.Upper).Ok);
    for (int k = N - 1; k <= 4000 - N; k += 37) {
      ASSERT_NEAR(record.Samples[0][k], gain * std::cos(2 * std::numbers::pi * f * k * 0.01 + 0.3),
                  0.01)
          << f << " Hz, sample " << k;
    }
  }
}

TEST(FilterAllChannels, FiltersEveryChannelLikeTheReference) {
  for (const int count : {0, 1, 2, 998, 999, 1000, 2501}) {
    WaveData record = MakeRecord(3, count, 100);
    record.Samples[3] = Record(count, 99);  // a slot beyond ChannelCount stays as it is
    const WaveData original = record;
    const BandEdges edges = EdgesFromCentre(2.5f, 0.1f);
    ASSERT_TRUE(FilterAllChannels(record, edges.Lower, edges.Upper).Ok) << count;
    const std::vector<float> h = Design(edges.Lower, edges.Upper, record.Dt);
    for (int c = 0; c < 3; ++c) {
      std::vector<float> expected = original.Samples[c];
      ApplyFirScalar(N, h.data(), expected.data(), count);
      std::string where;
      EXPECT_TRUE(SameBits(record.Samples[c], expected, &where)) << count << " ch " << c << where;
    }
    EXPECT_EQ(record.Samples[3], original.Samples[3]);
  }
}

// Reports come from the calling thread while the others filter too; a stop
// asked for at any report before the last ends the run as cancelled. With one
// thread the reports are the same in every run, so the last but one is known.
TEST(FilterAllChannels, ReportsUpToOneAndStopsWhenAsked) {
  const BandEdges edges = EdgesFromCentre(2.5f, 0.1f);
  const WaveData original = MakeRecord(3, 60000, 100);
  const std::vector<float> h = Design(edges.Lower, edges.Upper, original.Dt);
  WaveData plain = original;
  ASSERT_TRUE(FilterAllChannels(plain, edges.Lower, edges.Upper).Ok);

  for (const int threads : {1, 2}) {
    FirOptions options;
    options.Threads = threads;
    WaveData reported = original;
    std::vector<float*> channels = {reported.Samples[0].data(), reported.Samples[1].data(),
                                    reported.Samples[2].data()};
    ProgressProbe whole;
    ASSERT_EQ(ApplyFirChannels(N, h.data(), channels, 60000, options, whole.get()), FirRun::Completed);
    whole.ExpectCompleted(10);
    EXPECT_TRUE(reported.Samples == plain.Samples) << threads;

    const int reports = static_cast<int>(whole.reports.size());
    std::vector<int> stops = {1, reports / 2};
    if (threads == 1) stops.push_back(reports - 1);
    for (const int stopAt : stops) {
      WaveData record = original;
      channels = {record.Samples[0].data(), record.Samples[1].data(), record.Samples[2].data()};
      ProgressProbe probe(stopAt);
      EXPECT_EQ(ApplyFirChannels(N, h.data(), channels, 60000, options, probe.get()), FirRun::Cancelled)
          << threads << " threads, report " << stopAt;
      EXPECT_LT(probe.reports.back(), 1.0) << threads << " threads, report " << stopAt;
    }
  }

  WaveData record = original;
  ProgressProbe probe(1);
  const FilterResult result = FilterAllChannels(record, edges.Lower, edges.Upper, probe.get());
  EXPECT_FALSE(result.Ok);
  EXPECT_TRUE(result.Cancelled);
  EXPECT_EQ(result.Message, "");
}

TEST(FilterAllChannels, RefusesWhatTheFormulasCannotServeAndChangesNothing) {
  const float nan = std::nanf("");
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    const char* name;
    float fL, fH, dt;
    int sampleCount;
    const char* message;
  } cases[] = {
      {"lower edge 0 (ratio 1)", 0.0f, 5.0f, 0.01f, 800, kFilterBandMessage},
      {"negative centre", -2.2f, -1.8f, 0.01f, 800, kFilterBandMessage},
      {"upper not above lower", 2.0f, 2.0f, 0.01f, 800, kFilterBandMessage},
      {"NaN edge", nan, 2.0f, 0.01f, 800, kFilterBandMessage},
      {"infinite edge", 1.0f, inf, 0.01f, 800, kFilterBandMessage},
      {"no sampling interval", 1.8f, 2.2f, 0.0f, 800, kFilterIntervalMessage},
      {"negative sampling interval", 1.8f, 2.2f, -0.01f, 800, kFilterIntervalMessage},
      {"fewer samples than counted", 1.8f, 2.2f, 0.01f, 801, kFilterRecordMessage},
  };
  for (const auto& c : cases) {
    WaveData record = MakeRecord(2, 800, 100);
    record.Dt = c.dt;
    record.SampleCount = c.sampleCount;
    const WaveData original = record;
    const FilterResult result = FilterAllChannels(record, c.fL, c.fH);
    EXPECT_FALSE(result.Ok) << c.name;
    EXPECT_EQ(result.Message, c.message) << c.name;
    EXPECT_EQ(record.Samples[0], original.Samples[0]) << c.name;
    EXPECT_EQ(record.Samples[1], original.Samples[1]) << c.name;
  }
}

// Beyond half the sampling rate the trapezoid folds back over itself: a band
// of 1000 Hz ± 50 % made a record of 100 samples/s thirty times larger.
TEST(BandSetting, UpperTransitionEdgeMustStayBelowHalfTheRate) {
  const float dt = 1.0f / 120.0f;
  // Centre 32 Hz, ratio 0.25: fH = 40 Hz, 1.5 fH = 60 Hz, half of 120 samples/s.
  const std::optional<std::string> atHalf = BandSettingProblem(32.0f, 0.25f, dt);
  ASSERT_TRUE(atHalf);
  EXPECT_EQ(*atHalf,
            "上限周波数の1.5倍（60.00Hz）がサンプリング周波数の半分（60.00Hz）以上です。"
            "中央振動数か帯域幅率を小さくしてください。");
  EXPECT_EQ(BandSettingProblem(32.0f, 0.24f, dt), std::nullopt);  // 59.52 Hz
  EXPECT_EQ(BandSettingProblem(1000.0f, 0.5f, 0.0f), std::nullopt);  // no rate known yet
  EXPECT_EQ(BandSettingProblem(0.0f, 0.1f, dt), kCentreMessage);
  EXPECT_EQ(BandSettingProblem(2.0f, 0.99999999f, dt), kRatioMessage);
  EXPECT_EQ(BandSettingProblem(3e38f, 0.1f, dt), kCentreTooLargeMessage);

  for (const float upper : {40.0f, 1500.0f}) {
    WaveData record = MakeRecord(2, 800, 120);
    const WaveData original = record;
    const FilterResult result = FilterAllChannels(record, 24.0f, upper);
    EXPECT_FALSE(result.Ok) << upper;
    EXPECT_EQ(result.Message, *BandEdgesProblem(24.0f, upper, dt)) << upper;
    EXPECT_EQ(record.Samples, original.Samples) << upper;
  }
}

}  // namespace
