// What every reader fuzzer checks: a refused file leaves the loaded record as
// it was, and an accepted one is a consistent record.
#pragma once

#include "io/ReadResult.h"
#include "io/WaveData.h"

inline WaveData LoadedRecord() {
  WaveData record;
  record.ChannelCount = 1;
  record.SampleCount = 1;
  record.Rate = 7;
  record.Samples[0] = {2.5f};
  return record;
}

inline void CheckAfterRead(const ReadResult& result, const WaveData& record, bool withCounts) {
  if (!result.ok()) {
    if (record.Rate != 7 || record.Samples[0].size() != 1 || record.Samples[0][0] != 2.5f) __builtin_trap();
    return;
  }
  if (record.ChannelCount < 1 || record.ChannelCount > kMaxChannels || record.Rate <= 0) __builtin_trap();
  for (int k = 0; k < record.ChannelCount; ++k) {
    if (record.Samples[k].size() != static_cast<std::size_t>(record.SampleCount)) __builtin_trap();
    if (withCounts && record.RawCounts[k].size() != static_cast<std::size_t>(record.SampleCount)) __builtin_trap();
  }
}
