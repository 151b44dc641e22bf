// oscalyx-cli plot: the waveform view as a PNG picture.
#include "cli/Cli.h"

int RunPlot(const CliOptions&, std::FILE*, std::FILE* err) {
  PrintError(err, "oscalyx-cli: plot is not built yet");
  return kExitUsage;
}
