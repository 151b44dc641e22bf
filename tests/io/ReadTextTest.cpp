// The plain text reader: layouts found as a person reading the file would
// find them, values as ParseDecimal gives them, the rate from the options or
// the time column, and a clear refusal (with the line) for anything else.
#include "io/ReadText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "io/NumberText.h"
#include "io/TextLayout.h"
#include "tests/support/TempDir.h"

namespace {

ReadOptions AtRate(double rate) {
  ReadOptions options;
  options.Rate = rate;
  return options;
}

ReadOptions WithTime(int column) {
  ReadOptions options;
  options.TimeColumn = column;
  return options;
}

std::string Name(const WaveData& record, int k) { return std::string(SlotText(record.Names[k])); }

TEST(TextLayout, IsFoundAsTheFileIsWritten) {
  struct Case {
    const char* what;
    std::string head;
    TextDelimiter delimiter;
    char decimal;
    int skip;
    int columns;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"tabs, two header lines", "Logger 7\nTime\tAcc X\tAcc Y\n0.0\t1.5\t-2\n0.1\t1.25\t3e-2\n0.2\t1\t2\n",
       TextDelimiter::Tab, '.', 2, 3, {"Time", "Acc X", "Acc Y"}},
      {"semicolons and decimal commas", "\"a\";\"b\"\n1,5;-2,25\n3,0;4\n5;6,125\n", TextDelimiter::Semicolon, ',', 1, 2,
       {"a", "b"}},
      {"blanks and decimal commas", "  1,5   2,5\n  3,25  -4\n 7,0 8\n", TextDelimiter::Blanks, ',', 0, 2, {}},
      {"blanks, a date of numbers in the header", "2026 12 07\nt a\n0.0 1.5\n0.5 2.5\n1.0 3.5\n1.5 4.5\n",
       TextDelimiter::Blanks, '.', 2, 2, {"t", "a"}},
      {"commas with blanks and quotes", "x, y, z\n 1.5, \"2.5\", 3\n4, 5.5 ,6\n7,8,9,\n", TextDelimiter::Comma, '.', 1, 3,
       {"x", "y", "z"}},
      // One column: any separator but the comma reads it alike.
      {"a single column of decimal commas", "v\n0,05\n0,10\n-0,15\n", TextDelimiter::Tab, ',', 1, 1, {"v"}},
      {"two integer columns", "1,5\n2,6\n3,7\n", TextDelimiter::Comma, '.', 0, 2, {}},
      {"blank lines before and among the rows", "a b\n\n1 2\n\n3 4\n5 6\n", TextDelimiter::Blanks, '.', 2, 2, {"a", "b"}},
      {"a bad line early is no header", "1.5,2\n3,,4\n5,6\n7,8\n9,10\n", TextDelimiter::Comma, '.', 0, 2, {}},
      {"header names that do not fit", "time acc x\n1 2\n3 4\n5 6\n", TextDelimiter::Blanks, '.', 1, 2, {}},
  };
  for (const Case& c : cases) {
    const TextLayoutResult result = DetectTextLayout(c.head, true, {});
    ASSERT_TRUE(result.Layout.has_value()) << c.what << ": " << result.Message;
    EXPECT_EQ(result.Layout->Delimiter, c.delimiter) << c.what;
    EXPECT_EQ(result.Layout->Decimal, c.decimal) << c.what;
    EXPECT_EQ(result.Layout->Skip, c.skip) << c.what;
    EXPECT_EQ(result.Layout->Columns, c.columns) << c.what;
    EXPECT_EQ(result.Layout->HeaderNames, c.names) << c.what;
  }
  // What the user gives is taken; a cut last line of a head does not count.
  ReadOptions given;
  given.Delimiter = TextDelimiter::Blanks;
  given.Decimal = ',';
  const TextLayoutResult forced = DetectTextLayout("1,5\n2,6\n3,7\n", true, given);
  ASSERT_TRUE(forced.Layout.has_value());
  EXPECT_EQ(forced.Layout->Columns, 1);
  const TextLayoutResult cut = DetectTextLayout("a b\n1 2\n3 4\n5 x", false, {});
  ASSERT_TRUE(cut.Layout.has_value());
  EXPECT_EQ(cut.Layout->Columns, 2);
  EXPECT_FALSE(DetectTextLayout("only words here\nand more\n", true, {}).Layout.has_value());
}

TEST(StrictNumber, TakesOnlyWholeNumbers) {
  EXPECT_EQ(StrictNumber(" -1.25e-1 ", '.'), -0.125);
  EXPECT_EQ(StrictNumber("\"3,5\"", ','), 3.5);
  EXPECT_EQ(StrictNumber(".5", '.'), 0.5);
  EXPECT_EQ(StrictNumber("5.", '.'), 5.0);
  for (const char* bad : {"", " ", "-", "1.5.2", "1,5", "abc", "1e", "1e+", "nan", "inf", "0x1F", "1 2", "--1"}) {
    EXPECT_FALSE(StrictNumber(bad, '.').has_value()) << bad;
  }
}

TEST(RateFromStep, ComesOutAsTheRateTheTimesWereWrittenAt) {
  EXPECT_EQ(RateFromStep(0.0010000000000000009, 3), 1000.0);
  EXPECT_EQ(RateFromStep(0.0390625, 7), 25.6);
  EXPECT_EQ(RateFromStep(0.001953125, 9), 512.0);
  EXPECT_EQ(RateFromStep(2.0, 0), 0.5);
  EXPECT_EQ(RateFromStep(1.0 / 3.0, -1), 3.0);  // nine significant digits
  EXPECT_EQ(RateFromStep(0.333333, 6), 3.000003);
}

class ReadTextTest : public ::testing::Test {
 protected:
  ReadResult Read(const std::string& text, const ReadOptions& options) {
    return ReadText(dir.Write("data.txt", text), options, record);
  }
  TempDir dir;
  WaveData record;
};

TEST_F(ReadTextTest, ReadsALoggerExportWithItsTimeColumn) {
  std::string text = "\xEF\xBB\xBFLogger XY-200\r\nDate\t2026-12-07\r\n\r\nTime\tAcc X\tAcc Y\r\n";
  for (int i = 0; i < 200; ++i) {
    char row[80];
    std::snprintf(row, sizeof row, "%.4f\t%.5f\t%.5f\r\n", i * 0.0025, std::sin(0.7 + i * 0.1), -0.5 * i);
    text += row;
  }
  const ReadResult result = Read(text, WithTime(1));
  ASSERT_TRUE(result.ok()) << result.message;
  EXPECT_TRUE(result.warnings.empty());
  EXPECT_EQ(record.ChannelCount, 2);
  EXPECT_EQ(record.SampleCount, 200);
  EXPECT_EQ(record.Rate, 400.0);
  EXPECT_EQ(record.Dt, static_cast<float>(1.0 / 400.0));
  EXPECT_EQ(Name(record, 0), "Acc X");
  EXPECT_EQ(Name(record, 1), "Acc Y");
  EXPECT_EQ(SlotText(record.Units[0]), "");
  char cell[32];
  std::snprintf(cell, sizeof cell, "%.5f", std::sin(0.7 + 37 * 0.1));
  EXPECT_EQ(record.Samples[0][37], static_cast<float>(ParseDecimal(cell)));
  EXPECT_EQ(record.Samples[1][199], -99.5f);
}

TEST_F(ReadTextTest, RateNamesAndUnitFromTheOptions) {
  ReadOptions options = AtRate(25.6);
  options.Names = {"North"};
  options.Unit = "gal";
  const ReadResult result = Read("n e\n1,5 2\n3 4,25\n", [&] {
    ReadOptions o = options;
    o.Decimal = ',';
    return o;
  }());
  ASSERT_TRUE(result.ok()) << result.message;
  EXPECT_EQ(record.Rate, 25.6);
  EXPECT_EQ(Name(record, 0), "North");
  EXPECT_EQ(Name(record, 1), "e");
  EXPECT_EQ(SlotText(record.Units[1]), "gal");
  EXPECT_EQ(record.Samples[1], (std::vector<float>{2.0f, 4.25f}));
}

TEST_F(ReadTextTest, MoreThanEightChannelsAndAnUnevenTimeColumnAreSaid) {
  std::string text;
  for (int i = 0; i < 5; ++i) {
    text += std::to_string(i * 0.01 + (i >= 3 ? 0.02 : 0.0));  // a gap of two samples
    for (int k = 1; k <= 10; ++k) text += "," + std::to_string(k * 10 + i);
    text += "\n";
  }
  const ReadResult result = Read(text, WithTime(1));
  ASSERT_TRUE(result.ok()) << result.message;
  EXPECT_EQ(record.ChannelCount, 8);
  EXPECT_EQ(record.Samples[7][4], 84.0f);
  EXPECT_EQ(record.Rate, 100.0);
  ASSERT_EQ(result.warnings.size(), 2u);
  EXPECT_EQ(result.warnings[0], ChannelsLeftOutWarning(10));
  EXPECT_NE(result.warnings[1].find("時刻の列の刻みが一定ではありません"), std::string::npos) << result.warnings[1];
}

TEST_F(ReadTextTest, EveryRefusalSaysWhyAndLeavesTheRecord) {
  record.Rate = 7;
  record.Samples[0] = {2.5f};
  ReadOptions both = AtRate(10);
  both.TimeColumn = 1;
  ReadOptions fourthColumn = WithTime(4);
  ReadOptions tooManyNames = AtRate(10);
  tooManyNames.Names = {"a", "b", "c"};
  struct Case {
    std::string text;
    ReadOptions options;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"1 2\n3 4\n", {}, "サンプリング周波数（--rate）か時刻の列（--time-column）"},
      {"1 2\n3 4\n", both, "どちらか一方だけ"},
      {"a b\n1 2\n3 4\n5 6\n7 x\n", AtRate(10), "5 行目は数値の行ではありません：2 列目「x」は数値ではありません。"},
      {"1.5,2\n3,4\n5,6\n7\n", AtRate(10), "4 行目は数値の行ではありません：数値が 1 個しかありません"},
      {"1.5,2\n3,4\n5,6\n7,8,9\n", AtRate(10), "4 行目は数値の行ではありません：数値が 2 個より多くあります"},
      {"1.5,2\n3,,4\n5,6\n7,8\n", AtRate(10), "2 行目は数値の行ではありません：2 列目「」は数値ではありません"},
      {"only words\nhere\n", AtRate(10), "数値の行が見つかりません"},
      {"", AtRate(10), "数値の行が見つかりません"},
      {std::string("\xFF\xFE" "1\0,\0" "2\0", 8), AtRate(10), "テキストファイルではありません"},
      {"1 2\n3 4\n5 6\n", fourthColumn, "時刻の列 4 がありません（このファイルの列は 2 個です）"},
      {"0 1\n1 2\n1 3\n1 4\n", WithTime(1), "刻みの中央値が正ではありません"},
      {"5 1\n", WithTime(1), "2 行以上が必要です"},
      {"1 2\n3 4\n", tooManyNames, "名前が 3 個指定されていますが、チャンネルは 2 個です"},
      {"1 2\n3 4\n", AtRate(1e-9), "0.000001 から 2147483647 まで"},
  };
  for (const Case& c : cases) {
    const ReadResult result = Read(c.text, c.options);
    EXPECT_EQ(result.status, ReadStatus::Refused) << c.text;
    EXPECT_NE(result.message.find(c.message), std::string::npos) << c.text << " gave " << result.message;
    EXPECT_EQ(record.Rate, 7);
    EXPECT_EQ(record.Samples[0], std::vector<float>{2.5f});
  }
  EXPECT_EQ(ReadText(dir.File("missing.txt"), AtRate(10), record).status, ReadStatus::CannotOpen);
}

// A large file is converted in pieces on every core; the rows must be those a
// plain reading of every line gives, and an error in a later piece must name
// its own line.
TEST_F(ReadTextTest, LargeFilesInPiecesGiveEveryRowAndTheRightLine) {
  std::mt19937 engine(11);
  std::string text = "t;a;b\n";
  std::vector<std::array<float, 2>> expected;
  for (int i = 0; i < 50000; ++i) {
    const std::string a = std::to_string(static_cast<int>(engine() % 2000001) - 1000000) + "," +
                          std::to_string(engine() % 100000);
    const std::string b = std::to_string(static_cast<int>(engine() % 200) - 100) + "E-" + std::to_string(engine() % 4);
    text += std::to_string(i) + ";" + a + ";" + b + (i % 1000 == 0 ? "\n\n" : "\n");
    expected.push_back({static_cast<float>(*StrictNumber(a, ',')), static_cast<float>(*StrictNumber(b, ','))});
  }
  ASSERT_TRUE(Read(text, WithTime(1)).ok());
  ASSERT_EQ(record.SampleCount, 50000);
  EXPECT_EQ(record.Rate, 1.0);
  for (int i = 0; i < 50000; ++i) {
    ASSERT_EQ(record.Samples[0][static_cast<std::size_t>(i)], expected[static_cast<std::size_t>(i)][0]) << i;
    ASSERT_EQ(record.Samples[1][static_cast<std::size_t>(i)], expected[static_cast<std::size_t>(i)][1]) << i;
  }
  // Row 40000 is on line 1 + 40000 + 40 + 1 (the header, the rows before it,
  // the blank lines after rows 0, 1000, ... 39000).
  const std::size_t at = text.find("\n40000;") + 1;
  text.replace(at + 6, 1, "x");
  const ReadResult broken = Read(text, WithTime(1));
  EXPECT_EQ(broken.status, ReadStatus::Refused);
  EXPECT_EQ(broken.message.substr(0, broken.message.find(' ')), std::to_string(1 + 40000 + 40 + 1));
}

}  // namespace
