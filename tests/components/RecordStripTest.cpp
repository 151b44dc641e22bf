// The overview strip: samples and pixel columns map both ways as the min/max
// summary shares them out, no peak is lost between columns, and a click picks
// the decay whose mark it is on.
#include <gtest/gtest.h>

#include <algorithm>

#include "components/RecordStrip.h"
#include "tests/support/RecordingCanvas.h"

namespace {

constexpr int kWidth = 966;
constexpr int kHeight = 172;

TEST(RecordStripTest, ColumnsAndSamplesMapBothWays) {
  for (const std::int64_t count : {std::int64_t{7}, std::int64_t{926}, std::int64_t{6001}, std::int64_t{10'000'019}}) {
    RecordStrip strip(kWidth, kHeight);
    strip.SetRecord(count, 100.0);
    EXPECT_EQ(strip.XOfSample(0), RecordStrip::kLabelWidth) << count;
    EXPECT_EQ(strip.XOfSample(count), RecordStrip::kLabelWidth + strip.Columns()) << count;
    for (int x = RecordStrip::kLabelWidth; x < RecordStrip::kLabelWidth + strip.Columns(); x += 37) {
      const std::int64_t first = strip.SampleAtX(x);
      // A column that holds samples starts with the one SampleAtX names; an
      // empty one (fewer samples than columns) names the next sample, or the
      // last past the record's end.
      if (first < count - 1) {
        EXPECT_GE(strip.XOfSample(first), x) << count << " " << x;
      }
      if (first > 0) {
        EXPECT_LT(strip.XOfSample(first - 1), x) << count << " " << x;
      }
    }
    EXPECT_EQ(strip.SampleAtX(0), 0);
    EXPECT_EQ(strip.SampleAtX(kWidth + 50), std::min<std::int64_t>(count - 1, strip.SampleAtX(kWidth - 5)));
  }
}

TEST(RecordStripTest, AClickPicksTheDecayOfItsMark) {
  RecordStrip strip(kWidth, kHeight);
  strip.SetRecord(1'000'000, 1000.0);
  const std::vector<DetectedDecay> decays = {{100'000, 103'000, 180'000, 1.0, 3.7, 20.0},
                                             {400'000, 402'000, 420'000, 1.0, 3.7, 8.0},
                                             {404'000, 405'000, 500'000, 1.0, 3.7, 30.0}};
  struct Case {
    int x;
    int y;
    std::optional<std::size_t> picked;
  };
  const CanvasPoint second = strip.DecayMarker(decays[1]);
  const CanvasPoint third = strip.DecayMarker(decays[2]);
  ASSERT_EQ(third.x - second.x, 3);  // close together: the nearer triangle wins
  const Case cases[] = {
      {second.x, second.y, 1},
      {second.x - 1, second.y, 1},
      {third.x + 1, 2, 2},
      {second.x - RecordStrip::kPickReach, second.y, 1},
      {strip.XOfSample(150'000), 5, 0},                   // on the first decay's span, away from its triangle
      {strip.XOfSample(300'000), 5, std::nullopt},        // between decays
      {second.x, RecordStrip::kMarkerRow, std::nullopt},  // in the lanes: no decay
  };
  for (const Case& c : cases) EXPECT_EQ(strip.DecayAt(c.x, c.y, decays), c.picked) << c.x << "," << c.y;
}

// One spike in a million samples still reaches the top of its lane, in the
// column of its sample, and nowhere else.
TEST(RecordStripTest, ASpikeBetweenColumnsIsDrawnInItsColumn) {
  constexpr std::int64_t kCount = 1'000'003;
  constexpr std::int64_t kSpike = 654'321;
  std::vector<float> samples(kCount, 0.0f);
  for (std::int64_t i = 0; i < kCount; ++i) samples[static_cast<std::size_t>(i)] = (i % 2 == 0) ? -0.1f : 0.1f;
  samples[kSpike] = 5.0f;
  samples[17] = -5.0f;
  const MinMaxSummary summary(samples);
  RecordStrip strip(kWidth, kHeight);
  strip.SetRecord(kCount, 1000.0);
  RecordingCanvas canvas(kWidth, kHeight);
  const StripLane lanes[] = {{&summary, "1ch", true}};
  strip.Draw(canvas, lanes, {});
  const int laneTop = RecordStrip::kMarkerRow;
  int topX = -1;
  int highest = kHeight;
  int bottomX = -1;
  int lowest = 0;
  for (const CanvasCall& call : canvas.Of(CanvasCall::Kind::FillRect)) {
    // Trace columns only: one pixel wide, inside the lane (the view's edges
    // start on the lane's top row).
    if (call.x2 - call.x1 != 1 || call.x1 < RecordStrip::kLabelWidth || call.y1 <= laneTop) continue;
    if (call.y2 - call.y1 > 40 && call.y1 <= laneTop + 1 && call.y1 < highest) {
      highest = call.y1;
      topX = call.x1;
    }
    if (call.y2 - call.y1 > 40 && call.y2 > lowest) {
      lowest = call.y2;
      bottomX = call.x1;
    }
  }
  EXPECT_EQ(highest, laneTop + 1);
  EXPECT_EQ(topX, strip.XOfSample(kSpike));
  EXPECT_EQ(bottomX, strip.XOfSample(17));
  EXPECT_EQ(lowest, kHeight - RecordStrip::kAxisHeight - 1);
}

}  // namespace
