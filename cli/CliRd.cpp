// oscalyx-cli rd: the random-decrement signature of one channel, written as a
// standard CSV record that the window and fit read as any other; with --fit
// also its evaluation, of the signature as computed (the file reads back to
// the same values).
#include <ctime>

#include <algorithm>
#include <span>

#include "analysis/RandomDecrement.h"
#include "analysis/SignatureInterval.h"
#include "cli/Cli.h"
#include "io/WriteCsv.h"

namespace {

// fit --channel 1 --start 0 --width W (with --f0, --h0) of the signature as a
// JSON object; empty, with the message on `err`, when the evaluation fails.
// The values are the signature's fit; its interval comes from the spread of
// the triggered segments of `samples`, the channel the signature was taken
// from, which the signature's own residuals cannot show.
std::string FitOfSignature(const CliOptions& options, const WaveData& signature, std::span<const float> samples,
                           const RandomDecrementSignature& rd, std::FILE* err) {
  CliOptions fit;
  fit.width = options.length;
  fit.f0 = options.f0;
  fit.f0Auto = options.f0Auto;
  fit.h0 = options.h0;
  Evaluation evaluation = EvaluateRecord(signature, std::nullopt, RequestFor(fit, signature, 0, 0), std::time(nullptr));
  if (!evaluation.Ok()) {
    PrintError(err, evaluation.Fit.Failure->Message);
    return {};
  }
  evaluation.Interval = SignatureInterval(samples, rd, evaluation.Fit);
  return FitJson(evaluation, DisplayRow(signature, 0, evaluation.Fit.Result));
}

}  // namespace

int RunRd(const CliOptions& options, std::FILE* out, std::FILE* err) {
  const std::string& target = options.positional[1];
  if (!OutputAllowed(options, target, err)) return kExitFailure;
  Session session;
  int index = 0;
  if (const int status = LoadSessionChannel(options, session, index, err); status != kExitOk) return status;
  const WaveData& record = session.Record();
  const RandomDecrementSignature rd = session.Signature(index, options.level, options.length);
  if (!rd.Ok()) {
    PrintError(err, rd.Failure->Message);
    const RandomDecrementFailureKind kind = rd.Failure->Kind;
    const bool usage = kind == RandomDecrementFailureKind::BadLevel || kind == RandomDecrementFailureKind::TooShort ||
                       kind == RandomDecrementFailureKind::TooLong;
    return usage ? kExitUsage : kExitFailure;
  }
  WaveData signature = SignatureRecord(record, index, rd);
  signature.Memo = SignatureMemo(options.level, options.length, 0, std::max(record.SampleCount, 1) - 1, rd.Triggers);
  // The file's name is the row's file name, as fit of that file would give it.
  SetRecordPath(signature, target == "-" ? SignatureFileName(SlotText(record.FileName), index + 1) : target);

  // Every value as it was computed ("%.9g"): "%f" would round a signature of
  // small amplitude to nothing.
  const WriteResult written = target == "-" ? WriteCsvTo(out, signature, nullptr, CsvValues::Exact)
                                            : WriteCsv(target, signature, nullptr, CsvValues::Exact);
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
  const std::vector<float>& samples = record.Samples[static_cast<std::size_t>(index)];
  const std::size_t count = std::min(samples.size(), static_cast<std::size_t>(std::max(record.SampleCount, 0)));
  const std::string fit = options.fit ? FitOfSignature(options, signature, std::span<const float>(samples.data(), count),
                                                       rd, err)
                                      : std::string();
  if (options.fit) json += ", \"fit\": " + (fit.empty() ? std::string("null") : fit);
  // With the signature on stdout, the counts go to stderr.
  std::fprintf(target == "-" ? err : out, "%s}\n", json.c_str());
  return options.fit && fit.empty() ? kExitFailure : kExitOk;
}
