// The rows of a batch's results file (RESULTS.csv): UTF-8, LF line ends, one
// row per evaluation of a suggested stretch, fields quoted as RFC 4180 quotes
// them. A row's cells are kept as text, exactly as the file holds them, so
// that a merge stores what the batch wrote; a line break inside a text becomes
// a blank, so every row is one line and a resumed run can read the file line
// by line.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class BatchColumn {
  File,      // the record's path as given or found under the folder
  Sha256,    // of the record file; empty when it could not be read
  Channel,   // 1-based; empty in the row of a record that could not be read
  Name,      // the channel's name, UTF-8
  Onset,     // the decay's onset, start and end samples (detect)
  Start,
  End,
  Peak,      // the decay's largest envelope value, units of the samples
  F,         // Hz
  H,
  FLow,      // the 95 % interval of f and h
  FHigh,
  HLow,
  HHigh,
  Ratio,
  Accepted,  // 1 or 0
  Flags,     // warning names joined by ';'
  Settings,  // short hash of the options that change results
  Error,     // why there is no result
  Time,      // the record's time as its reader found it, "YYYY-MM-DD HH:MM:SS"
  Count
};

inline constexpr std::size_t kBatchColumns = static_cast<std::size_t>(BatchColumn::Count);

using BatchRow = std::array<std::string, kBatchColumns>;

inline std::string& Cell(BatchRow& row, BatchColumn column) { return row[static_cast<std::size_t>(column)]; }
inline const std::string& Cell(const BatchRow& row, BatchColumn column) {
  return row[static_cast<std::size_t>(column)];
}

// The column names in order ("file", "sha256", ...).
std::string_view BatchColumnName(BatchColumn column);
// The header line with its LF.
std::string BatchHeaderLine();
// Whether a line (without its line end) is the header.
bool IsBatchHeader(std::string_view line);

// One row as a line with its LF.
std::string FormatBatchRow(const BatchRow& row);
// The cells of one line (without its line end); nothing when the line does not
// hold exactly kBatchColumns cells or its quotes do not close.
std::optional<BatchRow> ParseBatchRow(std::string_view line);

// The key under which a batch skips work already done: sha256 (or, for a file
// that could not be read at all, its path), channel and settings.
std::string BatchResumeKey(const BatchRow& row);
std::string BatchResumeKey(std::string_view sha256OrFile, std::string_view channel, std::string_view settings);

// Whether the file's first line is the header (a results file, never a record).
bool IsBatchResultsFile(const std::string& path);

// The rows of a results file; false with `error` (Japanese) when it cannot be
// read or its first line is not the header. Lines that are not rows (a torn
// last line) are passed over and counted in `skipped`.
bool ReadBatchFile(const std::string& path, std::vector<BatchRow>& rows, std::string& error, int* skipped = nullptr);
