// Whole text files through the plain text reader, with the read options taken
// from the input's first byte: a rate or a time column, the separator and
// decimal mark detected or given.
#include "fuzz/MemoryFile.h"
#include "fuzz/RecordChecks.h"
#include "io/ReadText.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetSampleMemoryCap(8ULL << 20);  // keeps each run small and fast
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t choice = data[0];
  ReadOptions options;
  if (choice & 1) options.TimeColumn = 1 + (choice >> 1 & 3);
  else options.Rate = 100.0;
  if (choice & 8) options.Delimiter = static_cast<TextDelimiter>(choice >> 4 & 3);
  if (choice & 64) options.Decimal = choice & 128 ? ',' : '.';
  WaveData record = LoadedRecord();
  MemoryFile file(data + 1, size - 1);
  CheckAfterRead(ReadText(file.Path(), options, record), record, /*withCounts=*/false);
  return 0;
}
