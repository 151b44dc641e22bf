// Whole universal files through the data set 58 reader.
#include "fuzz/MemoryFile.h"
#include "fuzz/RecordChecks.h"
#include "io/ReadUff.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetSampleMemoryCap(8ULL << 20);  // keeps each run small and fast
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  WaveData record = LoadedRecord();
  MemoryFile file(data, size);
  CheckAfterRead(ReadUff(file.Path(), {}, record), record, /*withCounts=*/false);
  return 0;
}
