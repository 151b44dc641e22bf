// Finding what to evaluate from the command line: detect, spectrum and
// --f0 auto on the sample and on a record whose rate makes the default
// initial frequency useless.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "io/WriteCsv.h"
#include "tests/support/CliRun.h"
#include "tests/support/GaussianNoise.h"
#include "tests/support/TempDir.h"

namespace {

const std::string kSample0 = std::string(OSCALYX_SOURCE_DIR) + "/sample/sample0.csv";

double Number(const std::string& json, const std::string& key) {
  std::smatch found;
  if (!std::regex_search(json, found, std::regex("\"" + key + R"(": ([-0-9.e]+))"))) return NAN;
  return std::stod(found[1]);
}

TEST(CliFinding, DetectFindsTheSamplesDecayAndSpectrumItsPeak) {
  const CliRunResult detect = RunCliCaptured({"detect", kSample0, "--channel", "1", "--json"});
  ASSERT_EQ(detect.status, 0) << detect.err;
  EXPECT_NEAR(Number(detect.out, "onset"), 2000, 20) << detect.out;
  EXPECT_GT(Number(detect.out, "start"), Number(detect.out, "onset"));
  EXPECT_NEAR(Number(detect.out, "f"), 1.6, 0.02);
  EXPECT_EQ(detect.out.find("}, {"), std::string::npos) << "one decay only: " << detect.out;

  const CliRunResult spectrum = RunCliCaptured({"spectrum", kSample0, "--channel", "1", "--json"});
  ASSERT_EQ(spectrum.status, 0) << spectrum.err;
  EXPECT_NEAR(Number(spectrum.out, "f"), 1.6, 0.02) << spectrum.out;
  // Ten seconds of the decay: too short for averaged segments to resolve
  // 1.6 Hz, so one window over the stretch shows it.
  const CliRunResult shortStretch =
      RunCliCaptured({"spectrum", kSample0, "--channel", "1", "--from", "2000", "--to", "2999", "--json"});
  ASSERT_EQ(shortStretch.status, 0) << shortStretch.err;
  EXPECT_NEAR(Number(shortStretch.out, "f"), 1.6, 0.02) << shortStretch.out;
  const CliRunResult csv = RunCliCaptured({"spectrum", kSample0, "--channel", "1", "--from", "0", "--to", "1999"});
  ASSERT_EQ(csv.status, 0) << csv.err;
  EXPECT_EQ(csv.out.rfind("f,amplitude\n0,", 0), 0u);

  // A stretch that starts before the decay's clean part says so.
  const CliRunResult early = RunCliCaptured({"fit", kSample0, "--channel", "1", "--start", "1990", "--json"});
  ASSERT_EQ(early.status, 0) << early.err;
  EXPECT_NE(early.out.find("\"flags\": [\"near-onset\"]"), std::string::npos) << early.out;
}

// At 1024 samples/s a load offers 20.5 Hz; the decay rings at 7.3 Hz.
TEST(CliFinding, AutomaticInitialFrequencyIsTheStretchsStrongestPeak) {
  TempDir dir;
  WaveData record;
  record.ChannelCount = 1;
  record.SampleCount = 8192;
  record.Rate = 1024;
  record.Samples[0].resize(8192);
  GaussianNoise noise(7);
  const double wn = 2.0 * M_PI * 7.3, h = 0.015;
  for (int i = 0; i < 8192; ++i) {
    const double t = i / 1024.0;
    record.Samples[0][static_cast<std::size_t>(i)] =
        static_cast<float>(3.0 * std::exp(-h * wn * t) * std::cos(wn * std::sqrt(1 - h * h) * t + 0.7) +
                           0.01 * noise.Next());
  }
  const std::string path = dir.File("fast.csv");
  ASSERT_TRUE(WriteCsv(path, record).ok);
  const CliRunResult run =
      RunCliCaptured({"fit", path, "--channel", "1", "--start", "0", "--width", "2", "--f0", "auto", "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NEAR(Number(run.out, "f0"), 7.3, 0.2) << run.out;
  EXPECT_NEAR(Number(run.out, "f"), 7.3, 0.01) << run.out;
  EXPECT_NEAR(Number(run.out, "h"), 0.015, 0.001) << run.out;
  EXPECT_EQ(RunCliCaptured({"fit", path, "--channel", "1", "--f0", "often"}).status, 2);
}

}  // namespace

namespace {

// rd --fit: the interval of the signature's fit comes from its triggered
// segments, and holds the ambient sample's first mode.
TEST(CliFinding, SignatureFitCarriesTheTriggersInterval) {
  TempDir dir;
  const CliRunResult run = RunCliCaptured({"rd", std::string(OSCALYX_SOURCE_DIR) + "/sample/sample2.csv",
                                           dir.File("rd.csv"), "--channel", "1", "--fit"});
  ASSERT_EQ(run.status, 0) << run.err;
  std::smatch found;
  ASSERT_TRUE(std::regex_search(run.out, found,
                                std::regex(R"("interval": \{"f": \[([0-9.e-]+), ([0-9.e-]+)\], "h": \[([0-9.e-]+), ([0-9.e-]+)\], "level": 0.95, "method": "rd-batch-means")")))
      << run.out;
  EXPECT_LT(std::stod(found[1]), 1.05);
  EXPECT_GT(std::stod(found[2]), 1.05);
  EXPECT_LT(std::stod(found[3]), 0.02);
  EXPECT_GT(std::stod(found[4]), 0.02);
}

}  // namespace
