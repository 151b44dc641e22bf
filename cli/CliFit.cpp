// oscalyx-cli fit: one evaluation of a channel's stretch.
#include "cli/Cli.h"

int RunFit(const CliOptions&, std::FILE*, std::FILE* err) {
  PrintError(err, "oscalyx-cli: fit is not built yet");
  return kExitUsage;
}
