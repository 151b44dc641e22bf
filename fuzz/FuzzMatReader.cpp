// Whole files through the MATLAB reader (and matio under it), with the only
// candidate array or, when the input's last byte is odd, the variable "data".
//
// Built twice. FuzzMatReader takes version 5 files, whose structure the reader
// checks before matio sees them: matio must never allocate by a length the
// file cannot back. FuzzMat73Reader (FUZZ_MAT73) takes version 7.3 files, read
// by the HDF5 library, which allocates by the lengths it finds before it
// checks them against the file's end; it runs with allocations above a
// gigabyte failing, as they would on a smaller machine (see the Makefile).
#include "fuzz/MemoryFile.h"
#include "fuzz/RecordChecks.h"
#include "io/ReadMat.h"

namespace {

// A MATLAB header whose version word says 7.3, in either byte order.
bool SaysVersion73(const std::uint8_t* data, std::size_t size) {
  if (size < 128) return false;
  const bool little = data[126] == 'I' && data[127] == 'M';
  const bool big = data[126] == 'M' && data[127] == 'I';
  return (little && data[124] == 0x00 && data[125] == 0x02) || (big && data[124] == 0x02 && data[125] == 0x00);
}

#ifdef FUZZ_MAT73
constexpr bool kVersion73 = true;
#else
constexpr bool kVersion73 = false;
#endif

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetSampleMemoryCap(8ULL << 20);  // keeps each run small and fast
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (SaysVersion73(data, size) != kVersion73) return -1;  // the other build's input: not kept
  ReadOptions options;
  options.Rate = 100.0;
  if (size > 0 && (data[size - 1] & 1) != 0) options.Variable = "data";
  WaveData record = LoadedRecord();
  MemoryFile file(data, size);
  CheckAfterRead(ReadMat(file.Path(), options, record), record, /*withCounts=*/false);
  return 0;
}
