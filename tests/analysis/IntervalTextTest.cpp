#include "analysis/IntervalText.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

FitInterval Interval(double fLow, double fHigh, double hLow, double hHigh) {
  FitInterval interval;
  interval.FLow = fLow;
  interval.FHigh = fHigh;
  interval.HLow = hLow;
  interval.HHigh = hHigh;
  return interval;
}

TEST(IntervalTextTest, TwoSignificantDigitsOfTheHalfWidthSetTheDecimals) {
  struct Case {
    double halfWidth;
    int decimals;
  };
  const Case cases[] = {
      {0.0012, 4}, {0.00125, 4}, {0.0099, 4}, {0.00996, 3},  // the last rounds to 0.010
      {0.012, 3},  {0.5, 2},     {0.96, 2},   {0.996, 1},   {3.7, 1},
      {12.0, 0},   {370.0, 0},   {1e-14, 12},
  };
  for (const Case& c : cases) EXPECT_EQ(HalfWidthDecimals(c.halfWidth, 3), c.decimals) << c.halfWidth;
  EXPECT_EQ(HalfWidthDecimals(0.0, 3), 3);
  EXPECT_EQ(HalfWidthDecimals(-0.01, 4), 4);
  EXPECT_EQ(HalfWidthDecimals(NAN, 4), 4);
  EXPECT_EQ(HalfWidthDecimals(INFINITY, 4), 4);
}

TEST(IntervalTextTest, HintsShowTheValueAndTheBoundsAlike) {
  EXPECT_EQ(FrequencyRangeText(1.60034, Interval(1.59912, 1.60151, 0.0, 0.0)), "f = 1.6003 Hz（95%: 1.5991〜1.6015）");
  EXPECT_EQ(DampingRangeText(0.02493, Interval(0.0, 0.0, 0.02371, 0.02612)), "h = 0.0249（95%: 0.0237〜0.0261）");
  // A wide interval of h around a small value: the bounds may be negative.
  EXPECT_EQ(DampingRangeText(0.0041, Interval(0.0, 0.0, -0.0069, 0.0151)), "h = 0.004（95%: -0.007〜0.015）");
  // A wide interval of f shows fewer decimals than the label's three.
  EXPECT_EQ(FrequencyRangeText(3.7123, Interval(2.51, 4.91, 0.0, 0.0)), "f = 3.7 Hz（95%: 2.5〜4.9）");
  // A degenerate interval falls back to the labels' decimals.
  EXPECT_EQ(FrequencyRangeText(3.7123, Interval(3.7123, 3.7123, 0.0, 0.0)), "f = 3.712 Hz（95%: 3.712〜3.712）");
  EXPECT_EQ(DampingRangeText(0.02493, Interval(0.0, 0.0, 0.02493, 0.02493)), "h = 0.0249（95%: 0.0249〜0.0249）");
}

}  // namespace
