#include "io/BatchRows.h"

#include <fstream>

#include "io/SystemErrorText.h"

namespace {

constexpr std::string_view kColumnNames[kBatchColumns] = {
    "file", "sha256", "channel", "name",  "onset", "start",    "end",      "peak",  "f",   "h",
    "f_lo", "f_hi",   "h_lo",    "h_hi",  "ratio", "accepted", "flags",    "settings", "error", "time",
};

bool NeedsQuotes(std::string_view text) { return text.find_first_of(",\"") != std::string_view::npos; }

}  // namespace

std::string_view BatchColumnName(BatchColumn column) { return kColumnNames[static_cast<std::size_t>(column)]; }

std::string BatchHeaderLine() {
  std::string line;
  for (std::size_t c = 0; c < kBatchColumns; ++c) {
    if (c > 0) line += ',';
    line += kColumnNames[c];
  }
  return line + "\n";
}

bool IsBatchHeader(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  const std::string header = BatchHeaderLine();
  return line == std::string_view(header).substr(0, header.size() - 1);
}

std::string FormatBatchRow(const BatchRow& row) {
  std::string line;
  for (std::size_t c = 0; c < kBatchColumns; ++c) {
    if (c > 0) line += ',';
    std::string cell = row[c];
    for (char& ch : cell) {
      if (ch == '\n' || ch == '\r') ch = ' ';
    }
    if (!NeedsQuotes(cell)) {
      line += cell;
      continue;
    }
    line += '"';
    for (const char ch : cell) {
      if (ch == '"') line += '"';
      line += ch;
    }
    line += '"';
  }
  return line + "\n";
}

std::optional<BatchRow> ParseBatchRow(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  BatchRow row;
  std::size_t column = 0;
  std::size_t i = 0;
  for (;;) {
    if (column >= kBatchColumns) return std::nullopt;
    std::string& cell = row[column];
    if (i < line.size() && line[i] == '"') {
      ++i;
      for (;;) {
        if (i >= line.size()) return std::nullopt;  // the quote never closes
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            cell += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        cell += line[i++];
      }
      if (i < line.size() && line[i] != ',') return std::nullopt;
    } else {
      const std::size_t comma = std::min(line.find(',', i), line.size());
      cell.assign(line.substr(i, comma - i));
      i = comma;
    }
    ++column;
    if (i >= line.size()) break;
    ++i;  // the comma
  }
  if (column != kBatchColumns) return std::nullopt;
  return row;
}

std::string BatchResumeKey(std::string_view sha256OrFile, std::string_view channel, std::string_view settings) {
  std::string key(sha256OrFile);
  key += '\x1f';
  key += channel;
  key += '\x1f';
  key += settings;
  return key;
}

std::string BatchResumeKey(const BatchRow& row) {
  const std::string& sha = Cell(row, BatchColumn::Sha256);
  return BatchResumeKey(sha.empty() ? "file:" + Cell(row, BatchColumn::File) : sha, Cell(row, BatchColumn::Channel),
                        Cell(row, BatchColumn::Settings));
}

bool IsBatchResultsFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string line;
  return in && std::getline(in, line) && IsBatchHeader(line);
}

bool ReadBatchFile(const std::string& path, std::vector<BatchRow>& rows, std::string& error, int* skipped) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "結果ファイル「" + path + "」を開けません：" + SystemErrorText(errno) + "。";
    return false;
  }
  std::string line;
  if (!std::getline(in, line) || !IsBatchHeader(line)) {
    error = "「" + path + "」は batch の結果ファイルではありません（先頭行が見出しではありません）。";
    return false;
  }
  int passedOver = 0;
  while (std::getline(in, line)) {
    if (in.eof()) {
      ++passedOver;  // a last line without its line end was torn
      break;
    }
    if (std::optional<BatchRow> row = ParseBatchRow(line)) {
      rows.push_back(std::move(*row));
    } else {
      ++passedOver;
    }
  }
  if (in.bad()) {
    error = "結果ファイル「" + path + "」を読めません。";
    return false;
  }
  if (skipped != nullptr) *skipped = passedOver;
  return true;
}
