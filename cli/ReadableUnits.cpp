#include "cli/ReadableUnits.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPlainFrom = 0.1;
constexpr double kPlainBelow = 1000.0;

}  // namespace

ReadableAxis InReadableUnits(const std::vector<float>& values, const std::string& title) {
  double largest = 0.0;
  for (const float v : values) {
    if (std::isfinite(v)) largest = std::max(largest, std::fabs(static_cast<double>(v)));
  }
  if (largest == 0.0 || (largest >= kPlainFrom && largest < kPlainBelow)) return {values, title};
  const int exponent = static_cast<int>(std::floor(std::log10(largest)));
  const double unit = std::pow(10.0, exponent);
  ReadableAxis shown{{}, title + " (×10^" + std::to_string(exponent) + ")"};
  shown.Values.reserve(values.size());
  for (const float v : values) shown.Values.push_back(static_cast<float>(v / unit));
  return shown;
}
