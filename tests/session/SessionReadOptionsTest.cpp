// A record of another instrument's file in the session: the read options
// travel with the record, so the band-pass filter's re-read reads the file
// the same way; the reader's warnings come with the load, not the re-read.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

#include "io/ReadResult.h"
#include "session/Session.h"
#include "tests/support/TempDir.h"

namespace {

TEST(SessionReadOptions, TheReReadUsesTheLoadsOptionsAndWarnsNoMore) {
  // Ten columns: a time column at 250 /s and nine channels of a 3.7 Hz decay.
  std::string text = "t\tc1\tc2\tc3\tc4\tc5\tc6\tc7\tc8\tc9\n";
  const double wn = 2 * std::numbers::pi * 3.7;
  for (int i = 0; i < 2500; ++i) {
    const double t = i / 250.0;
    char row[32];
    std::snprintf(row, sizeof row, "%.3f", t);
    text += row;
    for (int k = 1; k <= 9; ++k) {
      std::snprintf(row, sizeof row, "\t%.6f", k * std::exp(-0.03 * wn * t) * std::cos(wn * std::sqrt(1 - 0.03 * 0.03) * t + 0.7));
      text += row;
    }
    text += "\n";
  }
  TempDir dir;
  Session session;
  ReadOptions options;
  options.TimeColumn = 1;
  options.Unit = "gal";
  LoadCommit commit;
  ASSERT_TRUE(session.Load({dir.Write("log.dat", text), FileKind::Text, std::nullopt, options}, nullptr, &commit).ok());
  ASSERT_EQ(commit.Notices.size(), 1u);
  EXPECT_EQ(commit.Notices[0].Text, ChannelsLeftOutWarning(9));
  EXPECT_EQ(session.Record().Rate, 250.0);
  EXPECT_EQ(session.Options(), options);

  // The root mean square of channel 1 over 800 ... 1199, before and after.
  auto rms = [&session] {
    double sum = 0.0;
    for (int i = 800; i < 1200; ++i) sum += std::pow(session.Record().Samples[0][static_cast<std::size_t>(i)], 2);
    return std::sqrt(sum / 400.0);
  };
  const double raw = rms();
  const float rawSample = session.Record().Samples[0][1000];

  const LoadRequest again = session.RefilterRequest(BandEdges{3.0f, 4.4f});
  EXPECT_EQ(again.Kind, FileKind::Text);
  EXPECT_EQ(again.Options, options);
  LoadOutcome read = Session::Read(again);
  ASSERT_TRUE(read.ok()) << read.message;
  const LoadCommit refiltered = session.CommitRefilter(std::move(read));
  EXPECT_TRUE(refiltered.Notices.empty());
  EXPECT_EQ(session.Record().ChannelCount, 8);
  EXPECT_EQ(SlotText(session.Record().Units[7]), "gal");
  ASSERT_TRUE(session.Band().has_value());
  // Filtered: the samples changed, but the decay at 3.7 Hz, inside the band,
  // keeps its strength.
  EXPECT_NE(session.Record().Samples[0][1000], rawSample);
  EXPECT_NEAR(rms() / raw, 1.0, 0.2);
}

}  // namespace
