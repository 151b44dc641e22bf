// What the program writes about an evaluation, as text: the rows of the
// results file "減衰特性.csv" and of the evaluation log "評価記録.csv". The
// files themselves (locking, appending) are io/ResultsFile.
//
// Both files are Shift-JIS with CR LF line ends. A file name comes from the
// file system as UTF-8 and is written in Shift-JIS where every character has
// a code; a channel name is the record's own bytes and is copied as it is.
// Control characters in either become '?' (FieldText): a name cannot end a row.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "analysis/BandPass.h"
#include "analysis/DampedFit.h"
#include "analysis/FitInterval.h"

// The results file's header line in Shift-JIS bytes: ω is 0x83 0xD6, Φ is
// 0x83 0xB3.
std::string ResultsHeaderLine();

// One row, "%s,%dch,%s,%.3f,%.3f,%.3f,%.3f,%.4f,%.3f,%.3f" and CR LF: file
// name, channel number, channel name, A, ωn, f, T, h, Φ and ratio, with f and
// T computed from ωn. Names are copied byte for byte, control characters
// replaced, and nothing is quoted.
std::string FormatResultRow(std::string_view fileName, int channelNumber, std::string_view channelName,
                            const FitResult& result);

// The row as the results file holds it: the file name in Shift-JIS.
std::string FormatResultsFileRow(std::string_view fileName, int channelNumber, std::string_view channelName,
                                 const FitResult& result);

// The evaluation log: one row per evaluation, accepted or not, and per failed
// evaluation of a valid stretch, never emptied, so that every result can be
// traced to the stretch, width and filter it came from.
inline constexpr char kEvaluationLogName[] = "評価記録.csv";

// The log's header line, Shift-JIS, CR LF.
std::string EvaluationLogHeader();

// One evaluation as the log records it.
struct LogEntry {
  std::time_t When = 0;            // local date and time of the evaluation
  std::string_view FileName;       // as the record stores it
  int ChannelNumber = 1;           // 1-based
  std::string_view ChannelName;
  std::int64_t Start = 0;          // first sample of the stretch
  float WidthSeconds = 0.0f;
  std::optional<BandEdges> Band;   // the band-pass edges while the filter is on
  double F0 = 0.0;                 // initial values of the evaluation
  double H0 = 0.0;
  const FitEvaluation* Evaluation = nullptr;  // finished or failed
  std::optional<double> SeF;       // standard errors of f (Hz) and h, when known
  std::optional<double> SeH;
  // In place of "採用"/"不採用": what became of a stored result later
  // ("除外" when the user took it out of the scatter plot, "除外取消" when
  // that was undone). Empty for the evaluation's own row.
  std::string_view Verdict;
  // Since the log's second version: the 95 % intervals of f and h, the flags
  // joined by ';', the record's folder (absolute), the SHA-256 of its file and
  // the program's version (with, for an evaluation a detector started, its
  // settings).
  std::optional<FitInterval> Interval;
  std::string Flags;
  std::string_view Folder;
  std::string_view Sha256;
  std::string Version;
};

// Whether a failed evaluation belongs in the log: the iteration failed on a
// valid stretch. Refusals of the input (a start outside the record, points
// past its end, unusable values) evaluated nothing.
bool IsLoggedFailure(const FitFailure& failure);

// The log row, Shift-JIS, CR LF: date and time, file name, channel, channel
// name, start, width "%g", band "%.2f-%.2fHz" or "なし", initial f and h
// "%g", A to ratio as in the results row, passes, "採用" or "不採用"; a failed
// evaluation leaves the values empty, puts its message where the passes go and
// "失敗" as its verdict; then se(f) and se(h) "%.3g", the interval's bounds
// "%.6g" (empty when unknown), the flags, the folder, the SHA-256 and the
// version. A field that holds a comma, a double quote or a line break is
// quoted as RFC 4180 quotes it.
std::string FormatLogRow(const LogEntry& entry);
