#include "io/MyStr.h"

namespace {

// Appends to a cell being built; bytes beyond the cell's capacity are dropped.
inline void Append(Cell& cell, char c) {
  if (cell.length < kMaxCellLength) cell.text[cell.length++] = c;
}

}  // namespace

int SplitLine(std::string_view line, CellArray& cells, char separator) {
  if (line.empty() || line[0] == '\0') return 0;
  int count = 0;
  bool inCell = false;
  static thread_local Cell scratch;  // cells past the eighth are built here and dropped
  Cell* current = nullptr;
  const auto begin = [&]() -> Cell& {
    current = count < kMaxCells ? &cells[count] : &scratch;
    current->length = 0;
    return *current;
  };
  for (std::size_t i = 0;; ++i) {
    const char c = i < line.size() ? line[i] : '\0';
    if (!inCell) {
      if (c == '\0') break;
      if (c == ' ' || c == '\t' || c == '\n') continue;
      if (c == separator) {
        begin();
        ++count;
        continue;
      }
      Append(begin(), c);
      inCell = true;
    } else {
      if (c == separator || c == '\n' || c == '\0') {
        ++count;
        inCell = false;
        if (c == '\0') break;
        continue;
      }
      Append(*current, c);
    }
  }
  return count;
}

int SplitNameLine(std::string_view line, CellArray& cells, char separator) {
  if (line.empty() || line[0] == '\0') return 0;
  int count = 0;
  static thread_local Cell scratch;
  Cell* current = &cells[0];
  current->length = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\n' || c == '\0') break;
    if (c == separator) {
      ++count;
      current = count < kMaxCells ? &cells[count] : &scratch;
      current->length = 0;
      continue;
    }
    Append(*current, c);
  }
  return count + 1;
}
