#include "io/NumberText.h"

#include <locale.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <limits>

namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Far beyond any exponent a double can reach, and small enough that adding a
// digit count to it cannot overflow.
constexpr long long kExponentLimit = 1'000'000'000'000'000LL;

// For a number that from_chars found out of range: infinity when its decimal
// exponent is positive, else zero. The exponent's digits saturate, however
// many there are: a long exponent keeps its sign and its size.
double OutOfRange(std::string_view number, bool negative) {
  long long digitsBeforePoint = 0;
  bool seenPoint = false;
  bool seenNonZero = false;
  long long leadingZerosAfterPoint = 0;
  std::size_t i = 0;
  for (; i < number.size(); ++i) {
    const char c = number[i];
    if (c == '.') {
      seenPoint = true;
    } else if (IsDigit(c)) {
      if (c != '0') seenNonZero = true;
      if (!seenPoint && seenNonZero) ++digitsBeforePoint;
      if (seenPoint && !seenNonZero) ++leadingZerosAfterPoint;
    } else {
      break;
    }
  }
  long long exponent = 0;
  if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
    ++i;
    bool negativeExponent = false;
    if (i < number.size() && (number[i] == '+' || number[i] == '-')) negativeExponent = number[i++] == '-';
    for (; i < number.size() && IsDigit(number[i]); ++i) {
      exponent = std::min(exponent * 10 + (number[i] - '0'), kExponentLimit);
    }
    if (negativeExponent) exponent = -exponent;
  }
  const long long magnitude = (digitsBeforePoint > 0 ? digitsBeforePoint : -leadingZerosAfterPoint) + exponent;
  const double value = seenNonZero && magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  return negative ? -value : value;
}

}  // namespace

double ParseDecimal(std::string_view text) {
  // The bulk of every data file takes the exact fast path.
  {
    std::size_t i = 0;
    const std::size_t n = text.size();
    bool negative = false;
    if (i < n && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    std::uint64_t mantissa = 0;
    int digits = 0;
    int fraction = 0;
    for (; i < n && IsDigit(text[i]); ++i, ++digits) mantissa = mantissa * 10 + static_cast<unsigned>(text[i] - '0');
    if (i < n && text[i] == '.') {
      for (++i; i < n && IsDigit(text[i]); ++i, ++digits, ++fraction) {
        mantissa = mantissa * 10 + static_cast<unsigned>(text[i] - '0');
      }
    }
    const bool exponent = i < n && (text[i] == 'e' || text[i] == 'E');
    if (digits > 0 && digits <= kMaxExactDigits && !exponent) {
      const double value = static_cast<double>(mantissa) / kExactPowersOfTen[fraction];
      return negative ? -value : value;
    }
  }
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // Only digits or a point followed by a digit start a number ("inf", "nan"
  // and hexadecimal forms are not part of the format).
  if (i >= text.size()) return 0.0;
  if (!IsDigit(text[i]) && !(text[i] == '.' && i + 1 < text.size() && IsDigit(text[i + 1]))) return 0.0;
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data() + i, text.data() + text.size(), value,
                                            std::chars_format::general);
  if (error == std::errc::result_out_of_range) {
    return OutOfRange(text.substr(i, static_cast<std::size_t>(end - (text.data() + i))), negative);
  }
  if (error != std::errc()) return 0.0;
  return negative ? -value : value;
}

std::int64_t ParseInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::int64_t value = 0;
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    const int digit = text[i] - '0';
    value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
  }
  return negative ? -value : value;
}

void AppendFixed(std::string& out, double value, int decimals) {
  char buffer[400];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  if (result.ec != std::errc()) {
    out += std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf");
    return;
  }
  out.append(buffer, result.ptr);
}

std::string FormatFixed(double value, int decimals) {
  std::string out;
  AppendFixed(out, value, decimals);
  return out;
}

std::string RateText(double rate) {
  if (std::isfinite(rate) && rate == std::trunc(rate) && std::fabs(rate) < 9.0e15) {
    return std::to_string(static_cast<long long>(rate));
  }
  char text[40];
  const auto result = std::to_chars(text, text + sizeof text, rate, std::chars_format::general, 9);
  return std::string(text, result.ptr);
}

std::string FormatC(const char* format, ...) {
  static const locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  const locale_t previous = cLocale != static_cast<locale_t>(nullptr) ? ::uselocale(cLocale) : nullptr;
  std::va_list args;
  va_start(args, format);
  std::va_list again;
  va_copy(again, args);
  char small[128];
  const int length = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  std::string text;
  if (length >= 0 && static_cast<std::size_t>(length) < sizeof small) {
    text.assign(small, static_cast<std::size_t>(length));
  } else if (length > 0) {
    text.resize(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, again);
    text.resize(static_cast<std::size_t>(length));
  }
  va_end(again);
  if (previous != nullptr) ::uselocale(previous);
  return text;
}
