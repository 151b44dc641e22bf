// The standard CSV waveform reader: four header lines (channel names, sampling
// rate, memo, units) and one line per sample instant. The file is read twice:
// once to count its lines, so that every channel array is allocated once at its
// final size, and once to convert. Plain decimal cells are converted eight
// bytes at a time (CellNumbers.h), every other cell as ParseDecimal does.
#pragma once

#include <string>

#include "io/Progress.h"
#include "io/ReadResult.h"
#include "io/WaveData.h"

// Fills ChannelCount, SampleCount, Rate, Dt (1 / Rate in single precision),
// Names, Units and Samples of `record`.
// A file in UTF-16 or with NUL bytes in its first line is refused as not a
// text file; a UTF-8 byte-order mark before the first name is dropped.
// The rate is the decimal number at the start of line 2's first cell: "25.6"
// is 25.6 and "0.5" is 0.5 (taking only the integer part put every frequency
// of a 25.6 /s record 2.4 % off, and refused slow monitoring records); a whole
// rate reads as it always did. Rates from 0.000001 to 2147483647 are taken.
// A first line that holds ';' and no ',' marks a file written with the
// decimal comma: ';' separates the cells on every line and ',' is the decimal
// mark of every number (read as '.' is in other files, so "1,7641" is 1.7641,
// not 1). A first line naming more than 8 channels loads the first 8 and says
// so in the result's warnings.
// A file that changes between the passes (its size, modification time or line
// count) is refused: its last row would otherwise mix two versions of a line.
// The file is read into a fresh record that replaces the fields only when the
// read succeeded: a refused, unreadable or cancelled read leaves `record` as it
// was. Both passes go through a large file in pieces, on every core. Progress
// is reported (by bytes, the first pass a tenth of the whole) and the cancel
// flag checked every few thousand lines.
ReadResult ReadCsv(const std::string& path, WaveData& record, const Progress* progress = nullptr);

// How the cells of a standard CSV file are written: ',' between cells and '.'
// as the decimal mark, or ';' between cells and ',' as the decimal mark.
enum class CsvDialect { Comma, Semicolon };

// The data-line split, done on values: the same cells SplitLine finds, each
// converted as a data cell (cut to its first 1023 bytes, then ParseDecimal,
// with ',' read as the decimal mark in the semicolon dialect) and stored into
// values[k] for k below `wanted`. Positions without a cell keep their value,
// just as the shared cell array keeps its text. Returns the number of
// positions set.
int SplitLineValues(std::string_view line, float* values, int wanted, CsvDialect dialect = CsvDialect::Comma);

// A cell converted as a data cell of the dialect: ParseDecimal, with ','
// taking the place of '.' in the semicolon dialect (where '.' ends a number).
double ParseCellValue(std::string_view cell, CsvDialect dialect);

// Files up to `bytes` are read into memory at once and larger ones in blocks
// by both passes (32 MB unless set); for tests of the second way.
void SetCsvWholeFileLimit(unsigned long long bytes);

// The file's last-modification time in local time, "%d/%02d/%02d %02d:%02d:%02d",
// with the seconds in steps of two as the old file-time format holds them.
std::string FileTimeLabel(long long modificationTime);
