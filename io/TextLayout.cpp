#include "io/TextLayout.h"

#include <algorithm>

#include "io/NumberText.h"

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (IsBlank(text.front()) || text.front() == '\r')) text.remove_prefix(1);
  while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

// The lines of the head, without their line ends.
std::vector<std::string_view> HeadLines(std::string_view head, bool whole) {
  if (head.starts_with(kUtf8Bom)) head.remove_prefix(kUtf8Bom.size());
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < head.size()) {
    const std::size_t feed = head.find('\n', start);
    if (feed == std::string_view::npos) {
      if (whole) lines.push_back(head.substr(start));
      break;
    }
    std::string_view line = head.substr(start, feed - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = feed + 1;
  }
  return lines;
}

bool IsBlankLine(std::string_view line) { return TrimBlanks(line).empty(); }

// A cell that holds an integer written with a leading zero ("05", "-007"): no
// program writes integers so, which hints that the comma before it was a
// decimal mark.
bool PaddedInteger(std::string_view cell) {
  cell = TrimBlanks(cell);
  if (!cell.empty() && (cell[0] == '-' || cell[0] == '+')) cell.remove_prefix(1);
  if (cell.size() < 2 || cell[0] != '0') return false;
  return std::all_of(cell.begin(), cell.end(), IsDigit);
}

// How one separator and mark read the head.
struct Trial {
  TextDelimiter delimiter = TextDelimiter::Comma;
  char decimal = '.';
  int skip = 0;
  int columns = 0;
  int rows = 0;  // rows of numbers from `skip` on
  bool paddedIntegers = false;
  int preference = 0;  // lower is preferred where all else is equal
};

// The cells of a line when it is a row of numbers; nothing otherwise.
std::optional<std::vector<std::string_view>> NumberRow(std::string_view line, TextDelimiter delimiter, char decimal) {
  std::vector<std::string_view> cells = SplitTextCells(line, delimiter);
  if (cells.empty()) return std::nullopt;
  for (const std::string_view cell : cells) {
    if (!StrictNumber(cell, decimal)) return std::nullopt;
  }
  return cells;
}

std::optional<Trial> TryLayout(const std::vector<std::string_view>& lines, TextDelimiter delimiter, char decimal,
                               const std::optional<int>& givenSkip) {
  Trial trial;
  trial.delimiter = delimiter;
  trial.decimal = decimal;
  // Per line: -1 not a row of numbers, 0 blank, else its cells.
  std::vector<int> counts(lines.size(), -1);
  std::vector<bool> padded(lines.size(), false);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (IsBlankLine(lines[i])) {
      counts[i] = 0;
      continue;
    }
    if (const auto cells = NumberRow(lines[i], delimiter, decimal)) {
      counts[i] = static_cast<int>(cells->size());
      padded[i] = std::any_of(cells->begin(), cells->end(), PaddedInteger);
    }
  }
  // Runs of rows of numbers with one count of cells (blank lines within a run
  // do not end it).
  struct Run {
    std::size_t start = 0;
    int columns = 0;
    int rows = 0;
    bool padded = false;
  };
  std::vector<Run> runs;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (counts[i] == 0) continue;
    if (counts[i] < 0) {
      runs.push_back({i, -1, 0, false});  // ends the run before it
      continue;
    }
    if (runs.empty() || runs.back().columns != counts[i]) runs.push_back({i, counts[i], 0, false});
    ++runs.back().rows;
    runs.back().padded = runs.back().padded || padded[i];
  }
  const Run* chosen = nullptr;
  if (givenSkip) {
    // The rows start where the user says; the run that starts there counts.
    const auto first = static_cast<std::size_t>(*givenSkip);
    for (const Run& run : runs) {
      if (run.start >= first && run.rows > 0) {
        for (std::size_t i = first; i < run.start; ++i) {
          if (counts[i] != 0) return std::nullopt;
        }
        chosen = &run;
      }
      if (run.start >= first) break;
    }
    if (chosen == nullptr) return std::nullopt;
    trial.skip = *givenSkip;
  } else {
    // The rows have the count of cells of the longest run; they start at the
    // first row with that count. A lone number or a date written as numbers
    // in the header has another count; a line that is no row after the first
    // row is the reader's to refuse, never a reason to take the rows before
    // it for a header.
    for (const Run& run : runs) {
      if (run.rows > 0 && (chosen == nullptr || run.rows > chosen->rows)) chosen = &run;
    }
    if (chosen == nullptr) return std::nullopt;
    for (const Run& run : runs) {
      if (run.columns == chosen->columns) {
        trial.skip = static_cast<int>(run.start);
        break;
      }
    }
  }
  trial.columns = chosen->columns;
  trial.paddedIntegers = chosen->padded;
  for (const Run& run : runs) trial.rows = std::max(trial.rows, run.columns == chosen->columns ? run.rows : 0);
  trial.rows = std::max(trial.rows, chosen->rows);
  return trial;
}

// Whether trial a reads the head better than trial b.
bool Better(const Trial& a, const Trial& b) {
  if (a.rows != b.rows) return a.rows > b.rows;
  if (a.paddedIntegers != b.paddedIntegers) return !a.paddedIntegers;
  if (a.columns != b.columns) return a.columns > b.columns;
  return a.preference < b.preference;
}

}  // namespace

char DelimiterChar(TextDelimiter delimiter) {
  switch (delimiter) {
    case TextDelimiter::Comma: return ',';
    case TextDelimiter::Semicolon: return ';';
    case TextDelimiter::Tab: return '\t';
    case TextDelimiter::Blanks: return ' ';
  }
  return ',';
}

std::vector<std::string_view> SplitTextCells(std::string_view line, TextDelimiter delimiter) {
  std::vector<std::string_view> cells;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (delimiter == TextDelimiter::Blanks) {
    std::size_t i = 0;
    while (i < line.size()) {
      while (i < line.size() && IsBlank(line[i])) ++i;
      const std::size_t start = i;
      while (i < line.size() && !IsBlank(line[i])) ++i;
      if (i > start) cells.push_back(line.substr(start, i - start));
    }
    return cells;
  }
  if (IsBlankLine(line)) return cells;
  const char separator = DelimiterChar(delimiter);
  std::size_t start = 0;
  while (true) {
    const std::size_t at = line.find(separator, start);
    if (at == std::string_view::npos) {
      cells.push_back(line.substr(start));
      break;
    }
    cells.push_back(line.substr(start, at - start));
    start = at + 1;
  }
  // A separator at the end of the line adds no cell.
  if (cells.size() > 1 && TrimBlanks(cells.back()).empty()) cells.pop_back();
  return cells;
}

std::optional<double> StrictNumber(std::string_view cell, char decimal) {
  cell = TrimBlanks(cell);
  if (cell.size() >= 2 && cell.front() == '"' && cell.back() == '"') cell = TrimBlanks(cell.substr(1, cell.size() - 2));
  std::size_t i = 0;
  const std::size_t n = cell.size();
  if (i < n && (cell[i] == '+' || cell[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < n && IsDigit(cell[i])) ++i, ++digits;
  if (i < n && cell[i] == decimal) {
    ++i;
    while (i < n && IsDigit(cell[i])) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < n && (cell[i] == 'e' || cell[i] == 'E')) {
    ++i;
    if (i < n && (cell[i] == '+' || cell[i] == '-')) ++i;
    std::size_t exponent = 0;
    while (i < n && IsDigit(cell[i])) ++i, ++exponent;
    if (exponent == 0) return std::nullopt;
  }
  if (i != n) return std::nullopt;
  if (decimal == '.') return ParseDecimal(cell);
  std::string text(cell);
  std::replace(text.begin(), text.end(), decimal, '.');
  return ParseDecimal(text);
}

std::string_view TrimmedName(std::string_view cell) {
  cell = TrimBlanks(cell);
  if (cell.size() >= 2 && cell.front() == '"' && cell.back() == '"') cell = TrimBlanks(cell.substr(1, cell.size() - 2));
  return cell;
}

TextLayoutResult DetectTextLayout(std::string_view head, bool whole, const ReadOptions& options) {
  const std::vector<std::string_view> lines = HeadLines(head, whole);
  const std::vector<TextDelimiter> delimiters =
      options.Delimiter ? std::vector<TextDelimiter>{*options.Delimiter}
                        : std::vector<TextDelimiter>{TextDelimiter::Tab, TextDelimiter::Semicolon, TextDelimiter::Comma,
                                                     TextDelimiter::Blanks};
  const std::vector<char> decimals = options.Decimal ? std::vector<char>{*options.Decimal} : std::vector<char>{'.', ','};
  std::optional<Trial> best;
  int preference = 0;
  for (const TextDelimiter delimiter : delimiters) {
    for (const char decimal : decimals) {
      ++preference;
      // The comma cannot both separate cells and mark decimals.
      if (delimiter == TextDelimiter::Comma && decimal == ',') continue;
      std::optional<Trial> trial = TryLayout(lines, delimiter, decimal, options.Skip);
      if (!trial) continue;
      trial->preference = preference;
      if (!best || Better(*trial, *best)) best = trial;
    }
  }
  TextLayoutResult result;
  if (!best) {
    result.Message =
        "数値の行が見つかりません。区切り文字、小数点、見出しの行数を確かめてください"
        "（--delimiter、--decimal、--skip で指定できます）。";
    return result;
  }
  TextLayout layout;
  layout.Delimiter = best->delimiter;
  layout.Decimal = best->decimal;
  layout.Skip = best->skip;
  layout.Columns = best->columns;
  // The names: the last header line that is not blank, when it has a cell
  // for every column.
  for (int i = layout.Skip - 1; i >= 0; --i) {
    const std::string_view line = lines[static_cast<std::size_t>(i)];
    if (IsBlankLine(line)) continue;
    const std::vector<std::string_view> cells = SplitTextCells(line, layout.Delimiter);
    if (static_cast<int>(cells.size()) == layout.Columns) {
      for (const std::string_view cell : cells) layout.HeaderNames.emplace_back(TrimmedName(cell));
    }
    break;
  }
  result.Layout = std::move(layout);
  return result;
}
