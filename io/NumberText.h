// Number conversions of the CSV format and locale-independent printf-style
// formatting. The command line runs under whatever locale its caller set (a
// decimal comma among them), so nothing here goes through the C library's
// locale-dependent routines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A decimal floating-point number at the start of the text (optional sign,
// digits, optional decimal point and fraction, optional exponent), stopping at
// the first character that cannot continue it; leading white space is skipped.
// Text without a leading number gives 0. Out-of-range magnitudes give ±infinity
// or ±0, as the C library's conversion does. The value is rounded once, to double.
double ParseDecimal(std::string_view text);

// Plain decimals of up to 15 digits without an exponent convert exactly as
// digits / 10^fraction: both are exact in a double, so the one division rounds
// correctly (Clinger's fast path).
constexpr int kMaxExactDigits = 15;
inline constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                               1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// A decimal integer at the start of the text (optional sign and digits; leading
// white space skipped); text without digits gives 0. The value saturates at the
// limits of a 64-bit integer.
std::int64_t ParseInteger(std::string_view text);

// A sampling rate as the files and the window show it: a whole rate as an
// integer ("100"), as it always was written; any other as "%.9g" ("25.6"),
// which reads back to the same double.
std::string RateText(double rate);

// printf("%.Nf", value) in the C locale.
std::string FormatFixed(double value, int decimals);
void AppendFixed(std::string& out, double value, int decimals);

// printf in the C locale, whatever locale the process has set: a toolkit
// starting up sets the user's, and with it a decimal comma. Thread-safe: the
// locale is switched for the calling thread only.
std::string FormatC(const char* format, ...) __attribute__((format(printf, 1, 2)));
