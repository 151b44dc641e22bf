// Whole SPC-51 files through the reader.
#include "fuzz/MemoryFile.h"
#include "io/ReadSpc51.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetSampleMemoryCap(8ULL << 20);  // keeps each run small and fast
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  WaveData record;
  record.ChannelCount = 1;
  record.SampleCount = 1;
  record.Rate = 7;
  record.Samples[0] = {2.5f};
  MemoryFile file(data, size);
  const ReadResult result = ReadSpc51(file.Path(), record);
  if (!result.ok()) {
    if (record.Rate != 7 || record.Samples[0].size() != 1 || record.Samples[0][0] != 2.5f) __builtin_trap();
    return 0;
  }
  if (record.ChannelCount < 1 || record.ChannelCount > kMaxChannels || record.Rate <= 0) __builtin_trap();
  for (int k = 0; k < record.ChannelCount; ++k) {
    if (record.Samples[k].size() != static_cast<std::size_t>(record.SampleCount)) __builtin_trap();
    if (record.RawCounts[k].size() != static_cast<std::size_t>(record.SampleCount)) __builtin_trap();
  }
  return 0;
}
