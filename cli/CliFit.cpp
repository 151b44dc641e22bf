// oscalyx-cli fit: one evaluation of a channel's stretch, as the window's
// "評　価" does it, printed as the results-file row or as JSON.
#include <charconv>
#include <cmath>
#include <string_view>

#include "analysis/Acceptance.h"
#include "analysis/DampedFit.h"
#include "analysis/ResultRows.h"
#include "cli/Cli.h"
#include "io/ShiftJisText.h"
#include "io/NumberText.h"
#include "io/ResultsFile.h"

namespace {

// "%.9g" in the C locale: enough digits for a single-precision value to read
// back unchanged. JSON has no spelling for infinities or NaN: those are null.
std::string JsonReal(float value) {
  if (!std::isfinite(value)) return "null";
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                    std::chars_format::general, 9);
  return std::string(buffer, result.ptr);
}

std::string RowOf(std::string_view fileName, int channel, std::string_view name, const FitResult& r) {
  return FormatResultRow(fileName, channel, name, r);
}

}  // namespace

int RunFit(const CliOptions& options, std::FILE* out, std::FILE* err) {
  WaveData record;
  std::string timeLabel;
  if (const int status = LoadRecord(options, record, timeLabel, err); status != kExitOk) return status;
  if (options.channel < 1 || options.channel > record.ChannelCount) {
    PrintError(err, "oscalyx-cli: --channel must be between 1 and " + std::to_string(record.ChannelCount));
    return kExitUsage;
  }
  const int index = options.channel - 1;
  // Without --f0, what a load puts into the initial-frequency box.
  const double f0 = options.f0 ? *options.f0 : InitialFrequency(record.Rate);

  const FitEvaluation fit = EvaluateStretch(record.Samples[index], record.Rate, record.Dt, options.start,
                                            options.width, f0, options.h0);
  const bool logged = fit.Ok() || IsLoggedFailure(*fit.Failure);
  if (!options.log.empty() && logged &&
      !AppendLogRows("評価記録", options.log, EvaluationLogHeader(),
                     {EvaluationLogRow(options, record, index, options.start, f0, options.h0, fit)}, err)) {
    return kExitFailure;
  }
  if (!fit.Ok()) {
    PrintError(err, fit.Failure->Message);
    return kExitFailure;
  }
  const FitResult& r = fit.Result;

  const std::string_view fileName = SlotText(record.FileName);
  const std::string_view channelName = SlotText(record.Names[index]);
  if (!options.results.empty() &&
      !AppendResultsRows(options.results,
                         {FormatResultsFileRow(fileName, options.channel, channelName, r)},
                         err)) {
    return kExitFailure;
  }

  std::string row = RowOf(DisplayUtf8(fileName), options.channel,
                          DisplayUtf8(channelName), r);
  row.resize(row.size() - 2);  // the CR LF of the file
  if (!options.json) {
    std::fprintf(out, "%s\n", row.c_str());
    return kExitOk;
  }
  std::string json = "{\"A\": " + JsonReal(r.A);
  json += ", \"wn\": " + JsonReal(r.Wn);
  json += ", \"f\": " + JsonReal(r.F);
  json += ", \"T\": " + JsonReal(r.T);
  json += ", \"h\": " + JsonReal(r.H);
  json += ", \"phi\": " + JsonReal(r.Phi);
  json += ", \"ratio\": " + JsonReal(r.Ratio);
  json += ", \"passes\": " + std::to_string(r.Passes);
  json += IsAccepted(r.Ratio) ? ", \"accepted\": true" : ", \"accepted\": false";
  json += ", \"row\": " + JsonString(row) + "}\n";
  std::fputs(json.c_str(), out);
  return kExitOk;
}
