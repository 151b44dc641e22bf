// Whole CSV files through the reader, and each input as one line through the
// splitters, whose value split must agree with the text split.
#include <cstring>

#include "io/MyStr.h"
#include "fuzz/MemoryFile.h"
#include "fuzz/RecordChecks.h"
#include "io/NumberText.h"
#include "io/ReadCsv.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetSampleMemoryCap(8ULL << 20);  // keeps each run small and fast
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  CellArray cells;
  const int nameCount = SplitNameLine(line, cells);
  if (nameCount < 0) __builtin_trap();
  const int count = SplitLine(line, cells);
  float expected[kMaxCells];
  float actual[kMaxCells];
  for (int k = 0; k < kMaxCells; ++k) expected[k] = actual[k] = 1.5f;
  for (int k = 0; k < count && k < kMaxCells; ++k) expected[k] = static_cast<float>(ParseDecimal(cells[k].View()));
  SplitLineValues(line, actual, kMaxCells);
  if (std::memcmp(expected, actual, sizeof expected) != 0) __builtin_trap();

  // The record read before a refused file must stay as it was.
  WaveData record = LoadedRecord();
  MemoryFile file(data, size);
  CheckAfterRead(ReadCsv(file.Path(), record), record, /*withCounts=*/false);
  return 0;
}
