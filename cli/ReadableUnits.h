// Axis values for the sweep's picture in units that give plain tick labels.
// The graph's nice-scale rule labels a division of 2.5e-8 as "2.5e-08", which
// the room left of the graph cuts to "e-08"; a damping ratio of 1e-8 or an
// amplitude of 3e-5 in g is then unreadable. Such values are shown in units
// of a power of ten that the axis title names.
#pragma once

#include <string>
#include <vector>

struct ReadableAxis {
  std::vector<float> Values;  // the values in the axis's unit
  std::string Title;          // the title, with "(×10^N)" when the unit is not 1
};

// Values whose largest magnitude lies in [0.1, 1000) stay as they are; any
// other (not all zero) are divided by 10^N, N = floor(log10(largest)), so that
// the largest lies in [1, 10) and every label reads "0", "2.5", "7.5".
ReadableAxis InReadableUnits(const std::vector<float>& values, const std::string& title);
