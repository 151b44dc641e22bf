// The standard CSV waveform reader: four header lines (channel names, sampling
// rate, memo, units) and one line per sample instant. The file is read twice:
// once to count its lines, so that every channel array is allocated once at its
// final size, and once to convert.
#pragma once

#include <string>

#include "io/Progress.h"
#include "io/ReadResult.h"
#include "io/WaveData.h"

// Fills ChannelCount, SampleCount, Rate, Dt (1 / Rate in single precision),
// Names, Units and Samples of `record`.
// A file in UTF-16 or with NUL bytes in its first line is refused as not a
// text file; a UTF-8 byte-order mark before the first name is dropped.
// The file is read into a fresh record that replaces the fields only when the
// read succeeded: a refused, unreadable or cancelled read leaves `record` as it
// was. Both passes go through a large file in pieces, on every core. Progress
// is reported (by bytes, the first pass a tenth of the whole) and the cancel
// flag checked every few thousand lines.
ReadResult ReadCsv(const std::string& path, WaveData& record, const Progress* progress = nullptr);

// The data-line split, done on values: the same cells SplitLine finds, each
// converted as a data cell (cut to its first 1023 bytes, then ParseDecimal) and
// stored into values[k] for k below `wanted`. Positions without a cell keep
// their value, just as the shared cell array keeps its text. Returns the number
// of positions set.
int SplitLineValues(std::string_view line, float* values, int wanted);

// The file's last-modification time in local time, "%d/%02d/%02d %02d:%02d:%02d",
// with the seconds in steps of two as the old file-time format holds them.
std::string FileTimeLabel(long long modificationTime);
