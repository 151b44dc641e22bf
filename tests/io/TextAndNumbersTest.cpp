#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "io/NumberText.h"
#include "io/WaveData.h"

namespace {

TEST(ParseDecimal, ReadsTheLeadingNumberOnly) {
  const struct {
    const char* text;
    double value;
  } cases[] = {
      {"1.5", 1.5},   {"+2", 2.0},     {"-1.25e-1 ", -0.125}, {"abc", 0.0},  {".5", 0.5},
      {"-.5x", -0.5}, {"5.", 5.0},     {"1e", 1.0},           {"2E+3", 2000}, {"  3", 3.0},
      {"inf", 0.0},   {"nan", 0.0},    {"0x10", 0.0},         {".", 0.0},    {"-", 0.0},
      {"1,5", 1.0},   {"12abc", 12.0}, {"", 0.0},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseDecimal(c.text), c.value) << c.text;
  EXPECT_EQ(ParseDecimal("1e400"), HUGE_VAL);
  EXPECT_EQ(ParseDecimal("-1e400"), -HUGE_VAL);
  EXPECT_EQ(ParseDecimal("123456e-400"), 0.0);
  EXPECT_EQ(ParseDecimal("0.000001e-330"), 0.0);
}

TEST(ParseDecimal, ExponentsLongerThan64BitsKeepTheirSignAndSize) {
  const std::string nines(20, '9');
  const struct {
    std::string text;
    double value;
  } cases[] = {
      {"1e-" + nines, 0.0},          {"-1e-" + nines, -0.0},          {"0.5e" + nines, HUGE_VAL},
      {"0.0001e" + nines, HUGE_VAL}, {"-0.0001e+" + nines, -HUGE_VAL}, {"25e" + std::string(400, '1'), HUGE_VAL},
      {"0e" + nines, 0.0},           {"-0.000e" + nines + "x", -0.0},
  };
  for (const auto& c : cases) {
    const double value = ParseDecimal(c.text);
    EXPECT_EQ(value, c.value) << c.text;
    EXPECT_EQ(std::signbit(value), std::signbit(c.value)) << c.text;
  }
}

TEST(ParseInteger, ReadsSignAndDigits) {
  EXPECT_EQ(ParseInteger("1000.5"), 1000);
  EXPECT_EQ(ParseInteger("-5,s"), -5);
  EXPECT_EQ(ParseInteger("abc"), 0);
  EXPECT_EQ(ParseInteger(" +42"), 42);
  EXPECT_EQ(ParseInteger("99999999999"), 99999999999LL);
  EXPECT_EQ(ParseInteger("99999999999999999999999"), INT64_MAX);
}

TEST(FormatFixed, MatchesPrintfInTheCLocale) {
  std::setlocale(LC_NUMERIC, "C");
  std::mt19937 engine(7);
  std::uniform_real_distribution<double> exponent(-8, 8);
  for (int i = 0; i < 20000; ++i) {
    const double value = (i % 2 ? -1 : 1) * std::pow(10.0, exponent(engine));
    for (const int decimals : {3, 4, 6}) {
      char expected[512];
      std::snprintf(expected, sizeof expected, "%.*f", decimals, value);
      ASSERT_EQ(FormatFixed(value, decimals), expected) << value;
    }
  }
  EXPECT_EQ(FormatFixed(-32.75, 6), "-32.750000");
  EXPECT_EQ(FormatFixed(0.0000004f, 6), "0.000000");
  EXPECT_EQ(FormatFixed(-0.0001, 3), "-0.000");
}

TEST(TextSlots, CutsNeverSplitACharacter) {
  TextSlot<8> slot;
  EXPECT_FALSE(CopyToSlot("abc", slot));
  EXPECT_EQ(SlotText(slot), "abc");
  EXPECT_TRUE(CopyToSlot("abcdefghij", slot));
  EXPECT_EQ(SlotText(slot), "abcdefg");
  // Shift-JIS: a lead byte at the last position is left out with its partner.
  EXPECT_TRUE(CopyToSlot("abcdef\x83\xD6", slot));
  EXPECT_EQ(SlotText(slot), "abcdef");
  EXPECT_TRUE(CopyToSlot("\x83\xD6\x83\xB3\x83\xD6\x83\xB3", slot));
  EXPECT_EQ(SlotText(slot), "\x83\xD6\x83\xB3\x83\xD6");
  // UTF-8: a three-byte character that would pass the end is left out whole.
  EXPECT_TRUE(CopyToSlot("abcde\xE6\xB8\x9B", slot));
  EXPECT_EQ(SlotText(slot), "abcde");
  // Text after a NUL never enters the slot.
  EXPECT_FALSE(CopyToSlot(std::string_view("ab\0cd", 5), slot));
  EXPECT_EQ(SlotText(slot), "ab");
}

TEST(TextSlots, Utf8Validity) {
  EXPECT_TRUE(IsValidUtf8("減衰特性.csv"));
  EXPECT_TRUE(IsValidUtf8("plain"));
  EXPECT_FALSE(IsValidUtf8("\x83\xD6"));
  EXPECT_FALSE(IsValidUtf8("\xE6\xB8"));        // truncated
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));        // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));    // surrogate
}

TEST(RecordPath, FileNameAndPathLimits) {
  EXPECT_EQ(FileNameOf("/data/run 1/sample0.csv"), "sample0.csv");
  EXPECT_EQ(FileNameOf("sample0.csv"), "sample0.csv");
  WaveData record;
  const std::string folder = "/tmp/";
  const std::string name51 = std::string(47, 'n') + ".csv";
  ASSERT_TRUE(SetRecordPath(record, folder + name51));
  EXPECT_EQ(SlotText(record.FileName), name51);  // 51 characters are kept whole
  const std::string name60 = std::string(56, 'm') + ".csv";
  ASSERT_TRUE(SetRecordPath(record, folder + name60));
  EXPECT_EQ(SlotText(record.FileName), name60.substr(0, 51));
  EXPECT_EQ(record.Path, folder + name60);
  // Only the file name has a limit: a path of any length is kept whole, for
  // the file to be read again from it. A NUL byte names no file.
  const std::string deep = "/" + std::string(200, 'p') + "/" + std::string(200, 'q') + "/r.csv";
  ASSERT_TRUE(SetRecordPath(record, deep));
  EXPECT_EQ(record.Path, deep);
  EXPECT_EQ(SlotText(record.FileName), "r.csv");
  EXPECT_FALSE(SetRecordPath(record, std::string("/a\0b.csv", 9)));
  EXPECT_EQ(record.Path, deep);
}

}  // namespace
