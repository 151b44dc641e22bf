// The hints of the result labels with their 95 % intervals:
// "f = 1.6003 Hz（95%: 1.5991〜1.6015）", "h = 0.0249（95%: 0.0237〜0.0261）".
// The half-width, rounded to two significant digits, decides the decimals, so
// the value is shown no finer than the interval can tell it.
#pragma once

#include <string>

#include "analysis/FitInterval.h"

// Decimals that show two significant digits of halfWidth (> 0): 0.0012 → 4,
// 0.0996 → 2 (it rounds to 0.10), 12 → 0; never negative, at most 12.
// Nothing sensible to show (0, negative, not a number) gives `fallback`.
int HalfWidthDecimals(double halfWidth, int fallback);

// f in Hz; the decimals fall back to the label's 3 when the interval is degenerate.
std::string FrequencyRangeText(double f, const FitInterval& interval);
// h; the fallback is the label's 4 decimals.
std::string DampingRangeText(double h, const FitInterval& interval);
