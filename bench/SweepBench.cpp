// oscalyx-cli sweep over 1000 starts against the same 1000 evaluations made
// one after another: on c cores the sweep should take at most 1.15 × (serial
// time ÷ c). The record is a lightly damped decay at 1.96 Hz in noise, 100
// samples/s, so every start from 0 to 999 is a sound 5 s evaluation.
// Counters: serial_s, sweep_s, and goal_ratio = sweep ÷ (serial ÷ cores).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <thread>

#include "cli/Cli.h"
#include "io/WriteCsv.h"
#include "tests/support/GaussianNoise.h"

namespace {

constexpr int kStarts = 1000;
constexpr int kRate = 100;

WaveData DecayRecord() {
  WaveData record;
  record.ChannelCount = 1;
  record.SampleCount = 2000;
  record.Rate = kRate;
  record.Dt = 1.0f / kRate;
  CopyToSlot("P1", record.Names[0]);
  CopyToSlot("cm/s2", record.Units[0]);
  GaussianNoise noise(0x2545F4914F6CDD1Dull);
  const double wn = 2.0 * M_PI * 1.96;
  const double h = 0.008;
  for (int i = 0; i < record.SampleCount; ++i) {
    const double t = static_cast<double>(i) / kRate;
    record.Samples[0].push_back(static_cast<float>(
        40.0 * std::exp(-h * wn * t) * std::cos(wn * std::sqrt(1.0 - h * h) * t + 0.4) + 0.25 * noise.Next()));
  }
  return record;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

void BM_Sweep1000AgainstSerial(benchmark::State& state) {
  const WaveData record = DecayRecord();
  const auto folder = std::filesystem::temp_directory_path() / "oscalyx-bench";
  std::filesystem::create_directories(folder);
  const std::string file = (folder / "sweep-decay.csv").string();
  WriteCsv(file, record);
  const CliParse parse = ParseCliArguments({"sweep", file, "--channel", "1", "--from", "0", "--to", "999", "--every",
                                            "1"});
  std::FILE* sink = std::fopen("/dev/null", "w");
  const unsigned cores = std::max(std::thread::hardware_concurrency(), 1u);
  double serial = 0.0, sweep = 0.0;
  for (auto _ : state) {
    const auto begin = std::chrono::steady_clock::now();
    for (int start = 0; start < kStarts; ++start) {
      const EvaluationRequest request = RequestFor(parse.options, record, 0, start);
      benchmark::DoNotOptimize(EvaluateRecord(record, std::nullopt, request, 0).Fit.Result.Passes);
    }
    const auto middle = std::chrono::steady_clock::now();
    if (RunCli({"sweep", file, "--channel", "1", "--from", "0", "--to", "999", "--every", "1"}, sink, sink) != 0) {
      state.SkipWithError("sweep failed");
      break;
    }
    const auto end = std::chrono::steady_clock::now();
    serial += Seconds(middle - begin);
    sweep += Seconds(end - middle);
    state.SetIterationTime(Seconds(end - middle));
  }
  std::fclose(sink);
  const auto n = static_cast<double>(state.iterations());
  state.counters["cores"] = cores;
  state.counters["serial_s"] = serial / n;
  state.counters["sweep_s"] = sweep / n;
  state.counters["goal_ratio"] = (sweep / n) / (serial / n / cores);
}
BENCHMARK(BM_Sweep1000AgainstSerial)->UseManualTime()->Iterations(3)->Unit(benchmark::kSecond);

}  // namespace
