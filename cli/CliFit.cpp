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
  if (!evaluation.Ok()) {
    // The log keeps a failed evaluation of a valid stretch too; the results
    // file only what was evaluated.
    AppendEvaluationRows(options, {}, evaluation.LogRow, err, [] { return true; });
    PrintError(err, evaluation.Fit.Failure->Message);
    return kExitFailure;
  }
  const std::string row = DisplayRow(record, index, evaluation.Fit.Result);
  // The row is printed once both files are locked and appended only once it
  // is out: a busy file or a closed stdout appends nothing, to either file.
  const bool done = AppendEvaluationRows(options, evaluation.ResultsRow, evaluation.LogRow, err, [&] {
    std::fprintf(out, "%s\n", options.json ? FitJson(evaluation, row).c_str() : row.c_str());
    return StdoutWritten(out, err);
  });
  return done ? kExitOk : kExitFailure;
}
