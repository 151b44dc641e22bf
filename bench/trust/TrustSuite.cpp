// The interval benchmark: every simulated case, many realisations (fixed seeds),
// two tables in Markdown: the accuracy of f and h against the Cramér–Rao bound,
// and the coverage and width of the 95 % intervals beside ±1.985·se.
// Usage: oscalyx-trust [REALISATIONS] [CASE ...]   (default 400, every case)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TrustCaseList.h"

namespace {

// Two digits; "—" where the figure is not known.
std::string Scientific(double value) {
  if (std::isnan(value)) return "—";
  char text[32];
  std::snprintf(text, sizeof text, "%.1e", value);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  int realisations = 400;
  if (argc > 1) realisations = std::max(2, std::atoi(argv[1]));
  std::vector<std::string> only;
  for (int i = 2; i < argc; ++i) only.emplace_back(argv[i]);
  const int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));

  std::vector<std::pair<TrustCase, TrustSummary>> runs;
  for (const TrustCase& c : AllTrustCases()) {
    if (!only.empty() && std::find(only.begin(), only.end(), c.Name) == only.end()) continue;
    runs.emplace_back(c, RunTrustCase(c, realisations, 0x0DDB1A5E5BAD5EEDull, threads));
    std::fprintf(stderr, "%s done\n", c.Name.c_str());
  }

  std::printf("| case | setting | bias f (Hz) | spread f | √CRB f | bias h | spread h | √CRB h | bias h / spread |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|\n");
  for (const auto& [c, s] : runs) {
    std::printf("| %s | %s | %s | %s | %s | %s | %s | %s | %.2f |\n", c.Name.c_str(), c.What.c_str(),
                Scientific(s.BiasF).c_str(), Scientific(s.SpreadF).c_str(), Scientific(s.BoundF).c_str(),
                Scientific(s.BiasH).c_str(), Scientific(s.SpreadH).c_str(), Scientific(s.BoundH).c_str(),
                s.BiasH / s.SpreadH);
  }
  std::printf("\n| case | evaluated | refused | cover f | cover h | ±1.985·se cover f | cover h | "
              "half-width h / 1.96·spread | half-width h / 1.985·se | µs per interval |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
  for (const auto& [c, s] : runs) {
    std::printf("| %s | %d | %d | %.1f %% | %.1f %% | %.1f %% | %.1f %% | %.2f | %.2f | %.0f |\n", c.Name.c_str(),
                s.Realisations - s.Failed, s.NoInterval, 100 * s.CoverF, 100 * s.CoverH, 100 * s.SeCoverF,
                100 * s.SeCoverH, s.HalfH / (1.96 * s.SpreadH), s.HalfH / s.SeHalfH, s.MeanMicroseconds);
  }
  return 0;
}
