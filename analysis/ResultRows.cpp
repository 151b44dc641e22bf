#include "analysis/ResultRows.h"

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
             "A,ωn,f,T,h,Φ,Ratio,繰返回数,判定,se_f,se_h") +
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
  row += ShiftJisText(FieldText(entry.FileName));
  row += ',' + std::to_string(entry.ChannelNumber) + ',';
  row += FieldText(entry.ChannelName);
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
    row += ShiftJisText(evaluation.Failure->Message) + ',' + ShiftJisText("失敗");
  }
  row += ',';
  if (entry.SeF) AppendFixed(row, *entry.SeF, 4);
  row += ',';
  if (entry.SeH) AppendFixed(row, *entry.SeH, 5);
  row += "\r\n";
  return row;
}
