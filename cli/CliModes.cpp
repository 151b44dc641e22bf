// oscalyx-cli modes: several damped modes of one stretch fitted together,
// each with its standard errors and 95 % intervals.
#include <cmath>

#include "cli/Cli.h"

namespace {

std::string Real(double value) { return std::isfinite(value) ? RealText(value) : std::string("null"); }

std::string ModeJson(const DampedMode& mode) {
  std::string json = "{\"f\": " + Real(mode.F) + ", \"h\": " + Real(mode.H) + ", \"A\": " + Real(mode.A) +
                     ", \"phi\": " + Real(mode.Phi);
  if (mode.Se) {
    json += ", \"se\": {\"A\": " + Real(mode.Se->A) + ", \"f\": " + Real(mode.Se->F) + ", \"h\": " + Real(mode.Se->H) +
            ", \"phi\": " + Real(mode.Se->Phi) + "}";
  } else {
    json += ", \"se\": null";
  }
  if (mode.FInterval && mode.HInterval) {
    json += ", \"interval\": {\"f\": [" + Real(mode.FInterval->Lower) + ", " + Real(mode.FInterval->Upper) +
            "], \"h\": [" + Real(mode.HInterval->Lower) + ", " + Real(mode.HInterval->Upper) +
            "], \"level\": 0.95, \"method\": \"residual-spectrum sandwich\"}";
  } else {
    json += ", \"interval\": null";
  }
  return json + "}";
}

}  // namespace

int RunModes(const CliOptions& options, std::FILE* out, std::FILE* err) {
  Session session;
  int index = 0;
  if (const int status = LoadSessionChannel(options, session, index, err); status != kExitOk) return status;
  const ModesFit fit = session.Modes(index, options.start, options.width, options.count);
  if (!fit.Ok()) {
    PrintError(err, *fit.Failure);
    return kExitFailure;
  }
  if (options.json) {
    std::string json = "{\"modes\": [";
    for (std::size_t k = 0; k < fit.Modes.size(); ++k) json += (k > 0 ? ", " : "") + ModeJson(fit.Modes[k]);
    std::fprintf(out, "%s], \"ratio\": %s}\n", json.c_str(), Real(fit.Ratio).c_str());
    return kExitOk;
  }
  std::fputs("mode,f,h,A,phi,f_lo,f_hi,h_lo,h_hi\n", out);
  for (std::size_t k = 0; k < fit.Modes.size(); ++k) {
    const DampedMode& mode = fit.Modes[k];
    std::string line = std::to_string(k + 1) + "," + RealText(mode.F) + "," + RealText(mode.H) + "," +
                       RealText(mode.A) + "," + RealText(mode.Phi);
    if (mode.FInterval && mode.HInterval) {
      for (const double bound : {mode.FInterval->Lower, mode.FInterval->Upper, mode.HInterval->Lower,
                                 mode.HInterval->Upper}) {
        line += "," + RealText(bound);
      }
    } else {
      line += ",,,,";
    }
    std::fprintf(out, "%s\n", line.c_str());
  }
  return kExitOk;
}
