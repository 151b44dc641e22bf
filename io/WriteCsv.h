// Writes the record as a standard CSV file, the format the CSV reader takes:
// names, "%d,s", the memo placeholders MEMO1,MEMO2..., units, then one line of
// "%f" values per sample; every line ends with CR LF. The samples are written as
// they stand (filtered while the band-pass filter is on); raw counts never.
// Names and units are the record's own bytes, copied as they are (control
// characters replaced, see FieldText): they came from a data file and are
// already in its encoding.
#pragma once

#include <cstdio>
#include <string>

#include "io/Progress.h"
#include "io/WaveData.h"

struct WriteResult {
  bool ok = true;
  std::string message;     // UTF-8, when not ok and not cancelled
  bool cancelled = false;  // the caller asked the writer to stop (ok is false)
};

// How the samples are written: "%f", as the conversion always wrote them, or
// "%.9g", which reads back to the same single-precision value at any scale
// (the random-decrement signature, whose values may lie far below 1e-6).
enum class CsvValues { Fixed, Exact };

// Writes the file under a temporary name and renames it into place: a failure
// or a cancelled write leaves no partial file, and a file that was there stays
// as it was (see ReplacingFile). Progress is reported, and the cancel flag
// checked, at every megabyte written.
WriteResult WriteCsv(const std::string& path, const WaveData& record, const Progress* progress = nullptr,
                     CsvValues values = CsvValues::Fixed);
// The same onto an open stream; a cancelled write leaves what it wrote.
WriteResult WriteCsvTo(std::FILE* out, const WaveData& record, const Progress* progress = nullptr,
                       CsvValues values = CsvValues::Fixed);

// The name the conversion saves under: ".csv" is added only to a name without
// any extension ("data" gives "data.csv", "data.txt" stays).
std::string WithDefaultExtension(const std::string& path, const std::string& extension);
