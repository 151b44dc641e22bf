// oscalyx-cli fit: one evaluation of a channel's stretch, as the window's
// "評　価" does it, printed as the results-file row or as JSON.
#include "analysis/ResultRows.h"
#include "cli/Cli.h"

int RunFit(const CliOptions& options, std::FILE* out, std::FILE* err) {
  WaveData record;
  int index = 0;
  if (const int status = LoadRecordChannel(options, record, index, err); status != kExitOk) return status;
  const CliEvaluation evaluation = EvaluateChannel(record, index, options, options.start);
  // The log keeps a failed evaluation of a valid stretch too; the results file
  // only what was evaluated.
  const bool logged = evaluation.Fit.Ok() || IsLoggedFailure(*evaluation.Fit.Failure);
  if (!options.log.empty() && logged &&
      !AppendLogRows("評価記録", options.log, EvaluationLogHeader(),
                     {EvaluationLogRow(options, record, index, options.start, evaluation)}, err)) {
    return kExitFailure;
  }
  if (!evaluation.Fit.Ok()) {
    PrintError(err, evaluation.Fit.Failure->Message);
    return kExitFailure;
  }
  const FitResult& r = evaluation.Fit.Result;
  if (!options.results.empty() && !AppendResultsRows(options.results, {FileRow(record, index, r)}, err)) {
    return kExitFailure;
  }
  const std::string row = DisplayRow(record, index, r);
  std::fprintf(out, "%s\n", options.json ? FitJson(evaluation, row).c_str() : row.c_str());
  return kExitOk;
}
