// The reader of plain text columns, as data loggers and other programs export
// them: any separator and decimal mark (TextLayout), header lines, one row of
// numbers per line. The file is read into memory once; its rows are counted
// and converted in pieces on every core. Unlike the standard CSV format,
// nothing is guessed inside the data: a row with another count of cells or a
// cell that is not a number is refused with its line, as is a file without
// its rate.
#pragma once

#include <string>
#include <string_view>

#include "io/Progress.h"
#include "io/ReadOptions.h"
#include "io/ReadResult.h"
#include "io/WaveData.h"

// Fills ChannelCount, SampleCount, Rate, Dt, Names and Units and Samples.
// The rate is options.Rate, or, with options.TimeColumn (1-based), 1 / the
// median step of that column (taken in seconds), which is then no channel;
// exactly one of the two must be given. Blank lines carry no row. Names come
// from options.Names, else from the last header line when it has one cell
// per column, else "ch1", "ch2", ...; every unit is options.Unit (empty when
// not given). More than 8 channels: the first 8 are read, with a warning; an
// uneven time column gives a warning too. A refused, unreadable or cancelled
// read leaves `record` as it was.
ReadResult ReadText(const std::string& path, const ReadOptions& options, WaveData& record,
                    const Progress* progress = nullptr);

// ReadText on text already in memory, followed by kCellOverread readable
// bytes (see CellNumbers.h); the time label is left empty. Unless `whole`,
// the text is the start of a file and its last line, which may be cut, is no
// row.
ReadResult ParseText(std::string_view text, bool whole, const ReadOptions& options, WaveData& record,
                     const Progress* progress = nullptr);

// The rate of a time column from the median of its steps: the step is first
// rounded to the decimals the column is written with (`decimals`; negative
// when unknown), then the rate to nine significant digits, so that a step of
// 0.001 s gives 1000 /s exactly.
double RateFromStep(double medianStep, int decimals);
