// The overview's graphs: the value axis of the amplitude graphs holds the data
// on a nice scale that is as tight as the steps allow, and a click near a peak
// of the spectrum picks that peak.
#include <gtest/gtest.h>

#include <cmath>

#include "components/AmplitudeGraph.h"
#include "components/SpectrumGraph.h"
#include "io/NumberText.h"
#include "tests/support/GaussianNoise.h"
#include "tests/support/RecordingCanvas.h"
#include "tests/support/RecordingPlatform.h"

namespace {

bool NiceStep(double step) {
  const double decade = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
  for (const double m : {1.0, 2.0, 2.5, 5.0, 10.0}) {
    if (std::fabs(step - m * decade) <= 1e-6 * step) return true;
  }
  return false;
}

TEST(OverviewGraphsTest, ValueAxisHoldsTheDataOnATightNiceScale) {
  struct Case {
    double lo, hi;
    float start, perDivision;
  };
  const Case cases[] = {
      {1.583, 1.617, 1.58f, 0.01f},      // f of a few per cent: not flattened against zero
      {0.0183, 0.0251, 0.018f, 0.002f},  // h
      {-0.004, 0.011, -0.005f, 0.005f},  // a negative h among them
      {3.7, 3.7, 3.5f, 0.1f},            // one value: ±5 % of it
      {0.0, 0.0, -2.0f, 1.0f},
      {0.01971, 0.02016, 0.0196f, 0.0002f},  // as fine as the labels' four decimals show
      {0.02001, 0.02003, 0.02f, 0.0002f},    // labels 0.0199 would be shown as 0.02
  };
  for (const Case& c : cases) {
    const LinearAxis axis = FitLinearAxis(c.lo, c.hi, 4);
    EXPECT_FLOAT_EQ(axis.Start, c.start) << c.lo << " " << c.hi;
    EXPECT_FLOAT_EQ(axis.PerDivision, c.perDivision) << c.lo << " " << c.hi;
    EXPECT_TRUE(NiceStep(axis.PerDivision)) << axis.PerDivision;
    EXPECT_LE(axis.Start, c.lo);
    EXPECT_GE(axis.Start + 4.0 * axis.PerDivision, c.hi);
  }
}

TEST(OverviewGraphsTest, AClickNearAPeakPicksIt) {
  constexpr double kRate = 200.0;
  std::vector<float> samples(20000);
  GaussianNoise noise(5);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    samples[i] = static_cast<float>(std::cos(2 * M_PI * 3.7 * t + 0.7) + 0.3 * std::cos(2 * M_PI * 11.3 * t) +
                                    0.05 * noise.Next());
  }
  const Spectrum spectrum = WelchSpectrum(samples, kRate);
  ASSERT_TRUE(spectrum.Ok());
  ASSERT_GE(spectrum.Peaks.size(), 2u);
  EXPECT_NEAR(spectrum.Peaks[0].F, 3.7, 0.05);
  EXPECT_NEAR(spectrum.Peaks[1].F, 11.3, 0.05);
  EXPECT_NEAR(SpectrumFullScaleHz(spectrum), 1.25 * spectrum.Peaks[1].F, 1e-9);

  RecordingPlatform platform;
  RecordingCanvas canvas(316, 250);
  TMyGraph graph(canvas, platform);
  DrawSpectrumGraph(graph, spectrum, {255, 255, 255});
  EXPECT_TRUE(platform.messages.empty());
  for (const std::size_t peak : {std::size_t{0}, std::size_t{1}}) {
    const std::optional<CanvasPoint> at = SpectrumPeakPixel(graph, spectrum, peak);
    ASSERT_TRUE(at.has_value());
    EXPECT_GE(at->y, graph.OriginY - graph.HeightY);
    EXPECT_LE(at->y, graph.OriginY);
    EXPECT_EQ(SpectrumPeakAt(graph, spectrum, at->x + 4, at->y + 30), peak);
    EXPECT_EQ(SpectrumPeakAt(graph, spectrum, at->x - 4, graph.OriginY), peak);
  }
  const std::optional<CanvasPoint> first = SpectrumPeakPixel(graph, spectrum, 0);
  const std::optional<CanvasPoint> second = SpectrumPeakPixel(graph, spectrum, 1);
  EXPECT_EQ(SpectrumPeakAt(graph, spectrum, (first->x + second->x) / 2, first->y), std::nullopt);
  // The strongest peaks carry their frequency.
  EXPECT_NE(canvas.FindText(FormatFixed(spectrum.Peaks[0].F, 3)), nullptr);
  EXPECT_NE(canvas.FindText(FormatFixed(spectrum.Peaks[1].F, 2)), nullptr);
}

}  // namespace
