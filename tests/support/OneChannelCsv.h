// A one-channel record in the standard CSV format (unit gal), written where a
// test or a benchmark wants a file to open.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "io/WaveData.h"
#include "io/WriteCsv.h"

inline bool WriteOneChannelCsv(const std::string& path, std::vector<float> samples, double rate,
                               std::string_view name = "P1") {
  WaveData record;
  record.ChannelCount = 1;
  record.SampleCount = static_cast<std::int32_t>(samples.size());
  record.Rate = rate;
  record.Dt = static_cast<float>(1.0 / rate);
  CopyToSlot(name, record.Names[0]);
  CopyToSlot("gal", record.Units[0]);
  record.Samples[0] = std::move(samples);
  return WriteCsv(path, record).ok;
}
