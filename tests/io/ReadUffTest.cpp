// The universal file reader on files written from the format's description:
// time records in ASCII and binary (either byte order, single and double)
// become channels with the rate of their increment, other data sets are
// passed over, and files it cannot read right are refused.
#include "io/ReadUff.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "tests/support/UffBuilder.h"

namespace {

// A free decay of 3.7 Hz, damping 0.04, phase 0.7, sampled at `rate`.
std::vector<double> Decay(int count, double rate, double amplitude) {
  std::vector<double> values;
  const double wn = 2 * std::numbers::pi * 3.7;
  for (int i = 0; i < count; ++i) {
    const double t = i / rate;
    values.push_back(amplitude * std::exp(-0.04 * wn * t) * std::cos(wn * std::sqrt(1 - 0.04 * 0.04) * t + 0.7));
  }
  return values;
}

UffDataSet Channel(const std::string& name, double rate, double amplitude, int count = 300) {
  UffDataSet set;
  set.name = name;
  set.increment = 1.0 / rate;
  set.values = Decay(count, rate, amplitude);
  return set;
}

TEST(RateFromIncrementText, TakesTheSimplestRateThePrintedIncrementAllows) {
  struct Case {
    const char* text;
    double rate;
  };
  const Case cases[] = {{"1.95313E-02", 51.2},    {"3.90625E-03", 256.0},        {"7.81250E-02", 12.8},
                        {"1.00000E-03", 1000.0},  {"1.953125000000E-03", 512.0}, {"0.0015", 666.67},
                        {"2.00000E+00", 0.5},     {"3.33333E-01", 3.0},          {"1.0D-02", 100.0}};
  for (const Case& c : cases) EXPECT_EQ(RateFromIncrementText(c.text), c.rate) << c.text;
  EXPECT_FALSE(RateFromIncrementText("0.00000E+00").has_value());
  EXPECT_FALSE(RateFromIncrementText("-1.0E-3").has_value());
  EXPECT_FALSE(RateFromIncrementText("abc").has_value());
}

TEST(ReadUff, AsciiTimeRecordsBecomeChannelsAndOtherDataSetsArePassedOver) {
  UffDataSet frf = Channel("FRF 1/1", 51.2, 1.0, 12);
  frf.functionType = 4;
  frf.ordinateType = 5;  // complex, as frequency responses are
  const std::string text = UffOther(151) + UffOther(164) + UffText(Channel("Point 1 +Z", 51.2, 2.5)) + UffText(frf) +
                           UffText(Channel("Point 2 +Z", 51.2, -1.25));
  TempDir dir;
  WaveData record;
  const ReadResult result = ReadUff(dir.Write("modal.uff", text), {}, record);
  ASSERT_TRUE(result.ok()) << result.message;
  EXPECT_EQ(record.ChannelCount, 2);
  EXPECT_EQ(record.SampleCount, 300);
  EXPECT_EQ(record.Rate, 51.2);
  EXPECT_EQ(SlotText(record.Names[0]), "Point 1 +Z");
  EXPECT_EQ(SlotText(record.Names[1]), "Point 2 +Z");
  EXPECT_EQ(SlotText(record.Units[1]), "m/s^2");
  const std::vector<double> second = Decay(300, 51.2, -1.25);
  for (int i = 0; i < 300; i += 29) {
    char printed[32];
    std::snprintf(printed, sizeof printed, "%13.5E", second[static_cast<std::size_t>(i)]);
    EXPECT_EQ(record.Samples[1][static_cast<std::size_t>(i)], static_cast<float>(std::strtod(printed, nullptr))) << i;
  }
  EXPECT_EQ(result.warnings,
            std::vector<std::string>{"時刻歴でないデータセット58（周波数応答など）を 1 個読み飛ばしました。"});
}

TEST(ReadUff, BinaryDataSetsInEitherByteOrderAndPrecision) {
  std::string text;
  for (int k = 0; k < 4; ++k) {
    UffDataSet set = Channel("ch" + std::to_string(k), 256.0, 1.0 + k, 500);
    set.binary = true;
    set.bigEndian = k % 2 == 1;
    set.ordinateType = k < 2 ? 2 : 4;
    text += UffText(set);
  }
  TempDir dir;
  WaveData record;
  ReadOptions options;
  options.Unit = "gal";
  const ReadResult result = ReadUff(dir.Write("b.unv", text), options, record);
  ASSERT_TRUE(result.ok()) << result.message;
  EXPECT_EQ(record.ChannelCount, 4);
  EXPECT_EQ(record.Rate, 256.0);
  EXPECT_EQ(SlotText(record.Units[3]), "gal");
  for (int k = 0; k < 4; ++k) {
    const std::vector<double> expected = Decay(500, 256.0, 1.0 + k);
    for (int i = 0; i < 500; i += 41) {
      EXPECT_EQ(record.Samples[static_cast<std::size_t>(k)][static_cast<std::size_t>(i)],
                static_cast<float>(expected[static_cast<std::size_t>(i)]))
          << "channel " << k << " value " << i;
    }
  }
}

TEST(ReadUff, ChannelsOfDifferentLengthsAreCutToTheShortestWithAWarning) {
  TempDir dir;
  WaveData record;
  const ReadResult result =
      ReadUff(dir.Write("l.uff", UffText(Channel("a", 100, 1, 200)) + UffText(Channel("b", 100, 1, 150))), {}, record);
  ASSERT_TRUE(result.ok()) << result.message;
  EXPECT_EQ(record.SampleCount, 150);
  ASSERT_EQ(result.warnings.size(), 1u);
  EXPECT_NE(result.warnings[0].find("最も短い 150 個"), std::string::npos);
}

TEST(ReadUff, FilesItCannotReadRightAreRefused) {
  const std::string a = UffText(Channel("a", 100.0, 1.0));
  UffDataSet complex = Channel("c", 100.0, 1.0);
  complex.ordinateType = 5;
  UffDataSet uneven = Channel("u", 100.0, 1.0);
  uneven.spacing = 0;
  UffDataSet binaryCut = Channel("b", 100.0, 1.0);
  binaryCut.binary = true;
  const std::string binary = UffText(binaryCut);
  UffDataSet vax = binaryCut;
  std::string vaxText = UffText(vax);
  vaxText.replace(vaxText.find("58b") + 14, 1, "1");  // floating-point format 1: DEC VMS
  struct Case {
    std::string text;
    std::string message;
  };
  const std::vector<Case> cases = {
      {a + UffText(Channel("b", 200.0, 1.0)), "データセットによって時間の刻みが異なります（1 個目のデータセット58は 0.01 秒、2 個目のデータセット58は 0.005 秒）。"},
      {a.substr(0, a.size() / 2), "1 個目のデータセット58が途中で切れています"},
      {a.substr(0, a.rfind("    -1")), "1 個目のデータセット58が途中で切れています（終わりの印 -1 がありません）。"},
      {binary.substr(0, binary.size() - 200), "1 個目のデータセット58が途中で切れています。"},
      {vaxText, "浮動小数点形式（1）は読めません"},
      {UffText(complex), "複素数の時刻歴です"},
      {UffText(uneven), "時刻の間隔が一定でない時刻歴です"},
      {UffOther(151) + UffOther(164), "時刻歴のデータセット（58、関数の種類 1）がありません。"},
      {"", "時刻歴のデータセット（58、関数の種類 1）がありません。"},
      {"    -1\n    58\nshort\n", "1 個目のデータセット58が途中で切れています。"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    WaveData record;
    record.Rate = 7;
    const ReadResult result = ReadUff(dir.Write("bad.uff", c.text), {}, record);
    EXPECT_EQ(result.status, ReadStatus::Refused) << c.message;
    EXPECT_NE(result.message.find(c.message), std::string::npos) << result.message;
    EXPECT_EQ(record.Rate, 7);
  }
  // A value too many or a word among the values.
  std::string extra = a;
  extra.insert(extra.rfind("    -1"), " 1.00000E+00\n");
  WaveData record;
  EXPECT_NE(ReadUff(dir.Write("x.uff", extra), {}, record).message.find("より多くあります"), std::string::npos);
  std::string word = a;
  word.insert(word.rfind("    -1"), " oops\n");
  EXPECT_NE(ReadUff(dir.Write("x.uff", word), {}, record).message.find("数値でないもの"), std::string::npos);
}

}  // namespace
