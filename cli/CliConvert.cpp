// oscalyx-cli convert: the record as a standard CSV file, byte for byte what the
// window's conversion writes.
#include "cli/Cli.h"
#include "io/WriteCsv.h"

int RunConvert(const CliOptions& options, std::FILE* out, std::FILE* err) {
  WaveData record;
  std::string timeLabel;
  if (const int status = LoadRecord(options, record, timeLabel, err); status != kExitOk) return status;

  const std::string& target = options.positional[1];
  const WriteResult result = target == "-" ? WriteCsvTo(out, record) : WriteCsv(target, record);
  if (!result.ok) {
    PrintError(err, result.message);
    return kExitFailure;
  }
  return kExitOk;
}
