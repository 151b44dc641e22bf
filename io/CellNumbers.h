// Converting the plain decimal cells that make up nearly every data file
// ("-4.45296", "1.5", "120") sixteen bytes at a time, without a branch per
// character: measured records have random signs and digit counts, which a
// loop over characters mispredicts on every cell, and where a cell ends is
// found without waiting for its conversion, so a line's cells overlap.
//
// The value stored is exactly what ParseDecimal gives, rounded to single
// precision. The digits are read as an integer V (at most 15 of them), and the
// quotient V / 10^k is formed by multiplying with the rounded inverse: that
// lies within two units in the last place of the
// correctly rounded quotient, so both round to the same float except when the
// product lies within a few units of a point halfway between two floats; only
// there is the exact division made.
//
// The caller guarantees kCellOverread readable bytes past the end of the text
// (their contents do not matter: nothing past the text's end is used).
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Bytes read at most past the end of the text by PlainCell.
inline constexpr std::size_t kCellOverread = 32;

namespace cell_detail {

// 10^0 to 10^16, all exact in a double, and their rounded inverses.
inline constexpr double kPowersOfTen[] = {1e0, 1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7, 1e8,
                                          1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16};
inline constexpr double kInversePowersOfTen[] = {1e-0, 1e-1,  1e-2,  1e-3,  1e-4,  1e-5,  1e-6,  1e-7, 1e-8,
                                                 1e-9, 1e-10, 1e-11, 1e-12, 1e-13, 1e-14, 1e-15, 1e-16};

inline std::uint64_t Load8(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

inline constexpr std::uint64_t kZeros = 0x3030303030303030ULL;
inline constexpr std::uint64_t kIntegerPowersOfTen[] = {1,         10,         100,         1000,      10000,
                                                        100000,    1000000,    10000000,    100000000};

// The value of the first n digits (0 to 8) of a word of bytes xor '0': they
// are moved to the top, which fills the bytes below with zero digits, then
// combined in pairs, fours and eights by three multiplications.
inline std::uint32_t DigitsValueOrZero(std::uint64_t a, int n) {
  const int shift = 8 * (8 - n);
  a = (a << (shift / 2)) << (shift - shift / 2);  // a shift by 64 clears the word
  a = a * 10 + (a >> 8);
  a = (((a & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32))) +
       (((a >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32)))) >>
      32;
  return static_cast<std::uint32_t>(a);
}

// value / 10^power (value and 10^power exact doubles) rounded to double as a
// correct division rounds it, then to float.
inline float QuotientAsFloat(double value, int power) {
  double quotient = value * kInversePowersOfTen[power];
  // The 29 bits of a double below a float's last bit; halfway is the top one.
  constexpr std::uint64_t kBelowFloat = (1ULL << 29) - 1;
  constexpr std::uint64_t kHalfway = 1ULL << 28;
  constexpr std::uint64_t kMargin = 4;
  if (((std::bit_cast<std::uint64_t>(quotient) & kBelowFloat) - (kHalfway - kMargin)) <= 2 * kMargin) [[unlikely]] {
    quotient = value / kPowersOfTen[power];
  }
  return static_cast<float>(quotient);
}

}  // namespace cell_detail

namespace cell_detail {

// The high bit of every byte of a word of bytes xor '0' that is no digit.
inline std::uint64_t NonDigits(std::uint64_t a) {
  return (((a & 0x7F7F7F7F7F7F7F7FULL) + 0x7676767676767676ULL) | a) & 0x8080808080808080ULL;
}

// The number of leading digits, 0 to 7; 7 also stands for 8 (the top byte
// always counts as no digit, which spares the test for an empty mask), so a
// cell with eight digits in a row takes the general way.
inline int LeadingDigits(std::uint64_t a) { return __builtin_ctzll(NonDigits(a) | 1ULL << 63) >> 3; }

}  // namespace cell_detail

// The parts of a plain cell: where it ended, its digits as one integer (at
// most 15 of them, so exact in a double), how many follow the decimal mark,
// and its sign.
struct PlainParts {
  const char* end = nullptr;
  std::uint64_t digits = 0;
  int decimals = 0;
  bool negative = false;
};

// The plain decimal cell that starts at p: an optional sign, digits, and
// optionally the decimal mark and more digits (at most 15 bytes in all),
// ending at `end`, at the separator or at a line feed. False for any other
// cell, which the caller converts the general way. Where the cell ends is
// found by one 16-byte comparison that does not wait for the conversion, so
// the conversions of a line's cells overlap.
template <char Separator, char Decimal>
[[gnu::always_inline]] inline bool PlainCellParts(const char* p, const char* end, PlainParts& parts) {
#if defined(__SSE2__)
  using namespace cell_detail;
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  // A NUL needs no test: it is no digit, so a cell holding one is refused.
  const unsigned ends = static_cast<unsigned>(_mm_movemask_epi8(
      _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(Separator)), _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')))));
  const std::ptrdiff_t left = end - p;
  const unsigned room = left < 16 ? static_cast<unsigned>(left) : 16u;
  const auto length = static_cast<unsigned>(__builtin_ctz(ends | 1u << room));
  if (length == 16) return false;  // longer than 15 bytes
  // The sign of a measured value is as good as random: no branch on it.
  const bool negative = *p == '-';
  const char* const q = p + static_cast<int>(negative | (*p == '+'));
  const std::uint64_t whole = Load8(q) ^ kZeros;
  const int wholeDigits = LeadingDigits(whole);
  const bool point = q[wholeDigits] == Decimal;
  const std::uint64_t fraction = Load8(q + wholeDigits + 1) ^ kZeros;
  const int fractionDigits = point ? LeadingDigits(fraction) : 0;
  const int digits = wholeDigits + fractionDigits;
  // Digits, mark and digits must make up the whole cell.
  if (q + wholeDigits + static_cast<int>(point) + fractionDigits != p + length || digits == 0) return false;
  if (digits <= 8) {
    // The fraction's digits joined to the whole number's, converted at once.
    parts.digits = DigitsValueOrZero((whole & ((1ULL << (8 * wholeDigits)) - 1)) | fraction << (8 * wholeDigits), digits);
  } else {
    parts.digits = static_cast<std::uint64_t>(DigitsValueOrZero(whole, wholeDigits)) * kIntegerPowersOfTen[fractionDigits] +
                   DigitsValueOrZero(fraction, fractionDigits);
  }
  parts.end = p + length;
  parts.decimals = fractionDigits;
  parts.negative = negative;
  return true;
#else
  // Without the vector unit every cell takes the general way.
  (void)p;
  (void)end;
  (void)parts;
  return false;
#endif
}

// A plain cell's value in single precision, as ParseDecimal's rounded to
// float; returns where the cell ended, or nothing for any other cell.
template <char Separator, char Decimal>
[[gnu::always_inline]] inline const char* PlainCell(const char* p, const char* end, float& value) {
  PlainParts parts;
  if (!PlainCellParts<Separator, Decimal>(p, end, parts)) return nullptr;
  const float magnitude =
      cell_detail::QuotientAsFloat(static_cast<double>(static_cast<std::int64_t>(parts.digits)), parts.decimals);
  // Negation is the sign bit alone, set without a branch.
  value = std::bit_cast<float>(std::bit_cast<std::uint32_t>(magnitude) | static_cast<std::uint32_t>(parts.negative) << 31);
  return parts.end;
}
