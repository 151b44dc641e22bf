// oscalyx-cli modes: two close modes fitted together are told apart.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "io/WriteCsv.h"
#include "tests/support/CliRun.h"
#include "tests/support/GaussianNoise.h"
#include "tests/support/TempDir.h"

namespace {

TEST(CliModes, TwoCloseModesAreFoundWithIntervalsThatHoldThem) {
  TempDir dir;
  WaveData record;
  record.ChannelCount = 1;
  record.SampleCount = 2400;
  record.Rate = 200;
  CopyToSlot("P1", record.Names[0]);
  record.Samples[0].resize(2400);
  const double modes[2][4] = {{3.7, 0.02, 2.0, 0.7}, {3.9, 0.03, 1.2, -1.1}};  // f, h, A, phi
  GaussianNoise noise(20261208);
  for (int i = 0; i < 2400; ++i) {
    const double t = i / 200.0;
    double x = 0.0;
    for (const auto& m : modes) {
      const double wn = 2.0 * M_PI * m[0];
      x += m[2] * std::exp(-m[1] * wn * t) * std::cos(wn * std::sqrt(1.0 - m[1] * m[1]) * t + m[3]);
    }
    record.Samples[0][static_cast<std::size_t>(i)] = static_cast<float>(x + 0.02 * noise.Next());
  }
  const std::string path = dir.File("two.csv");
  ASSERT_TRUE(WriteCsv(path, record).ok);

  const CliRunResult run =
      RunCliCaptured({"modes", path, "--channel", "1", "--start", "0", "--width", "12", "--count", "2", "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  std::smatch found;
  std::string rest = run.out;
  const std::regex mode(
      R"(\{"f": ([-0-9.e]+), "h": ([-0-9.e]+),.*?"interval": \{"f": \[([-0-9.e]+), ([-0-9.e]+)\], "h": \[([-0-9.e]+), ([-0-9.e]+)\])");
  for (const auto& m : modes) {
    ASSERT_TRUE(std::regex_search(rest, found, mode)) << run.out;
    EXPECT_NEAR(std::stod(found[1]), m[0], 2e-3);
    EXPECT_NEAR(std::stod(found[2]), m[1], 2e-3);
    EXPECT_LT(std::stod(found[3]), m[0]);
    EXPECT_GT(std::stod(found[4]), m[0]);
    EXPECT_LT(std::stod(found[5]), m[1]);
    EXPECT_GT(std::stod(found[6]), m[1]);
    rest = found.suffix();
  }
  EXPECT_TRUE(std::regex_search(run.out, std::regex(R"("ratio": 0\.99\d*\})"))) << run.out;

  // Without a count it is a usage error.
  EXPECT_EQ(RunCliCaptured({"modes", path, "--channel", "1"}).status, 2);
  EXPECT_EQ(RunCliCaptured({"modes", path, "--channel", "1", "--count", "11"}).status, 2);
}

}  // namespace
