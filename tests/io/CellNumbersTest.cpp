// The fast conversion of plain cells must give exactly ParseDecimal's value in
// single precision, including next to the points halfway between two floats
// where the multiplication by an inverse power of ten could round the other
// way, and must leave every other cell to the general way.
#include "io/CellNumbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "io/NumberText.h"

namespace {

// The cell converted the fast way, from a buffer with the bytes past its end
// that the conversion may read (filled with digits, which must not count).
std::optional<float> Fast(const std::string& cell, char after = ',') {
  std::string buffer = cell + after + std::string(kCellOverread, '7');
  float value = 0.0f;
  const char* end = PlainCell<',', '.'>(buffer.data(), buffer.data() + cell.size() + 1, value);
  if (end == nullptr) return std::nullopt;
  EXPECT_EQ(end, buffer.data() + cell.size()) << cell;
  return value;
}

// PlainCell on the bytes [from, to) of a padded buffer: where the cell ended,
// or -1 for a cell it leaves to the general way.
std::ptrdiff_t Comma(const std::string& buffer, std::size_t from, std::size_t to, float& value) {
  const char* end = PlainCell<',', '.'>(buffer.data() + from, buffer.data() + to, value);
  return end == nullptr ? -1 : end - buffer.data();
}
std::ptrdiff_t Semicolon(const std::string& buffer, std::size_t from, std::size_t to, float& value) {
  const char* end = PlainCell<';', ','>(buffer.data() + from, buffer.data() + to, value);
  return end == nullptr ? -1 : end - buffer.data();
}

std::uint32_t Bits(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

TEST(PlainCell, RandomPlainCellsGiveParseDecimalsBits) {
  std::mt19937_64 engine(20261207);
  for (int trial = 0; trial < 300000; ++trial) {
    std::string cell;
    const int sign = static_cast<int>(engine() % 3);
    if (sign == 1) cell += '-';
    if (sign == 2) cell += '+';
    const int whole = static_cast<int>(engine() % 9);
    const int fraction = static_cast<int>(engine() % 9);
    for (int k = 0; k < whole; ++k) cell += static_cast<char>('0' + engine() % 10);
    if (fraction > 0 || engine() % 4 == 0) cell += '.';
    for (int k = 0; k < fraction; ++k) cell += static_cast<char>('0' + engine() % 10);
    const float expected = static_cast<float>(ParseDecimal(cell));
    const std::optional<float> fast = Fast(cell);
    if (fast) {
      ASSERT_EQ(Bits(*fast), Bits(expected)) << cell;
    }
    // Up to seven digits on each side, within 15 bytes, always the fast way.
    if (whole <= 7 && fraction <= 7 && whole + fraction > 0 && cell.size() <= 15) {
      ASSERT_TRUE(fast.has_value()) << cell;
    }
  }
}

// Decimals that are exactly, or within a few units of the double's last
// place of, a point halfway between two floats: there a quotient off by one
// unit would round to the other float.
TEST(PlainCell, CellsAtAndNextToHalfwayPointsRoundAsTheDivisionDoes) {
  std::mt19937 engine(37);
  int exact = 0;
  for (int exponent = 10; exponent <= 22; ++exponent) {
    for (int trial = 0; trial < 4000; ++trial) {
      const float low = std::ldexp(1.0f + static_cast<float>(engine() % (1u << 23)) / (1u << 23), exponent);
      const double halfway = (static_cast<double>(low) + static_cast<double>(std::nextafter(low, 2 * low))) / 2;
      for (const double offset : {0.0, -1e-7, 1e-7, -1e-6, 1e-6}) {
        char text[64];
        std::snprintf(text, sizeof text, "%.7f", halfway + offset);
        std::string cell = text;
        while (cell.back() == '0') cell.pop_back();
        if (cell.back() == '.') cell.pop_back();
        if (cell.size() > 15) continue;
        const std::optional<float> fast = Fast(cell);
        ASSERT_TRUE(fast.has_value()) << cell;
        ASSERT_EQ(Bits(*fast), Bits(static_cast<float>(ParseDecimal(cell)))) << cell;
        if (offset == 0.0 && ParseDecimal(cell) == halfway) ++exact;
      }
    }
  }
  EXPECT_GT(exact, 10000);  // most cases are exact halfway points
}

TEST(PlainCell, OtherCellsTakeTheGeneralWay) {
  for (const char* cell : {"", "-", "+", ".", "-.", "1e5", "1.5e-3", " 1.5", "1.5 ", "1;5", "1.2.3", "--1", "0x10",
                           "123456789012345678", "12345678.5", "1.23456789", "inf", "nan", "1\x80", "\xB1" "1"}) {
    EXPECT_FALSE(Fast(cell).has_value()) << cell;
  }
  // A cell ending at the line's end or its line feed is plain as well; one
  // whose digits seem to go on past the line's end (a line cut in the middle
  // of a number) is left to the general way, which stops at the end.
  EXPECT_EQ(Fast("-2.5", '\n'), -2.5f);
  std::string buffer = "3.25" + std::string(kCellOverread, 'x');
  float value = 0.0f;
  EXPECT_EQ(Comma(buffer, 0, 4, value), 4);
  EXPECT_EQ(value, 3.25f);
  buffer = "3.25" + std::string(kCellOverread, '9');
  EXPECT_EQ(Comma(buffer, 0, 4, value), -1);
}

TEST(PlainCell, TheDecimalCommaDialect) {
  std::string buffer = "-1,7641;2" + std::string(kCellOverread, 'x');
  float value = 0.0f;
  EXPECT_EQ(Semicolon(buffer, 0, 9, value), 7);
  EXPECT_EQ(value, -1.7641f);
  EXPECT_EQ(Semicolon(buffer, 8, 9, value), 9);
  EXPECT_EQ(value, 2.0f);
  buffer = "1.5;2" + std::string(kCellOverread, '0');
  EXPECT_EQ(Semicolon(buffer, 0, 5, value), -1);
}

}  // namespace
