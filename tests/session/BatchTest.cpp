// The pieces of a batch that decide what is fitted and when work counts as
// done: the stretch a detected decay suggests, the records' times, and the
// settings hash.
#include <gtest/gtest.h>

#include "io/Version.h"
#include "session/Batch.h"

namespace {

WaveData RecordOf(std::int32_t samples, double rate) {
  WaveData record;
  record.ChannelCount = 1;
  record.SampleCount = samples;
  record.Rate = rate;
  record.Dt = static_cast<float>(1.0 / rate);
  record.Samples[0].assign(static_cast<std::size_t>(samples), 0.0f);
  return record;
}

TEST(Batch, SuggestedStretchCoversTheDecayWithinTheRecord) {
  struct Case {
    const char* what;
    std::int64_t start, end;
    double f;
    std::int32_t samples;
    double rate;
    long long wantSamples;  // trunc(rate × width)
  };
  const std::vector<Case> cases = {
      {"start to end", 1200, 2400, 3.7, 6000, 100.0, 1200},
      {"at least three periods", 1200, 1250, 3.7, 6000, 100.0, 81},  // 3 / 3.7 s
      {"no further than the record", 5500, 9000, 3.7, 6000, 100.0, 500},
      {"a fractional rate", 100, 612, 1.3, 2000, 25.6, 512},
  };
  for (const Case& c : cases) {
    const WaveData record = RecordOf(c.samples, c.rate);
    DetectedDecay decay;
    decay.Start = c.start;
    decay.End = c.end;
    decay.F = c.f;
    const EvaluationRequest request = SuggestedRequest(record, 0, decay);
    EXPECT_EQ(request.Start, c.start) << c.what;
    EXPECT_DOUBLE_EQ(request.F0, c.f) << c.what;
    EXPECT_DOUBLE_EQ(request.H0, kBatchInitialDamping);
    EXPECT_NEAR(static_cast<double>(WindowSamples(c.rate, request.WidthSeconds)), c.wantSamples, 1) << c.what;
    EXPECT_LE(WindowSamples(c.rate, request.WidthSeconds), c.samples - c.start) << c.what;
  }
}

TEST(Batch, RecordTimesBecomeSortableText) {
  EXPECT_EQ(RecordTimeText("2026/12/07 10:00:00"), "2026-12-07 10:00:00");
  EXPECT_EQ(RecordTimeText("2026/1/7 9:05:03"), "2026-01-07 09:05:03");
  EXPECT_EQ(RecordTimeText("  26-12-07  "), "26-12-07");  // kept as shown when it is no date
  EXPECT_EQ(RecordTimeText("2026/13/07 10:00:00"), "2026/13/07 10:00:00");
  EXPECT_EQ(RecordTimeText(""), "");
}

TEST(Batch, SettingsHashFollowsWhatChangesResultsAndNotTheChannel) {
  BatchSettings base;
  BatchSettings otherChannel = base;
  otherChannel.Channel = 2;
  BatchSettings banded = base;
  banded.Band = EdgesFromCentre(3.0f, 0.5f);
  BatchSettings spc = base;
  spc.Kind = FileKind::Spc51;
  const std::string hash = BatchSettingsHash(base);
  EXPECT_EQ(hash.size(), 12u);
  EXPECT_EQ(hash.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_EQ(BatchSettingsHash(otherChannel), hash);
  EXPECT_NE(BatchSettingsHash(banded), hash);
  EXPECT_NE(BatchSettingsHash(spc), hash);
  EXPECT_NE(BatchSettingsText(base).find(ProgramVersionText()), std::string::npos);
}

}  // namespace
