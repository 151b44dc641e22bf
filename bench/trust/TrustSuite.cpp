// The interval benchmark: every simulated case, many realisations, a table of
// bias, spread, coverage and width. Usage: oscalyx-trust [REALISATIONS] [CASE ...]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "tests/support/TrustCaseList.h"

int main(int argc, char** argv) {
  int realisations = 400;
  if (argc > 1) realisations = std::atoi(argv[1]);
  std::vector<std::string> only;
  for (int i = 2; i < argc; ++i) only.emplace_back(argv[i]);
  const int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  std::printf("| case | n | bias f | spread f | CRB f | bias h | spread h | CRB h | cover f | cover h | se cover f | "
              "se cover h | width f / se | width h / se | refused | µs |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
  for (const TrustCase& c : AllTrustCases()) {
    if (!only.empty() && std::find(only.begin(), only.end(), c.Name) == only.end()) continue;
    const TrustSummary s = RunTrustCase(c, realisations, 0x0DDB1A5E5BAD5EEDull, threads);
    std::printf("| %s | %d | %.2e | %.2e | %.2e | %.2e | %.2e | %.2e | %.1f | %.1f | %.1f | %.1f | %.2f | %.2f | %d+%d | %.0f |\n",
                c.Name.c_str(), s.Realisations - s.Failed, s.BiasF, s.SpreadF, s.BoundF, s.BiasH, s.SpreadH, s.BoundH,
                100 * s.CoverF, 100 * s.CoverH, 100 * s.SeCoverF, 100 * s.SeCoverH, s.HalfF / s.SeHalfF,
                s.HalfH / s.SeHalfH, s.Failed, s.NoInterval, s.MeanMicroseconds);
    std::fflush(stdout);
  }
  return 0;
}
