// Line splitting for the standard CSV reader. One cell array is shared by every
// split of one reading: a split overwrites only the positions it finds cells
// for, so a short line leaves the rest as the previous split left them.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

constexpr int kMaxCells = 8;               // cells after the eighth are counted, not kept
constexpr std::size_t kMaxCellLength = 1023;  // longer cells are cut to this many bytes

struct Cell {
  std::array<char, kMaxCellLength + 1> text;  // only the first `length` bytes count
  std::uint16_t length = 0;
  std::string_view View() const { return {text.data(), length}; }
};

using CellArray = std::array<Cell, kMaxCells>;

// Lines 2, 4 and the data lines: blanks, tabs and line feeds before a cell are
// skipped; a cell runs to the next comma, line feed or end of text, trailing
// blanks included; a comma after the last cell adds no cell. A NUL ends the
// text. Returns the number of cells found. `separator` is ';' in files
// written with the decimal comma.
int SplitLine(std::string_view line, CellArray& cells, char separator = ',');

// Line 1 (the channel names): cells are exactly the text between commas, up to
// the line feed or end of text; blanks stay and empty cells count. Returns the
// number of commas before the line end plus one, or 0 for an empty line.
int SplitNameLine(std::string_view line, CellArray& cells, char separator = ',');
