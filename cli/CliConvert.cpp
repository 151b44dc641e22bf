// oscalyx-cli convert: the record as a standard CSV file, byte for byte what the
// window's conversion writes.
#include "cli/Cli.h"
#include "io/WriteCsv.h"

int RunConvert(const CliOptions& options, std::FILE* out, std::FILE* err) {
  const std::string& target = options.positional[1];
  if (!OutputAllowed(options, target, err)) return kExitFailure;
  Session session;
  if (const int status = LoadSession(options, session, err); status != kExitOk) return status;

  const WriteResult result = target == "-" ? WriteCsvTo(out, session.Record()) : session.Convert(target);
  if (!result.ok) {
    PrintError(err, result.message);
    return kExitFailure;
  }
  return kExitOk;
}
