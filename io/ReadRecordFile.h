// The one way to read a record file: the reader its kind names, with the read
// options the kinds of other instruments take. The standard CSV and SPC-51
// readers take no options; everything after the read is the same for every
// kind.
#pragma once

#include <string>

#include "io/Progress.h"
#include "io/ReadOptions.h"
#include "io/ReadResult.h"
#include "io/WaveData.h"

// Fills the record's channels, samples, rate, Dt, names and units as the
// kind's reader does (see ReadCsv, ReadSpc51, ReadText, ReadWav, ReadUff,
// ReadMat); a refused, unreadable or cancelled read leaves `record` as it was.
ReadResult ReadRecordFile(const std::string& path, FileKind kind, const ReadOptions& options, WaveData& record,
                          const Progress* progress = nullptr);
