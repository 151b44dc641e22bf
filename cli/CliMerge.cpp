// oscalyx-cli merge: batch results files into one SQLite database, each file
// in one transaction; rows already there (same record, channel, start and
// settings) are not added again.
#include "cli/Cli.h"
#include "io/ResultsDatabase.h"

int RunMerge(const CliOptions& options, std::FILE* out, std::FILE* err) {
  int status = kExitOk;
  for (const std::string& path : options.positional) {
    const MergeOutcome merged = MergeIntoDatabase(options.db, path);
    if (!merged.Ok) {
      PrintError(err, merged.Error);
      status = kExitFailure;
      continue;
    }
    std::fprintf(out, "%s: %d 行のうち %d 行を追加\n", path.c_str(), merged.Rows, merged.Added);
  }
  return status;
}
