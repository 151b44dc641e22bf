#include "io/WriteCsv.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>

#include "io/ReadCsv.h"
#include "io/ReadSpc51.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/Spc51Builder.h"
#include "tests/support/TempDir.h"

namespace {

WaveData TwoChannels() {
  WaveData record;
  record.ChannelCount = 2;
  record.SampleCount = 2;
  record.Rate = 100;
  CopyToSlot("GL,1F", record.Names[0]);  // a comma inside a name is written as it is
  CopyToSlot("V", record.Names[1]);
  CopyToSlot("gal", record.Units[0]);
  CopyToSlot("kine", record.Units[1]);
  record.Samples[0] = {-32.75f, 1.0f};
  record.Samples[1] = {0.0000004f, -0.0000006f};
  return record;
}

TEST(WriteCsv, WritesTheStandardFormatWithCrLf) {
  TempDir dir;
  const std::string path = dir.File("out.csv");
  ASSERT_TRUE(WriteCsv(path, TwoChannels()).ok);
  EXPECT_EQ(TempDir::Read(path),
            "GL,1F,V\r\n100,s\r\nMEMO1,MEMO2\r\ngal,kine\r\n"
            "-32.750000,0.000000\r\n1.000000,-0.000001\r\n");
}

TEST(WriteCsv, OneChannelWritesOneCellPerLine) {
  TempDir dir;
  WaveData record = TwoChannels();
  record.ChannelCount = 1;
  ASSERT_TRUE(WriteCsv(dir.File("one.csv"), record).ok);
  EXPECT_EQ(TempDir::Read(dir.File("one.csv")), "GL,1F\r\n100,s\r\nMEMO1\r\ngal\r\n-32.750000\r\n1.000000\r\n");
}

TEST(WriteCsv, Spc51RecordReadsBackAsTheSameRecordRoundedToSixDecimals) {
  TempDir dir;
  Spc51Builder file;
  file.sampleCount = 3000;
  file.channelCount = 4;
  file.rate = 250;
  file.channels = {{"A1", "gal", 0.0013f}, {"B2", "kine", 0.00007f}, {"C3", "gal", 1.5f}, {"D4", "cm", 0.002f}};
  for (int i = 0; i < 3000 * 4; ++i) file.frames.push_back(static_cast<std::int16_t>((i * 7919) % 65536 - 32768));
  WaveData original;
  ASSERT_TRUE(ReadSpc51(dir.Write("in.dbl", file.Bytes()), original).ok());

  const std::string csv = dir.File("out.csv");
  ASSERT_TRUE(WriteCsv(csv, original).ok);
  WaveData back;
  ASSERT_TRUE(ReadCsv(csv, back).ok());
  EXPECT_EQ(back.ChannelCount, 4);
  EXPECT_EQ(back.SampleCount, 3000);
  EXPECT_EQ(back.Rate, 250);
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(SlotText(back.Names[k]), SlotText(original.Names[k]));
    EXPECT_EQ(SlotText(back.Units[k]), SlotText(original.Units[k]));
    for (int i = 0; i < 3000; ++i) {
      const double value = original.Samples[k][i];
      EXPECT_NEAR(back.Samples[k][i], value, 5e-7 + std::abs(value) * 1e-7) << k << " " << i;
    }
  }

  // A name holding a comma reads back as one more channel.
  ASSERT_TRUE(WriteCsv(csv, TwoChannels()).ok);
  ASSERT_TRUE(ReadCsv(csv, back).ok());
  EXPECT_EQ(back.ChannelCount, 3);
}

// Names and units are the data file's own bytes: copied as they are, even
// Shift-JIS that happens to be valid UTF-8 (half-width "ﾂｰ" is 0xC2 0xB0, the
// UTF-8 of "°"). Only control characters are replaced, so a name cannot add a
// header line.
TEST(WriteCsv, NamesAndUnitsAreCopiedByteForByte) {
  TempDir dir;
  WaveData record = TwoChannels();
  CopyToSlot("測定", record.Names[0]);                // UTF-8 from a UTF-8 file: stays UTF-8
  CopyToSlot("\x91\xAA\x93\x5F", record.Names[1]);  // Shift-JIS
  CopyToSlot("\xC2\xB0", record.Units[0]);           // Shift-JIS ﾂｰ
  CopyToSlot("m\r\n9,s", record.Units[1]);
  ASSERT_TRUE(WriteCsv(dir.File("out.csv"), record).ok);
  const std::string expected = "測定,\x91\xAA\x93\x5F\r\n100,s\r\nMEMO1,MEMO2\r\n\xC2\xB0,m??9,s\r\n-32.750000";
  EXPECT_EQ(TempDir::Read(dir.File("out.csv")).substr(0, expected.size()), expected);
}

TEST(WriteCsv, FailuresLeaveNoPartialAndNoTemporaryFile) {
  TempDir dir;
  const WriteResult missing = WriteCsv(dir.File("no/such/folder/out.csv"), TwoChannels());
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(missing.message,
            "CSVファイル「" + dir.File("no/such/folder/out.csv") + "」を作成できません：ファイルまたはフォルダが見つかりません。");

  // A disk that takes 100 bytes: the earlier file stays as it was.
  const std::string path = dir.Write("out.csv", "earlier contents");
  WaveData record = TwoChannels();
  record.SampleCount = 100;
  record.Samples[0].assign(100, 1.5f);
  record.Samples[1].assign(100, 2.5f);
  const WriteResult full = [&] {
    FileSizeLimit limit(100);
    return WriteCsv(path, record);
  }();
  EXPECT_FALSE(full.ok);
  EXPECT_EQ(full.message, "CSVファイル「" + path + "」に書き込めません：ファイルが大きすぎます。");
  EXPECT_EQ(TempDir::Read(path), "earlier contents");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

  // Written in full, it replaces the earlier file and keeps its permissions.
  std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  ASSERT_TRUE(WriteCsv(path, record).ok);
  EXPECT_EQ(TempDir::Read(path).substr(0, 7), "GL,1F,V");
  EXPECT_EQ(std::filesystem::status(path).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(WithDefaultExtension, AddsTheExtensionOnlyToNamesWithoutOne) {
  EXPECT_EQ(WithDefaultExtension("data", ".csv"), "data.csv");
  EXPECT_EQ(WithDefaultExtension("data.txt", ".csv"), "data.txt");
  EXPECT_EQ(WithDefaultExtension("/home/u/run.v2/data", ".csv"), "/home/u/run.v2/data.csv");
  EXPECT_EQ(WithDefaultExtension("/home/u/view", ".png"), "/home/u/view.png");
}

}  // namespace
