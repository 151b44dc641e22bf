// oscalyx-cli fit: one evaluation of a channel's stretch, as the window's
// "評　価" does it, printed as the results-file row or as JSON.
#include "analysis/ResultRows.h"
#include "cli/Cli.h"

int RunFit(const CliOptions& options, std::FILE* out, std::FILE* err) {
  Session session;
  int index = 0;
  if (const int status = LoadSessionChannel(options, session, index, err); status != kExitOk) return status;
  const WaveData& record = session.Record();
  // The decays of the channel, for the flag of a stretch that starts too early.
  session.Detection(index);
  const Evaluation evaluation =
      EvaluateRecord(record, session.Band(), RequestFor(options, record, index, options.start), std::time(nullptr),
                     session.Facts(index));
  // The log keeps a failed evaluation of a valid stretch too; the results file
  // only what was evaluated.
  if (!options.log.empty() && !evaluation.LogRow.empty() &&
      !AppendLogRows("評価記録", options.log, EvaluationLogHeader(), {evaluation.LogRow}, err)) {
    return kExitFailure;
  }
  if (!evaluation.Ok()) {
    PrintError(err, evaluation.Fit.Failure->Message);
    return kExitFailure;
  }
  if (!options.results.empty() && !AppendResultsRows(options.results, {evaluation.ResultsRow}, err)) {
    return kExitFailure;
  }
  const std::string row = DisplayRow(record, index, evaluation.Fit.Result);
  std::fprintf(out, "%s\n", options.json ? FitJson(evaluation, row).c_str() : row.c_str());
  return kExitOk;
}
