// The real main window, headless: one press of "評　価" (below), and the
// window's band-pass flow on the 10^7-line, 8-channel file (with
// OSCALYX_BENCH_LARGE_CSV set, as bench/compare-peers.sh --large does): the
// real main window, headless, re-reads the record and filters it as when its
// band-pass dialog closes with the filter on, and redraws. Reported beside the
// same work done as the command line does it (read and filter, no window), and
// with the peak memory the flow reached over the sample arrays of the record.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>

#include "analysis/RecordLoading.h"
#include "app/UAbout.h"
#include "app/UCenter.h"
#include "app/UFormat.h"
#include "app/UGraph.h"
#include "app/UHowTo.h"
#include "app/UOpen.h"
#include "session/Session.h"
#include "components/Platform.h"
#include "tests/support/OneChannelCsv.h"

namespace {

// Answers the window as a user who opens one file and waits.
class BenchPlatform final : public Platform {
 public:
  std::string file;
  void ShowMessage(const std::string& text, const std::string&, MessageIcon) override { lastMessage = text; }
  std::string OpenFileName(const FileDialogRequest&) override { return file; }
  std::string SaveFileName(const FileDialogRequest&) override { return {}; }
  void CopyImageToClipboard(const RgbImage&) override {}
  bool RunLongWork(const std::string&, const std::function<void(WorkReporter&)>& work) override {
    WorkReporter reporter;
    work(reporter);
    return true;
  }
  void RequestQuit() override {}
  std::string lastMessage;
};

void EnsureApp() {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "oscalyx-bench";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
}

// The main window and the windows it opens, as the program makes them, with
// the record at `path` loaded through the open dialog.
struct MainWindows {
  explicit MainWindows(const std::string& path) {
    platform.file = path;
    open.AttachWindows(&howTo, &about, &graph, &format, &center);
    open.CSVClick();
  }
  BenchPlatform platform;
  Session session;
  TOpen open{platform, session};
  THowTo howTo;
  TAbout about;
  TGraph graph{platform, session};
  TGFormat format{platform, graph};
  TCenter center{platform, session};
};

double PeakKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss);
}

void BM_WindowBandPass8x10M(benchmark::State& state, const std::string& path) {
  if (!std::filesystem::exists(path)) {
    state.SkipWithError("the large file is written by BM_ReadCsv8x10M first");
    return;
  }
  EnsureApp();

  // The window writes its results file in the folder it starts in: the
  // large file's temporary folder, not the source tree.
  std::filesystem::current_path(std::filesystem::path(path).parent_path());
  const double before = PeakKiB();
  MainWindows windows(path);
  BenchPlatform& platform = windows.platform;
  Session& session = windows.session;
  TOpen& open = windows.open;
  TCenter& center = windows.center;
  const double arraysKiB = 8.0 * session.Record().SampleCount * sizeof(float) / 1024.0;

  double windowSeconds = 0.0;
  double windowPeak = 0.0;
  double directSeconds = 0.0;
  double unchangedSeconds = 0.0;
  for (auto _ : state) {
    // The dialog closes with OK, the filter on at 20 Hz ± 10 %.
    QTimer::singleShot(0, &center, [&center] {
      center.findChild<QCheckBox*>("CBBand")->setChecked(true);
      center.findChild<QLineEdit*>("EdCenter")->setText("20");
      center.findChild<QLineEdit*>("EdRatio")->setText("0.1");
      center.Button1Click();
    });
    const auto start = std::chrono::steady_clock::now();
    open.BtnFilterClick();
    const auto windowDone = std::chrono::steady_clock::now();
    windowPeak = PeakKiB();
    const LoadOutcome direct = LoadRecordFile(path, FileKind::Csv, BandEdges{18.0f, 22.0f});
    const auto directDone = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(direct.record.Samples[0].data());
    windowSeconds = std::chrono::duration<double>(windowDone - start).count();
    directSeconds = std::chrono::duration<double>(directDone - windowDone).count();
    state.SetIterationTime(windowSeconds);

    // The dialog opened again and closed with OK, nothing changed: the
    // record stays, nothing is read.
    QTimer::singleShot(0, &center, [&center] { center.Button1Click(); });
    const auto againStart = std::chrono::steady_clock::now();
    open.BtnFilterClick();
    unchangedSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - againStart).count();
  }
  if (!platform.lastMessage.empty()) state.SkipWithError(platform.lastMessage.c_str());
  state.counters["window_s"] = windowSeconds;
  state.counters["read_and_filter_s"] = directSeconds;
  state.counters["window/direct"] = windowSeconds / directSeconds;
  state.counters["unchanged_s"] = unchangedSeconds;
  // The window's peak while it held the old record, read the new one and
  // filtered it.
  state.counters["peak/arrays"] = (windowPeak - before) / arraysKiB;
}

// One press of "評　価" in the real window, headless, on a one-channel record
// of state.range(0) samples at 100 /s with a free decay at sample 2000: the
// fit, its interval and flags, the results file, the log, the labels and the
// plots. The first press on a channel also finds its decays (for the flags);
// it is timed apart from the presses after it.
void BM_WindowEvaluateClick(benchmark::State& state) {
  EnsureApp();
  const auto samples = static_cast<int>(state.range(0));
  const auto folder = std::filesystem::temp_directory_path() / "oscalyx-bench-click";
  std::filesystem::create_directories(folder);
  const std::string path = (folder / ("decay-" + std::to_string(samples) + ".csv")).string();
  std::vector<float> values(static_cast<std::size_t>(samples));
  std::uint32_t seed = 12345;
  for (int i = 0; i < samples; ++i) {
    seed = seed * 1103515245u + 12345u;
    const double noise = ((seed >> 8) & 0xffff) / 65536.0 - 0.5;
    const double t = (i % 60000 - 2000) / 100.0;
    const double decay = t < 0 ? 0.0 : 40.0 * std::exp(-0.025 * 2 * M_PI * 3.7 * t) * std::cos(2 * M_PI * 3.7 * t + 0.7);
    values[static_cast<std::size_t>(i)] = static_cast<float>(decay + noise);
  }
  if (!WriteOneChannelCsv(path, std::move(values), 100)) {
    state.SkipWithError("cannot write the record");
    return;
  }
  std::filesystem::current_path(folder);  // the results file and the log go here
  MainWindows windows(path);
  BenchPlatform& platform = windows.platform;
  TOpen& open = windows.open;
  auto* start = open.findChild<QLineEdit*>("Edit1");
  start->setText("2000");
  Q_EMIT start->editingFinished();
  open.findChild<QLineEdit*>("EdInitF")->setText("3.5");

  const auto first = std::chrono::steady_clock::now();
  open.Button9Click();
  const double firstSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - first).count();
  for (auto _ : state) {
    open.findChild<QLineEdit*>("EdInitF")->setText("3.5");
    open.Button9Click();
  }
  if (!platform.lastMessage.empty()) state.SkipWithError(platform.lastMessage.c_str());
  state.counters["first_click_ms"] = firstSeconds * 1e3;
}
BENCHMARK(BM_WindowEvaluateClick)->Arg(6000)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond)->Iterations(20);

[[maybe_unused]] const bool kRegistered = [] {
  const char* large = std::getenv("OSCALYX_BENCH_LARGE_CSV");
  if (large == nullptr) return false;
  benchmark::RegisterBenchmark("BM_WindowBandPass8x10M",
                               [path = std::string(large)](benchmark::State& state) {
                                 BM_WindowBandPass8x10M(state, path);
                               })
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime()
      ->Iterations(1);
  return true;
}();

}  // namespace
