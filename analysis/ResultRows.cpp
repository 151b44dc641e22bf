#include "analysis/ResultRows.h"

#include <charconv>
#include <cstdio>

#include "analysis/Acceptance.h"
#include "io/NumberText.h"
#include "io/ShiftJisText.h"

namespace {

// "%g" in the C locale, as the log writes widths and initial values.
std::string General(double value) { return FormatC("%g", value); }

// A, ωn, f, T, h, Φ and ratio as the results row writes them, comma-separated.
void AppendValues(std::string& row, const FitResult& r) {
  AppendFixed(row, r.A, 3);
  row += ',';
  AppendFixed(row, r.Wn, 3);
  row += ',';
  AppendFixed(row, r.Wn * kHzPerRadian, 3);
  row += ',';
  AppendFixed(row, kTwoPi / r.Wn, 3);
  row += ',';
  AppendFixed(row, r.H, 4);
  row += ',';
  AppendFixed(row, r.Phi, 3);
  row += ',';
  AppendFixed(row, r.Ratio, 3);
}

// "%.Ng" in the C locale.
std::string Significant(double value, int digits) {
  char text[40];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, digits);
  return std::string(text, result.ptr);
}

// A field of the log's own columns as RFC 4180 writes it: in double quotes,
// each inner quote doubled, when it holds a comma, a quote or a line break.
std::string Quoted(const std::string& field) {
  if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
  std::string out = "\"";
  for (const char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace

std::string ResultsHeaderLine() { return "filename,channel,comment,A,\x83\xD6n,f,T,h,\x83\xB3,Ratio\r\n"; }

std::string FormatResultRow(std::string_view fileName, int channelNumber, std::string_view channelName,
                            const FitResult& result) {
  std::string row;
  row.reserve(128);
  row += FieldText(fileName);
  row += ',';
  row += std::to_string(channelNumber);
  row += "ch,";
  row += FieldText(channelName);
  row += ',';
  AppendValues(row, result);
  row += "\r\n";
  return row;
}

std::string FormatResultsFileRow(std::string_view fileName, int channelNumber, std::string_view channelName,
                                 const FitResult& result) {
  return FormatResultRow(ShiftJisText(fileName), channelNumber, channelName, result);
}

std::string EvaluationLogHeader() {
  return ShiftJisText(
             "日時,ファイル名,チャンネル,チャンネル名,開始点,表示時間幅,フィルタ,初期f,初期h,"
             "A,ωn,f,T,h,Φ,Ratio,繰返回数,判定,se_f,se_h,f下限,f上限,h下限,h上限,警告,フォルダ,SHA-256,版") +
         "\r\n";
}

bool IsLoggedFailure(const FitFailure& failure) {
  switch (failure.Kind) {
    case FitFailureKind::DampingOutOfRange:
    case FitFailureKind::SolverFailed:
    case FitFailureKind::PassLimit:
    case FitFailureKind::Diverged:
      return true;
    case FitFailureKind::StartOutside:
    case FitFailureKind::PointsPastEnd:
    case FitFailureKind::BadSamples:
    case FitFailureKind::BadInput:
      return false;
  }
  return false;
}

std::string FormatLogRow(const LogEntry& entry) {
  std::string row;
  std::tm local{};
  char when[64] = "";
  if (localtime_r(&entry.When, &local) != nullptr) std::strftime(when, sizeof when, "%Y/%m/%d %H:%M:%S", &local);
  row += when;
  row += ',';
  row += Quoted(ShiftJisText(FieldText(entry.FileName)));
  row += ',' + std::to_string(entry.ChannelNumber) + ',';
  row += Quoted(FieldText(entry.ChannelName));
  row += ',' + std::to_string(entry.Start) + ',' + General(entry.WidthSeconds) + ',';
  if (entry.Band) {
    row += FormatC("%.2f-%.2fHz", static_cast<double>(entry.Band->Lower), static_cast<double>(entry.Band->Upper));
  } else {
    row += ShiftJisText("なし");
  }
  row += ',' + General(entry.F0) + ',' + General(entry.H0) + ',';
  const FitEvaluation& evaluation = *entry.Evaluation;
  if (evaluation.Ok()) {
    AppendValues(row, evaluation.Result);
    row += ',' + std::to_string(evaluation.Result.Passes) + ',';
    if (!entry.Verdict.empty()) row += ShiftJisText(entry.Verdict);
    else row += ShiftJisText(IsAccepted(evaluation.Result.Ratio) ? "採用" : "不採用");
  } else {
    row += ",,,,,,,";  // A to Ratio: nothing was found
    row += Quoted(ShiftJisText(evaluation.Failure->Message)) + ',' + ShiftJisText("失敗");
  }
  row += ',';
  if (entry.SeF) row += Significant(*entry.SeF, 3);
  row += ',';
  if (entry.SeH) row += Significant(*entry.SeH, 3);
  for (const auto bound : {&FitInterval::FLow, &FitInterval::FHigh, &FitInterval::HLow, &FitInterval::HHigh}) {
    row += ',';
    if (entry.Interval) row += Significant(*entry.Interval.*bound, 6);
  }
  row += ',' + Quoted(entry.Flags);
  row += ',' + Quoted(ShiftJisText(entry.Folder));
  row += ',' + Quoted(std::string(entry.Sha256));
  row += ',' + Quoted(ShiftJisText(entry.Version));
  row += "\r\n";
  return row;
}
