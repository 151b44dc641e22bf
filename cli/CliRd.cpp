// oscalyx-cli rd: the random-decrement signature of one channel, written as a
// standard CSV record that the window and fit read as any other; with --fit
// also its evaluation, read back from that file.
#include "analysis/RandomDecrement.h"
#include <ctime>

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
  Session session;
  if (LoadSession(fit, session, err) != kExitOk) return {};
  const WaveData& record = session.Record();
  const Evaluation evaluation =
      EvaluateRecord(record, session.Band(), RequestFor(fit, record, 0, 0), std::time(nullptr));
  if (!evaluation.Ok()) {
    PrintError(err, evaluation.Fit.Failure->Message);
    return {};
  }
  return FitJson(evaluation, DisplayRow(record, 0, evaluation.Fit.Result));
}

}  // namespace

int RunRd(const CliOptions& options, std::FILE* out, std::FILE* err) {
  Session session;
  int index = 0;
  if (const int status = LoadSessionChannel(options, session, index, err); status != kExitOk) return status;
  const WaveData& record = session.Record();
  const RandomDecrementSignature rd = session.Signature(index, options.level, options.length);
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
