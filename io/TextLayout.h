// The layout of a plain text file of number columns, as loggers and other
// programs write them: the cell separator, the decimal mark, the header lines
// before the first row and the channel names they give. Found from the first
// lines of the file by trying every separator and mark and keeping the one
// that makes the most rows of numbers with one count of cells; what the user
// gave (ReadOptions) is taken as given.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "io/ReadOptions.h"

struct TextLayout {
  TextDelimiter Delimiter = TextDelimiter::Comma;
  char Decimal = '.';
  int Skip = 0;      // header lines before the first row
  int Columns = 0;   // cells on every row
  // The cells of the last header line when it has one per column (blanks and
  // quotes around them taken off); empty otherwise.
  std::vector<std::string> HeaderNames;
};

struct TextLayoutResult {
  std::optional<TextLayout> Layout;
  std::string Message;  // why no layout was found (UTF-8)
};

// The layout of a file whose first bytes are `head`. The last line of `head`
// counts only when `whole` (the head is the whole file), as it may be cut. A
// UTF-8 byte-order mark is no part of the first line.
TextLayoutResult DetectTextLayout(std::string_view head, bool whole, const ReadOptions& options);

// One line split into cells by the delimiter: runs of blanks and tabs for
// Blanks (none before the first cell), else every separator; an empty cell
// after the last separator is dropped. Cells are views into the line, with
// blanks around them kept.
std::vector<std::string_view> SplitTextCells(std::string_view line, TextDelimiter delimiter);

// The number a cell holds when the cell is nothing but a number: an optional
// sign, digits with the decimal mark, an optional exponent, blanks and one
// pair of double quotes around it allowed. Converted as ParseDecimal does.
std::optional<double> StrictNumber(std::string_view cell, char decimal);

// A header cell as a name: blanks and one pair of double quotes taken off.
std::string_view TrimmedName(std::string_view cell);

// The separator's character (' ' for Blanks) and its name for messages.
char DelimiterChar(TextDelimiter delimiter);
