// Universal files made from the public description of data set 58 (and the
// 58b binary form), for the reader's tests and the fuzzers' seeds. Records are
// written with the Fortran formats the description gives: record 6
// 2(I5,I10),2(1X,10A1,I10,I4); record 7 3I10,3E13.5; records 8 to 11
// I10,3I5,2(1X,20A1); values 6E13.5 (single) or 4E20.12 (double).
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

struct UffDataSet {
  int functionType = 1;   // 1 time response, 4 frequency response, ...
  std::string name = "Point 1 +Z";
  std::string unit = "m/s^2";
  int ordinateType = 2;   // 2 real single, 4 real double, 5 complex single
  int spacing = 1;        // 1 even, 0 uneven
  double start = 0.0;
  double increment = 0.01;
  std::string incrementText;  // written instead of %13.5E when not empty
  std::vector<double> values;
  bool binary = false;
  bool bigEndian = false;
};

inline std::string UffLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
inline std::string UffLine(const char* format, ...) {
  char line[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  return std::string(line) + "\n";
}

inline std::string UffText(const UffDataSet& set) {
  const bool isDouble = set.ordinateType == 4 || set.ordinateType == 6;
  std::string header;
  header += UffLine("%-80s", set.name.c_str());
  header += UffLine("%-80s", "NONE");
  header += UffLine("%-80s", "07-Dec-26 10:00:00");
  header += UffLine("%-80s", "NONE");
  header += UffLine("%-80s", "NONE");
  header += UffLine("%5d%10d%5d%10d %-10s%10d%4d %-10s%10d%4d", set.functionType, 1, 1, 0, "NONE", 1, 3, "NONE", 0, 0);
  char increment[32];
  std::snprintf(increment, sizeof increment, "%13.5E", set.increment);
  const std::string incrementField =
      set.incrementText.empty() ? increment : std::string(13 - set.incrementText.size(), ' ') + set.incrementText;
  const std::size_t values = set.values.size() / (set.ordinateType >= 5 ? 2 : 1);
  header += UffLine("%10d%10zu%10d%13.5E%s%13.5E", set.ordinateType, values, set.spacing, set.start,
                    incrementField.c_str(), 0.0);
  header += UffLine("%10d%5d%5d%5d %-20s %-20s", 17, 0, 0, 0, "Time", "s");
  header += UffLine("%10d%5d%5d%5d %-20s %-20s", 12, 1, 0, 0, "Acceleration", set.unit.c_str());
  header += UffLine("%10d%5d%5d%5d %-20s %-20s", 0, 0, 0, 0, "NONE", "NONE");
  header += UffLine("%10d%5d%5d%5d %-20s %-20s", 0, 0, 0, 0, "NONE", "NONE");
  std::string data;
  if (set.binary) {
    for (const double value : set.values) {
      char raw[8];
      const std::size_t width = isDouble ? 8 : 4;
      if (isDouble) std::memcpy(raw, &value, 8);
      else {
        const float single = static_cast<float>(value);
        std::memcpy(raw, &single, 4);
      }
      if (set.bigEndian) {
        for (std::size_t i = 0; i < width / 2; ++i) std::swap(raw[i], raw[width - 1 - i]);
      }
      data.append(raw, width);
    }
    return UffLine("%6d", -1) + UffLine("%6d%c%6d%6d%12d%12zu%6d%6d%12d%12d", 58, 'b', set.bigEndian ? 2 : 1, 2, 11,
                                        data.size(), 0, 0, 0, 0) +
           header + data + UffLine("%6d", -1);
  }
  const int perLine = isDouble ? 4 : 6;
  for (std::size_t i = 0; i < set.values.size(); ++i) {
    char value[32];
    std::snprintf(value, sizeof value, isDouble ? "%20.12E" : "%13.5E", set.values[i]);
    data += value;
    if ((i + 1) % static_cast<std::size_t>(perLine) == 0 || i + 1 == set.values.size()) data += "\n";
  }
  return UffLine("%6d", -1) + UffLine("%6d", 58) + header + data + UffLine("%6d", -1);
}

// A data set of another kind: 151 (the file's header) or 164 (units).
inline std::string UffOther(int number) {
  std::string text = UffLine("%6d", -1) + UffLine("%6d", number);
  if (number == 151) {
    text += UffLine("%-80s", "model") + UffLine("%-80s", "description") + UffLine("%-80s", "program");
    text += UffLine("%-10s%-10s%10d%10d%10d", "07-Dec-26", "10:00:00", 0, 0, 0);
    text += UffLine("%-10s%-10s", "07-Dec-26", "10:00:00") + UffLine("%-80s", "writer");
    text += UffLine("%-10s%-10s", "07-Dec-26", "10:00:00");
  } else {
    text += UffLine("%10d%-20s%10d", 1, "SI", 2);
    text += UffLine("%25.16E%25.16E%25.16E", 1.0, 1.0, 1.0) + UffLine("%25.16E", 273.15);
  }
  return text + UffLine("%6d", -1);
}
