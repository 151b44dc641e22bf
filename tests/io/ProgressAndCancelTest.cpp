// Long reads and the CSV conversion report how far they are and stop when
// asked, leaving the loaded record and the files as they were.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "io/ReadCsv.h"
#include "io/ReadSpc51.h"
#include "io/WriteCsv.h"
#include "tests/support/ProgressProbe.h"
#include "tests/support/Spc51Builder.h"
#include "tests/support/TempDir.h"

namespace {

// About 6 MB: read in pieces by several threads, the first piece alone large
// enough for several reports. Blank and short lines among full ones, so that
// carried cells cross the checks and the pieces.
constexpr int kLargeCsvLines = 300000;

std::string LargeCsv() {
  std::string text = "A,B,C\n250,s\nmemo\nu,v,w\n";
  for (int i = 0; i < kLargeCsvLines; ++i) {
    if (i % 17 == 0) {
      text += "\n";
    } else if (i % 5 == 0) {
      text += std::to_string(i % 101) + ".5\n";
    } else {
      text += std::to_string(i) + ".125," + std::to_string(-i % 977) + "e-3," + std::to_string(i % 31) + "\n";
    }
  }
  return text;
}

std::vector<unsigned char> LargeSpc51() {
  Spc51Builder file;
  file.sampleCount = 400000;
  file.channelCount = 2;
  file.rate = 500;
  file.channels = {{"X", "gal", 0.001f}, {"Y", "kine", 0.002f}};
  file.frames.resize(2 * 400000);
  for (std::size_t i = 0; i < file.frames.size(); ++i) {
    file.frames[i] = static_cast<std::int16_t>(20000.0 * std::sin(0.0037 * static_cast<double>(i)));
  }
  return file.Bytes();
}

void ExpectSameRecord(const WaveData& actual, const WaveData& expected) {
  EXPECT_EQ(actual.ChannelCount, expected.ChannelCount);
  EXPECT_EQ(actual.SampleCount, expected.SampleCount);
  EXPECT_EQ(actual.Rate, expected.Rate);
  EXPECT_EQ(actual.Names, expected.Names);
  EXPECT_EQ(actual.Units, expected.Units);
  EXPECT_EQ(actual.Scales, expected.Scales);
  EXPECT_TRUE(actual.Samples == expected.Samples);
  EXPECT_TRUE(actual.RawCounts == expected.RawCounts);
}

class LongWork : public ::testing::Test {
 protected:
  void SetUp() override {
    csvPath = dir.Write("large.csv", LargeCsv());
    dblPath = dir.Write("large.dbl", LargeSpc51());
    ASSERT_TRUE(ReadCsv(dir.Write("loaded.csv", "P\n100,s\nm\ncm\n1.5\n-2.25\n"), loaded).ok());
  }
  ReadResult Read(bool csv, WaveData& record, const Progress* progress = nullptr) {
    return csv ? ReadCsv(csvPath, record, progress) : ReadSpc51(dblPath, record, progress);
  }

  TempDir dir;
  std::string csvPath;
  std::string dblPath;
  WaveData loaded;
};

TEST_F(LongWork, ReadsReportUpToOneAndGiveTheRecordReadWithoutProgress) {
  for (const bool csv : {true, false}) {
    SCOPED_TRACE(csv ? "CSV" : "SPC-51");
    WaveData plain;
    ASSERT_TRUE(Read(csv, plain).ok());
    ProgressProbe probe;
    WaveData reported;
    ASSERT_TRUE(Read(csv, reported, probe.get()).ok());
    probe.ExpectCompleted(5);
    ExpectSameRecord(reported, plain);
  }
}

TEST_F(LongWork, ACancelledReadLeavesTheLoadedRecordAsItWas) {
  for (const bool csv : {true, false}) {
    WaveData plain;
    ProgressProbe whole;
    ASSERT_TRUE(Read(csv, plain, whole.get()).ok());
    const int reports = static_cast<int>(whole.reports.size());
    // The first report and later ones. The SPC-51 reader reports the same in
    // every run, up to the last before the end; the CSV reader's reports
    // depend on how its threads share the pieces, but its first piece alone
    // makes more than three.
    const std::vector<int> stops = csv ? std::vector<int>{1, 3} : std::vector<int>{1, reports / 2, reports - 1};
    for (const int stopAt : stops) {
      SCOPED_TRACE(std::string(csv ? "CSV" : "SPC-51") + ", stopped at report " + std::to_string(stopAt));
      WaveData record = loaded;
      ProgressProbe probe(stopAt);
      const ReadResult result = Read(csv, record, probe.get());
      EXPECT_EQ(result.status, ReadStatus::Cancelled);
      EXPECT_EQ(result.message, "");
      ExpectSameRecord(record, loaded);
      ASSERT_FALSE(probe.reports.empty());
      EXPECT_LT(probe.reports.back(), 1.0);
    }
  }
}

TEST_F(LongWork, ACancelledConversionLeavesNoFileAndAnEarlierOneAsItWas) {
  WaveData record;
  ASSERT_TRUE(ReadSpc51(dblPath, record).ok());
  const std::string earlier = dir.Write("earlier.csv", "earlier contents");
  ProgressProbe whole;
  ASSERT_TRUE(WriteCsv(dir.File("whole.csv"), record, whole.get()).ok);
  whole.ExpectCompleted(5);
  std::filesystem::remove(dir.File("whole.csv"));
  for (const int stopAt : {1, static_cast<int>(whole.reports.size()) - 1}) {
    for (const std::string& target : {earlier, dir.File("new.csv")}) {
      SCOPED_TRACE(target + ", stopped at report " + std::to_string(stopAt));
      ProgressProbe probe(stopAt);
      const WriteResult result = WriteCsv(target, record, probe.get());
      EXPECT_FALSE(result.ok);
      EXPECT_TRUE(result.cancelled);
      EXPECT_EQ(result.message, "");
      EXPECT_EQ(TempDir::Read(earlier), "earlier contents");
      EXPECT_FALSE(std::filesystem::exists(dir.File("new.csv")));
      // large.csv, large.dbl, loaded.csv, earlier.csv: no temporary file left.
      EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 4);
    }
  }

  ASSERT_TRUE(WriteCsv(earlier, record).ok);
  WaveData back;
  ASSERT_TRUE(ReadCsv(earlier, back).ok());
  EXPECT_EQ(back.SampleCount, record.SampleCount);
  EXPECT_FLOAT_EQ(back.Samples[1][12345], record.Samples[1][12345]);
}

}  // namespace
