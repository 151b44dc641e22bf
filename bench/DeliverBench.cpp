// The deliverables and many records:
// - BM_ReportPage/pdf|png|svg: one report page of three evaluated stretches of
//   a one-minute record (gathered and written); goal ≤ 300 ms per page.
// - BM_Batch200: a batch over 200 small generated records (30 s at 100
//   samples/s, one or two channels, 0–2 decays each) with 1 thread and with 2;
//   goal: speedup = jobs1_s ÷ jobs2_s ≥ 1.8. The machine's cores are shared, so
//   the same 2-against-1 comparison of plain fits (no files, no locks) runs
//   beside it: machine_speedup is what the machine gave at that moment, and
//   efficiency = speedup ÷ machine_speedup what the batch made of it.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <chrono>
#include <ctime>
#include <filesystem>

#include "components/qt/ReportPage.h"
#include "io/ThreadTeam.h"
#include "session/Batch.h"
#include "session/Report.h"
#include "session/Session.h"
#include "tests/support/RecordTree.h"

namespace {

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

void NeedGuiApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "oscalyx-bench";
  static char* argv[] = {name, nullptr};
  static QGuiApplication application(argc, argv);
}

void BM_ReportPage(benchmark::State& state) {
  NeedGuiApplication();
  const auto format = static_cast<ReportFormat>(state.range(0));
  // A minute at 100 samples/s with a free decay from sample 2000, as the sample record has it.
  WaveData record;
  record.ChannelCount = 1;
  record.SampleCount = 6000;
  record.Rate = 100.0;
  record.Dt = 0.01f;
  CopyToSlot("bench.csv", record.FileName);
  CopyToSlot("P1", record.Names[0]);
  CopyToSlot("cm/s2", record.Units[0]);
  record.Samples[0] = DecayRecord({.Count = 6000, .Rate = 100.0, .Decays = {{2000, 40.0, 1.6, 0.025, 0.7}},
                                   .NoiseSigma = 0.3, .Seed = 5});
  std::vector<Evaluation> evaluations;
  for (const std::int64_t start : {2000, 2300, 2600}) {
    EvaluationRequest request;
    request.Start = start;
    request.F0 = 1.6;
    evaluations.push_back(EvaluateRecord(record, std::nullopt, request, 0));
  }
  const auto folder = std::filesystem::temp_directory_path() / "oscalyx-bench";
  std::filesystem::create_directories(folder);
  const char* extensions[] = {"pdf", "png", "svg"};
  const std::string out = (folder / (std::string("report.") + extensions[state.range(0)])).string();
  for (auto _ : state) {
    RecordReportRequest request;
    request.Record = &record;
    request.Sha256 = "0123";
    for (const Evaluation& e : evaluations) request.Evaluations.push_back(&e);
    request.When = std::time(nullptr);
    const std::string error = WriteReportFile(GatherRecordReport(request), format, out);
    if (!error.empty()) {
      state.SkipWithError(error.c_str());
      break;
    }
  }
  state.SetLabel(extensions[state.range(0)]);
}
BENCHMARK(BM_ReportPage)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_Batch200(benchmark::State& state) {
  const auto folder = std::filesystem::temp_directory_path() / "oscalyx-bench" / "batch200";
  std::filesystem::remove_all(folder);
  const std::vector<std::string> paths = WriteRecordTree((folder / "records").string(), {.Records = 200});
  // The control: 400 fits of one stretch, shared out as the batch shares records.
  WaveData control;
  control.ChannelCount = 1;
  control.SampleCount = 3000;
  control.Rate = 100.0;
  control.Dt = 0.01f;
  control.Samples[0] = DecayRecord({.Count = 3000, .Rate = 100.0, .Decays = {{500, 10.0, 3.7, 0.02, 0.7}},
                                    .NoiseSigma = 0.05, .Seed = 9});
  const auto fits = [&control](unsigned threads) {
    const auto begin = std::chrono::steady_clock::now();
    ForEachIndex(400, threads, [&control](std::int64_t) {
      EvaluationRequest request;
      request.Start = 600;
      request.F0 = 3.7;
      benchmark::DoNotOptimize(EvaluateRecord(control, std::nullopt, request, 0).Fit.Result.F);
    });
    return Seconds(std::chrono::steady_clock::now() - begin);
  };
  double one = 0.0, two = 0.0, controlOne = 0.0, controlTwo = 0.0;
  for (auto _ : state) {
    controlOne += fits(1);
    controlTwo += fits(2);
    for (const unsigned threads : {1u, 2u}) {
      const std::string out = (folder / ("results-" + std::to_string(threads) + ".csv")).string();
      std::filesystem::remove(out);
      KeyedRowsFile file(out, BatchHeaderLine(), BatchLineKey);
      const auto begin = std::chrono::steady_clock::now();
      const BatchSummary summary = EvaluateBatch(paths, BatchSettings{}, threads, file);
      const double seconds = Seconds(std::chrono::steady_clock::now() - begin);
      if (summary.WriteFailure || summary.Records != 200) state.SkipWithError("the batch failed");
      (threads == 1 ? one : two) += seconds;
    }
    state.SetIterationTime(two);
  }
  const auto n = static_cast<double>(state.iterations());
  state.counters["jobs1_s"] = one / n;
  state.counters["jobs2_s"] = two / n;
  state.counters["speedup"] = one / two;
  state.counters["machine_speedup"] = controlOne / controlTwo;
  state.counters["efficiency"] = (one / two) / (controlOne / controlTwo);
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_Batch200)->UseManualTime()->Iterations(3)->Unit(benchmark::kSecond);

}  // namespace
