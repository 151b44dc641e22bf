// oscalyx-cli rd: the random-decrement signature of one channel, written as a
// standard CSV record that the window and fit read as any other; with --fit
// also its evaluation, read back from that file.
#include "analysis/RandomDecrement.h"
#include "cli/Cli.h"
#include "io/WriteCsv.h"

namespace {

// fit OUT --channel 1 --start 0 --width W (with --f0, --h0) as a JSON object;
// empty, with the message on `err`, when the file cannot be read back or the
// evaluation fails.
std::string FitOfSignature(const CliOptions& options, std::FILE* err) {
  CliOptions fit;
  fit.command = "fit";
  fit.positional = {options.positional[1]};
  fit.type = FileKind::Csv;
  fit.channel = 1;
  fit.width = options.length;
  fit.f0 = options.f0;
  fit.h0 = options.h0;
  WaveData record;
  std::string timeLabel;
  if (LoadRecord(fit, record, timeLabel, err) != kExitOk) return {};
  const CliEvaluation evaluation = EvaluateChannel(record, 0, fit, 0);
  if (!evaluation.Fit.Ok()) {
    PrintError(err, evaluation.Fit.Failure->Message);
    return {};
  }
  return FitJson(evaluation, DisplayRow(record, 0, evaluation.Fit.Result));
}

}  // namespace

int RunRd(const CliOptions& options, std::FILE* out, std::FILE* err) {
  WaveData record;
  int index = 0;
  if (const int status = LoadRecordChannel(options, record, index, err); status != kExitOk) return status;
  const RandomDecrementSignature rd =
      RandomDecrement(record.Samples[static_cast<std::size_t>(index)], record.Rate, options.level, options.length);
  if (!rd.Ok()) {
    PrintError(err, rd.Failure->Message);
    return rd.Failure->Kind == RandomDecrementFailureKind::NoTrigger ? kExitFailure : kExitUsage;
  }
  // Written under a temporary name and renamed into place, as every file.
  const WriteResult written = WriteCsv(options.positional[1], SignatureRecord(record, index, rd));
  if (!written.ok) {
    PrintError(err, written.message);
    return kExitFailure;
  }

  std::string json = "{\"triggers\": " + std::to_string(rd.Triggers);
  json += ", \"sigma\": " + RealText(rd.Sigma);
  json += ", \"level\": " + RealText(rd.Level);
  json += ", \"samples\": " + std::to_string(rd.Length);
  // A failed evaluation leaves the written signature and the counts; its
  // message is on stderr.
  const std::string fit = options.fit ? FitOfSignature(options, err) : std::string();
  if (options.fit) json += ", \"fit\": " + (fit.empty() ? std::string("null") : fit);
  std::fprintf(out, "%s}\n", json.c_str());
  return options.fit && fit.empty() ? kExitFailure : kExitOk;
}
