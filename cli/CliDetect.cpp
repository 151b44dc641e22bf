// oscalyx-cli detect: the free decays of a channel, each with the stretch a
// fit should start from.
#include "cli/Cli.h"

int RunDetect(const CliOptions& options, std::FILE* out, std::FILE* err) {
  Session session;
  int index = 0;
  if (const int status = LoadSessionChannel(options, session, index, err); status != kExitOk) return status;
  const DecayDetection& found = session.Detection(index);
  if (!found.Ok()) {
    PrintError(err, found.Failure->Message);
    return kExitFailure;
  }
  if (options.json) {
    std::string json = "{\"decays\": [";
    for (std::size_t k = 0; k < found.Decays.size(); ++k) {
      const DetectedDecay& d = found.Decays[k];
      json += std::string(k > 0 ? ", " : "") + "{\"onset\": " + std::to_string(d.Onset) +
              ", \"start\": " + std::to_string(d.Start) + ", \"end\": " + std::to_string(d.End) +
              ", \"peak\": " + RealText(d.Peak) + ", \"f\": " + RealText(d.F) + ", \"cycles\": " + RealText(d.Cycles) +
              "}";
    }
    std::fprintf(out, "%s]}\n", json.c_str());
    return kExitOk;
  }
  std::fputs("onset,start,end,peak,f,cycles\n", out);
  for (const DetectedDecay& d : found.Decays) {
    std::fprintf(out, "%lld,%lld,%lld,%s,%s,%s\n", static_cast<long long>(d.Onset), static_cast<long long>(d.Start),
                 static_cast<long long>(d.End), RealText(d.Peak).c_str(), RealText(d.F).c_str(),
                 RealText(d.Cycles).c_str());
  }
  return kExitOk;
}
