#include "io/ReadCsv.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <ctime>
#include <string>

#include "io/MyStr.h"
#include "io/NumberText.h"
#include "tests/support/TempDir.h"

namespace {

class ReadCsvTest : public ::testing::Test {
 protected:
  ReadResult Read(const std::string& text) { return ReadCsv(dir.Write("data.csv", text), record); }
  std::string Name(int k) const { return std::string(SlotText(record.Names[k])); }
  std::string Unit(int k) const { return std::string(SlotText(record.Units[k])); }
  float At(int k, int i) const { return record.Samples[k][static_cast<std::size_t>(i)]; }

  TempDir dir;
  WaveData record;
};

TEST_F(ReadCsvTest, ReadsHeaderAndSamples) {
  const ReadResult result = Read("P1,P2\n100,s\nmemo\ncm/s2,gal\n1.5,-2\n3,4e2\n");
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(record.ChannelCount, 2);
  EXPECT_EQ(record.SampleCount, 2);
  EXPECT_EQ(result.sliderMax, 2);
  EXPECT_EQ(record.Rate, 100);
  EXPECT_EQ(Name(0), "P1");
  EXPECT_EQ(Name(1), "P2");
  EXPECT_EQ(Unit(0), "cm/s2");
  EXPECT_EQ(Unit(1), "gal");
  EXPECT_EQ(At(0, 0), 1.5f);
  EXPECT_EQ(At(1, 0), -2.0f);
  EXPECT_EQ(At(0, 1), 3.0f);
  EXPECT_EQ(At(1, 1), 400.0f);
  EXPECT_EQ(record.Samples[0].size(), 2u);
}

TEST_F(ReadCsvTest, CarriageReturnsBeforeLineFeedsAreDropped) {
  ASSERT_TRUE(Read("A,B\r\n50,s\r\nm\r\nu1,u2 \r\n1,2\r\n").ok());
  EXPECT_EQ(Name(1), "B");
  EXPECT_EQ(Unit(1), "u2 ");
  EXPECT_EQ(record.Rate, 50);
  EXPECT_EQ(At(1, 0), 2.0f);
}

TEST_F(ReadCsvTest, TenNameCellsGiveEightChannels) {
  ASSERT_TRUE(Read("1,2,3,4,5,6,7,8,9,10\n10\nm\nu\n1,2,3,4,5,6,7,8,9,10\n").ok());
  EXPECT_EQ(record.ChannelCount, 8);
  EXPECT_EQ(Name(7), "8");
  EXPECT_EQ(At(7, 0), 8.0f);
}

// The rate is the decimal number at the start of line 2's first cell; a whole
// rate reads as before, and a fractional one is no longer cut to its integer
// part (25.6 /s read as 25 put every frequency 2.4 % off).
TEST_F(ReadCsvTest, RateIsTheDecimalNumberOfTheFirstCell) {
  struct Case {
    std::string line;
    double rate;
  };
  const Case cases[] = {
      {"1000", 1000.0},    {"1000,s", 1000.0},   {"1000.5,s", 1000.5},  {"25.6,s", 25.6},  {"51.2,s", 51.2},
      {"12.8", 12.8},      {"0.5,s", 0.5},       {"  100 ,s", 100.0},   {"100abc,s", 100.0}, {"2e3,s", 2000.0},
      {".25,s", 0.25},     {"0.000001,s", 1e-6}, {"2147483647", 2147483647.0},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(Read("A\n" + c.line + "\nm\nu\n1.5\n").ok()) << c.line;
    EXPECT_EQ(record.Rate, c.rate) << c.line;
    EXPECT_EQ(record.Dt, static_cast<float>(1.0 / c.rate)) << c.line;
  }
  // A whole rate is written back as it always was.
  ASSERT_TRUE(Read("A\n200,s\nm\nu\n").ok());
  EXPECT_EQ(RateText(record.Rate), "200");
  ASSERT_TRUE(Read("A\n25.6,s\nm\nu\n").ok());
  EXPECT_EQ(RateText(record.Rate), "25.6");
}

TEST_F(ReadCsvTest, CellsAreBlankTrimmedInFrontOnlyAndNonNumbersReadAsZero) {
  ASSERT_TRUE(Read(" N1 , N2 \n10\nm\n V , W \n -1.25e-1 ,abc\n").ok());
  EXPECT_EQ(Name(0), " N1 ");
  EXPECT_EQ(Name(1), " N2 ");
  EXPECT_EQ(Unit(0), "V ");
  EXPECT_EQ(Unit(1), "W ");
  EXPECT_EQ(At(0, 0), -0.125f);
  EXPECT_EQ(At(1, 0), 0.0f);
}

TEST_F(ReadCsvTest, ShortLinesRepeatTheCellsOfEarlierLines) {
  // Row 3 has one cell: channel 2 keeps row 2's value. The unit line has one
  // cell: channel 2's unit comes from line 2. A trailing blank line repeats the
  // last row in every channel.
  ASSERT_TRUE(Read("A,B\n100,s\nm\ngal\n1,10\n2,20\n3\n\n").ok());
  EXPECT_EQ(Unit(1), "s");
  ASSERT_EQ(record.SampleCount, 4);
  EXPECT_EQ(At(0, 2), 3.0f);
  EXPECT_EQ(At(1, 2), 20.0f);
  EXPECT_EQ(At(0, 3), 3.0f);
  EXPECT_EQ(At(1, 3), 20.0f);
}

TEST_F(ReadCsvTest, ExactlyFourLinesGiveAnEmptyRecord) {
  ASSERT_TRUE(Read("A\n100\nm\nu\n").ok());
  EXPECT_EQ(record.SampleCount, 0);
  EXPECT_TRUE(record.Samples[0].empty());
}

TEST_F(ReadCsvTest, LinesOverMaxReadAreTakenAsSeveralLines) {
  // 2500 characters: 1999 in the first read, the rest (with the line feed) in the next.
  const std::string longLine = "7," + std::string(1997, 'x') + "9,11\n";
  ASSERT_EQ(longLine.size(), 2004u);
  ASSERT_TRUE(Read("A,B\n100\nm\nu,v\n" + longLine).ok());
  ASSERT_EQ(record.SampleCount, 2);
  EXPECT_EQ(At(0, 0), 7.0f);
  EXPECT_EQ(At(1, 0), 0.0f);
  EXPECT_EQ(At(0, 1), 9.0f);
  EXPECT_EQ(At(1, 1), 11.0f);
}

TEST_F(ReadCsvTest, LineOfExactlyMaxReadCharactersLeavesItsLineFeedAsABlankLine) {
  const std::string line = "5" + std::string(1998, ' ') + "\n";  // 1999 characters and a line feed
  ASSERT_TRUE(Read("A\n100\nm\nu\n" + line).ok());
  ASSERT_EQ(record.SampleCount, 2);
  EXPECT_EQ(At(0, 1), 5.0f);
  // With CR LF the carriage return does not count.
  ASSERT_TRUE(Read("A\n100\nm\nu\n" + std::string("6") + std::string(1997, ' ') + "\r\n").ok());
  EXPECT_EQ(record.SampleCount, 1);
}

TEST_F(ReadCsvTest, NulInsideALineEndsItsCells) {
  ASSERT_TRUE(Read(std::string("A,B\n100\nm\nu,v\n1,2\n3\0,4\n", 23)).ok());
  ASSERT_EQ(record.SampleCount, 2);
  EXPECT_EQ(At(0, 1), 3.0f);
  EXPECT_EQ(At(1, 1), 2.0f);
}

TEST_F(ReadCsvTest, LongTextsAreCutToTheirSlotsWithoutSplittingCharacters) {
  const std::string name40(40, 'n');
  // 30 single bytes, then a two-byte Shift-JIS character: it would end at byte 32.
  const std::string sjis = std::string(30, 'a') + "\x83\xD6";
  // 29 bytes, then a three-byte UTF-8 character that would end at byte 32.
  const std::string utf8 = std::string(29, 'b') + "\xE6\xB8\x9B";
  const std::string unit25(25, 'u');
  ASSERT_TRUE(Read(name40 + "," + sjis + "," + utf8 + "\n100\nm\n" + unit25 + "\n").ok());
  EXPECT_EQ(Name(0), std::string(31, 'n'));
  EXPECT_EQ(Name(1), std::string(30, 'a'));
  EXPECT_EQ(Name(2), std::string(29, 'b'));
  EXPECT_EQ(Unit(0), std::string(19, 'u'));
}

TEST_F(ReadCsvTest, TimeLabelIsTheModificationTimeInEvenSeconds) {
  const std::string path = dir.Write("t.csv", "A\n100\nm\nu\n");
  const char* oldTz = std::getenv("TZ");
  const std::string savedTz = oldTz != nullptr ? oldTz : "";
  setenv("TZ", "UTC", 1);
  tzset();
  utimbuf times{1796637601, 1796637601};  // 2026-12-07 10:00:01 UTC
  ASSERT_EQ(utime(path.c_str(), &times), 0);
  const ReadResult result = ReadCsv(path, record);
  if (oldTz != nullptr) setenv("TZ", savedTz.c_str(), 1); else unsetenv("TZ");
  tzset();
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.timeLabel, "2026/12/07 10:00:00");
}

TEST_F(ReadCsvTest, RefusalsLeaveTheLoadedRecordIntact) {
  ASSERT_TRUE(Read("Keep,Me\n200,s\nm\nx,y\n1,2\n3,4\n5,6\n").ok());
  const WaveData before = record;

  struct Bad {
    std::string text;
    ReadStatus status;
  };
  const std::vector<Bad> cases = {
      {"", ReadStatus::Refused},
      {"\n", ReadStatus::Refused},
      {"A\n100\nm\n", ReadStatus::Refused},                 // three lines
      {"A\r100\rm\ru\r1\r2\r", ReadStatus::Refused},         // carriage returns only: one line
      {"A\n0\nm\nu\n1\n", ReadStatus::Refused},              // rate 0
      {"A\n-5\nm\nu\n1\n", ReadStatus::Refused},             // negative rate
      {"A\nabc\nm\nu\n1\n", ReadStatus::Refused},            // no digits
      {"A\n99999999999\nm\nu\n1\n", ReadStatus::Refused},    // beyond a 32-bit rate
      {std::string("\0,B\n100\nm\nu\n1\n", 14), ReadStatus::Refused},  // no names
  };
  for (const Bad& bad : cases) {
    const ReadResult result = Read(bad.text);
    EXPECT_EQ(result.status, bad.status) << bad.text;
    EXPECT_FALSE(result.message.empty());
    EXPECT_EQ(record.ChannelCount, 2);
    EXPECT_EQ(record.SampleCount, 3);
    EXPECT_EQ(record.Rate, 200);
    EXPECT_EQ(Name(0), "Keep");
    EXPECT_EQ(record.Samples[1], before.Samples[1]);
  }

  const ReadResult missing = ReadCsv(dir.File("no-such-file.csv"), record);
  EXPECT_EQ(missing.status, ReadStatus::CannotOpen);
  EXPECT_EQ(missing.message, "ファイルが開けません");
  EXPECT_EQ(missing.title, "ファイルオープンエラー");
  EXPECT_EQ(ReadCsv(dir.path(), record).status, ReadStatus::CannotOpen);
  EXPECT_EQ(record.Samples[0], before.Samples[0]);
}

TEST_F(ReadCsvTest, ManyLinesAndCellsAreReadWhole) {
  std::string text = "A,B,C\n1000,s\nm\nu,v,w\n";
  for (int i = 0; i < 20000; ++i) {
    text += std::to_string(i) + "," + std::to_string(-i) + ".5," + std::to_string(i % 7) + "e-3\n";
  }
  // 10 000 empty cells: 10 001 characters with the line feed, taken as six reads.
  text += std::string(10000, ',') + "\n";
  ASSERT_TRUE(Read(text).ok());
  ASSERT_EQ(record.SampleCount, 20006);
  EXPECT_EQ(At(0, 19999), 19999.0f);
  EXPECT_EQ(At(1, 12345), -12345.5f);
  EXPECT_EQ(At(2, 6), 6e-3f);
  EXPECT_EQ(At(0, 20005), 0.0f);  // empty cells overwrite the carried ones
}

}  // namespace

namespace {

// The value split of data lines must find exactly the cells SplitLine finds
// and convert them as data cells.
TEST(SplitLineValues, AgreesWithSplitLineOnAnyLine) {
  std::mt19937 engine(1234);
  const std::string pieces[] = {"1.5", "-2e3", " ", "\t", ",", ",,", "abc", "+.5", "1e", "\n", "3.25 ",
                                "-0", "x1", "12345678901234567890", "9.9e-999", "7e400", std::string(1100, '4'),
                                std::string(1, '\0'), "\r", "\"q\"", "0.000001"};
  for (int trial = 0; trial < 20000; ++trial) {
    std::string line;
    const int parts = static_cast<int>(engine() % 14);
    for (int p = 0; p < parts; ++p) line += pieces[engine() % std::size(pieces)];
    const int wanted = 1 + static_cast<int>(engine() % 8);

    CellArray cells;
    float expected[kMaxCells];
    float actual[kMaxCells];
    for (int k = 0; k < kMaxCells; ++k) expected[k] = actual[k] = static_cast<float>(k) + 0.5f;
    const int count = SplitLine(line, cells);
    for (int k = 0; k < std::min(count, wanted); ++k) {
      expected[k] = static_cast<float>(ParseDecimal(cells[k].View()));
    }
    SplitLineValues(line, actual, wanted);
    for (int k = 0; k < wanted; ++k) {
      ASSERT_EQ(std::memcmp(&expected[k], &actual[k], sizeof(float)), 0) << "line '" << line << "' cell " << k;
    }
  }
}

}  // namespace

namespace {

// Large files are converted in two halves at once; short and blank lines at
// the start of the second half must still carry the values of the first.
TEST(ReadCsvLarge, TwoHalvesGiveTheSameRecordAsOneSequentialSplit) {
  std::mt19937 engine(99);
  std::string text = "A,B,C\n100,s\nm\nu,v\n";  // the unit line has two cells
  std::vector<std::string> lines;
  for (int i = 0; i < 60000; ++i) {
    const int kind = static_cast<int>(engine() % 10);
    std::string line;
    if (kind == 0) line = "";                                  // blank: repeats the row
    else if (kind == 1) line = std::to_string(i);              // one cell
    else if (kind == 2) line = ",," + std::to_string(-i);      // two empty cells, then a value
    else line = std::to_string(i) + ".25," + std::to_string(i % 97) + "e-2,x" + std::to_string(i);
    lines.push_back(line);
  }
  // A run of one-cell lines across the middle, where the second half begins.
  for (int i = 29000; i < 31500; ++i) lines[static_cast<std::size_t>(i)] = std::to_string(i % 13);
  for (const std::string& line : lines) text += line + "\n";

  // Reference: the plain shared-cell-array reading.
  CellArray cells;
  SplitNameLine("A,B,C\n", cells);
  SplitLine("100,s\n", cells);
  SplitLine("u,v\n", cells);
  std::vector<std::array<float, 3>> expected;
  for (const std::string& line : lines) {
    SplitLine(line + "\n", cells);
    expected.push_back({static_cast<float>(ParseDecimal(cells[0].View())),
                        static_cast<float>(ParseDecimal(cells[1].View())),
                        static_cast<float>(ParseDecimal(cells[2].View()))});
  }

  TempDir dir;
  WaveData record;
  ASSERT_TRUE(ReadCsv(dir.Write("big.csv", text), record).ok());
  ASSERT_EQ(record.SampleCount, 60000);
  EXPECT_EQ(SlotText(record.Units[2]), "C");  // from line 1, through line 2's two cells
  for (int i = 0; i < 60000; ++i) {
    for (int k = 0; k < 3; ++k) {
      ASSERT_EQ(record.Samples[k][static_cast<std::size_t>(i)], expected[static_cast<std::size_t>(i)][k])
          << "row " << i << " channel " << k;
    }
  }
}

}  // namespace

namespace {

// A large file is cut into pieces read in any order; a channel without a cell
// of its own for longer than a piece takes its value from pieces before.
TEST(ReadCsvLarge, ValuesCarryAcrossPiecesWithoutCells) {
  std::string text = "A,B,C\n100,s\nm\nu,v,w\n";
  std::vector<std::string> lines;
  for (int i = 0; i < 90000; ++i) {
    if (i >= 30000 && i < 60000) {
      lines.push_back(i % 7 == 0 ? "" : std::to_string(i % 1000) + ".5");  // one cell, or none
    } else {
      lines.push_back(std::to_string(i) + ".25," + std::to_string(-i) + "e-3," + std::to_string(i % 89));
    }
  }
  CellArray cells;
  SplitNameLine("A,B,C\n", cells);
  SplitLine("100,s\n", cells);
  SplitLine("u,v,w\n", cells);
  std::vector<std::array<float, 3>> expected;
  for (const std::string& line : lines) {
    text += line + "\n";
    SplitLine(line + "\n", cells);
    expected.push_back({static_cast<float>(ParseDecimal(cells[0].View())),
                        static_cast<float>(ParseDecimal(cells[1].View())),
                        static_cast<float>(ParseDecimal(cells[2].View()))});
  }

  TempDir dir;
  WaveData record;
  ASSERT_TRUE(ReadCsv(dir.Write("pieces.csv", text), record).ok());
  ASSERT_EQ(record.SampleCount, 90000);
  EXPECT_EQ(record.Samples[2][45000], 29999 % 89);  // carried over a third of the file
  for (int i = 0; i < 90000; ++i) {
    for (int k = 0; k < 3; ++k) {
      ASSERT_EQ(record.Samples[k][static_cast<std::size_t>(i)], expected[static_cast<std::size_t>(i)][k])
          << "row " << i << " channel " << k;
    }
  }
}

}  // namespace

namespace {

// Files written with the decimal comma: a first line with ';' and no ','.
TEST(ReadCsvDialect, SemicolonsSeparateAndCommasMarkDecimals) {
  TempDir dir;
  WaveData record;
  const ReadResult result =
      ReadCsv(dir.Write("de.csv", "Weg;Kraft\r\n25,6;s\r\nmemo, mit Komma\r\nmm;kN, gesamt\r\n1,7641;-0,5\r\n"
                                  "-12,25;3\r\n;4,125\r\n2.5;7,\r\n"),
              record);
  ASSERT_TRUE(result.ok()) << result.message;
  EXPECT_EQ(record.ChannelCount, 2);
  EXPECT_EQ(SlotText(record.Names[1]), "Kraft");
  EXPECT_EQ(record.Rate, 25.6);
  EXPECT_EQ(SlotText(record.Units[1]), "kN, gesamt");  // a comma is text in a unit
  ASSERT_EQ(record.SampleCount, 4);
  EXPECT_EQ(record.Samples[0], (std::vector<float>{1.7641f, -12.25f, 0.0f, 2.0f}));  // '.' ends a number here
  EXPECT_EQ(record.Samples[1], (std::vector<float>{-0.5f, 3.0f, 4.125f, 7.0f}));
  // A first line with both marks stays a comma file: "A;B" is one name.
  ASSERT_TRUE(ReadCsv(dir.Write("both.csv", "A;B,C\n100\nm\nu,v\n1.5,2\n"), record).ok());
  EXPECT_EQ(record.ChannelCount, 2);
  EXPECT_EQ(SlotText(record.Names[0]), "A;B");
  EXPECT_EQ(record.Samples[0][0], 1.5f);
}

TEST(ReadCsvDialect, LargeSemicolonFileGivesTheSameSamplesAsItsCommaTwin) {
  std::string comma = "A,B,C\n200,s\nm\nu,v,w\n";
  std::string semicolon = "A;B;C\n200;s\nm\nu;v;w\n";
  std::mt19937 engine(5);
  for (int i = 0; i < 40000; ++i) {
    char row[96];
    std::snprintf(row, sizeof row, "%.5f,%.3f,%d\n", (static_cast<int>(engine() % 2000000) - 1000000) / 1e5,
                  (static_cast<int>(engine() % 200000) - 100000) / 1e3, static_cast<int>(engine() % 100));
    comma += row;
    std::string swapped = row;
    for (char& c : swapped) c = c == ',' ? ';' : c == '.' ? ',' : c;
    semicolon += swapped;
  }
  TempDir dir;
  WaveData expected;
  WaveData actual;
  ASSERT_TRUE(ReadCsv(dir.Write("c.csv", comma), expected).ok());
  ASSERT_TRUE(ReadCsv(dir.Write("s.csv", semicolon), actual).ok());
  EXPECT_EQ(actual.SampleCount, 40000);
  EXPECT_EQ(actual.Samples, expected.Samples);
}

TEST(ReadCsvChannels, MoreThanEightNamedChannelsLoadTheFirstEightWithAWarning) {
  struct Case {
    std::string names;
    std::vector<std::string> warnings;
  };
  const Case cases[] = {
      {"1,2,3,4,5,6,7,8", {}},
      {"1,2,3,4,5,6,7,8,", {}},  // a separator at the end names nothing
      {"1,2,3,4,5,6,7,8, , ", {}},
      {"1,2,3,4,5,6,7,8,9", {"9 チャンネルのうち 1〜8 を読み込みました（読み込めるのは 8 チャンネルまでです）。"}},
      {"a;b;c;d;e;f;g;h;i;j;k;l", {"12 チャンネルのうち 1〜8 を読み込みました（読み込めるのは 8 チャンネルまでです）。"}},
  };
  TempDir dir;
  for (const Case& c : cases) {
    WaveData record;
    const char separator = c.names.find(';') != std::string::npos ? ';' : ',';
    std::string row;
    for (int k = 1; k <= 12; ++k) row += std::to_string(k) + (k < 12 ? std::string(1, separator) : "\n");
    const ReadResult result = ReadCsv(dir.Write("n.csv", c.names + "\n100\nm\nu\n" + row), record);
    ASSERT_TRUE(result.ok()) << c.names;
    EXPECT_EQ(record.ChannelCount, 8) << c.names;
    EXPECT_EQ(record.Samples[7], std::vector<float>{8.0f}) << c.names;
    EXPECT_EQ(result.warnings, c.warnings) << c.names;
  }
}

// A file that changes while it is read is refused, whether it was read into
// memory at once or in blocks by both passes, and the loaded record stays.
TEST(ReadCsvChanges, AFileTruncatedOrRewrittenWhileReadIsRefused) {
  struct Limit {
    explicit Limit(unsigned long long bytes) { SetCsvWholeFileLimit(bytes); }
    ~Limit() { SetCsvWholeFileLimit(32ULL << 20); }
  };
  std::string text = "A,B\n100,s\nm\nu,v\n";
  for (int i = 0; i < 60000; ++i) text += std::to_string(i) + ".5," + std::to_string(-i) + "\n";
  TempDir dir;
  const std::string path = dir.Write("live.csv", text);
  for (const unsigned long long limit : {32ULL << 20, 0ULL}) {
    const Limit inBlocks(limit);
    for (const bool truncate : {true, false}) {
      SCOPED_TRACE(std::string(limit == 0 ? "in blocks, " : "in memory, ") + (truncate ? "truncated" : "rewritten"));
      dir.Write("live.csv", text);
      WaveData record;
      record.Rate = 7;
      bool changed = false;
      Progress progress;
      progress.Report = [&](double fraction) {
        if (changed || fraction < 0.3) return;
        changed = true;
        // Half the file and a line cut in two, or the same size rewritten.
        std::string now = truncate ? text.substr(0, text.size() / 2 + 3) : text;
        if (!truncate) now[now.size() - 3] = '9';
        dir.Write("live.csv", now);
      };
      const ReadResult result = ReadCsv(path, record, &progress);
      ASSERT_TRUE(changed);
      EXPECT_EQ(result.status, ReadStatus::Refused);
      EXPECT_NE(result.message.find("変更されました"), std::string::npos) << result.message;
      EXPECT_EQ(record.Rate, 7);
      EXPECT_TRUE(record.Samples[0].empty());
    }
    // Unchanged, the same file reads whole.
    dir.Write("live.csv", text);
    WaveData record;
    ASSERT_TRUE(ReadCsv(path, record).ok());
    EXPECT_EQ(record.SampleCount, 60000);
    EXPECT_EQ(record.Samples[1][59999], -59999.0f);
  }
}

}  // namespace
