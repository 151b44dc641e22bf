#include "analysis/IntervalText.h"

#include <cmath>

#include "io/NumberText.h"

namespace {

constexpr int kMaxDecimals = 12;
constexpr int kLabelFrequencyDecimals = 3;
constexpr int kLabelDampingDecimals = 4;

std::string RangeText(const char* name, double value, const char* unit, double low, double high, double level,
                      int fallback) {
  const int decimals = HalfWidthDecimals(0.5 * (high - low), fallback);
  return std::string(name) + " = " + FormatFixed(value, decimals) + unit + "（" + FormatFixed(100.0 * level, 0) +
         "%: " + FormatFixed(low, decimals) + "〜" + FormatFixed(high, decimals) + "）";
}

}  // namespace

int HalfWidthDecimals(double halfWidth, int fallback) {
  if (!(halfWidth > 0.0) || !std::isfinite(halfWidth)) return fallback;
  int decimals = 1 - static_cast<int>(std::floor(std::log10(halfWidth)));
  // 0.0996 shows as 0.10 with two significant digits: one decimal fewer.
  if (decimals >= 0 && std::round(halfWidth * std::pow(10.0, decimals)) >= 100.0) --decimals;
  if (decimals < 0) return 0;
  return decimals > kMaxDecimals ? kMaxDecimals : decimals;
}

std::string FrequencyRangeText(double f, const FitInterval& interval) {
  return RangeText("f", f, " Hz", interval.FLow, interval.FHigh, interval.Level, kLabelFrequencyDecimals);
}

std::string DampingRangeText(double h, const FitInterval& interval) {
  return RangeText("h", h, "", interval.HLow, interval.HHigh, interval.Level, kLabelDampingDecimals);
}
