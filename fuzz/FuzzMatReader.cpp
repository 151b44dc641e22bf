// Whole files through the MATLAB reader (and matio under it), with the only
// candidate array or, when the input's last byte is odd, the variable "data".
#include "fuzz/MemoryFile.h"
#include "fuzz/RecordChecks.h"
#include "io/ReadMat.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetSampleMemoryCap(8ULL << 20);  // keeps each run small and fast
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ReadOptions options;
  options.Rate = 100.0;
  if (size > 0 && (data[size - 1] & 1) != 0) options.Variable = "data";
  WaveData record = LoadedRecord();
  MemoryFile file(data, size);
  CheckAfterRead(ReadMat(file.Path(), options, record), record, /*withCounts=*/false);
  return 0;
}
