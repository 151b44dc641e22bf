// The one-page report for the client: everything the page shows, gathered as
// numbers and UTF-8 texts without any toolkit, so that the window and the
// command line hand the same content to the page routine
// (components/qt/ReportPage), which only lays it out and paints it. Two
// kinds: the report of a record's evaluations, and the monitoring view of many
// records' results (f and h against time and against amplitude).
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/BandPass.h"
#include "io/BatchRows.h"
#include "io/WaveData.h"
#include "session/Evaluation.h"

// One graph of the page. Lines are already reduced to what a page can show
// (at most a few thousand points, extremes kept).
struct ReportPlot {
  enum class Role {
    Data,      // the measured samples
    Fit,       // the fitted curve
    Points,    // the fit's points on it
    Residual,  // samples minus the fit
    Accepted,  // accepted results (filled marks)
    Rejected,  // results not accepted (open marks)
  };
  struct Series {
    Role Kind = Role::Data;
    std::vector<double> X;
    std::vector<double> Y;
    int Palette = -1;    // ≥ 0: one of a few colours that tell sensors apart (with Legend)
    std::string Legend;  // named in the graph's corner when not empty
  };
  std::string Title;
  std::string XLabel;
  std::string YLabel;
  bool XIsTime = false;  // X in seconds since 1970 (local time read as UTC), labels as dates
  std::vector<Series> Lines;
  std::vector<std::pair<double, std::string>> Levels;  // horizontal lines: y and their labels (averages)
  std::vector<std::pair<double, double>> Spans;        // shaded x ranges (the evaluated stretches)
  std::string Empty;                                   // shown instead when there is nothing to draw
};

// Graphs side by side, `Height` millimetres high.
struct ReportPlotRow {
  double Height = 40.0;
  std::vector<ReportPlot> Plots;
};

struct ReportTable {
  std::vector<std::string> Header;
  std::vector<double> Widths;  // relative widths of the columns
  std::vector<std::vector<std::string>> Rows;
  std::string Note;  // under the table: rows left out, and where they are
};

struct ReportContent {
  std::string Title;
  std::vector<std::pair<std::string, std::string>> Facts;  // label and value, in order
  ReportTable Table;
  std::vector<ReportPlotRow> Plots;
  std::string Summary;   // the averages of the accepted results
  std::string Version;   // "oscalyx 2.0 (1a2b3c4)"
  std::string Date;      // when the report was made, local time
  std::string Operator;  // empty: not set
  std::string PageText = "1 / 1";
  // The machine-readable rows behind the page, attached to a PDF.
  std::string AttachmentName;
  std::string Attachment;
};

// Rows a page's table shows at most; the rest are in the attachment.
inline constexpr std::size_t kReportTableRows = 12;
// Points of a line on the page at most (pairs of extremes per column).
inline constexpr std::size_t kReportLinePoints = 1600;

// What a record's report is made of.
struct RecordReportRequest {
  const WaveData* Record = nullptr;
  std::optional<BandEdges> Band;
  std::string Sha256;     // of the record file; empty: unknown
  std::string TimeLabel;  // the recording time the reader found
  std::vector<const Evaluation*> Evaluations;  // in the order evaluated
  std::string Operator;
  std::time_t When = 0;
};

// The report of one record: its facts, the filter, a table of the evaluated
// stretches, the channel whole with the stretches marked, the first accepted
// stretch (else the first evaluated) with its fit and residual, and f and h
// against |A| with the averages of the accepted results. The attachment is
// the evaluation log's rows (UTF-8).
ReportContent GatherRecordReport(const RecordReportRequest& request);

// The monitoring view of a batch's results (a results file or the database
// merged from them): f and h of the accepted rows against the records' times
// and against the decays' peak amplitude, and per channel name the count and
// means. `source` names where the rows came from. The attachment is the rows.
ReportContent GatherTrendReport(const std::vector<BatchRow>& rows, const std::string& source,
                                const std::string& operatorName, std::time_t when);

// The kinds of file a report is written as, by the extension (any case) of
// its path: ".pdf", ".png", ".svg"; nothing for any other.
enum class ReportFormat { Pdf, Png, Svg };
std::optional<ReportFormat> ReportFormatOf(std::string_view path);

// "2026/12/08 09:40" in local time.
std::string ReportDateText(std::time_t when);
