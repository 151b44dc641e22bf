// The window's band-pass flow on the 10^7-line, 8-channel file (with
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
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "oscalyx-bench";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);

  // The window writes its results file in the folder it starts in: the
  // large file's temporary folder, not the source tree.
  std::filesystem::current_path(std::filesystem::path(path).parent_path());
  const double before = PeakKiB();
  BenchPlatform platform;
  platform.file = path;
  Session session;
  TOpen open(platform, session);
  THowTo howTo;
  TAbout about;
  TGraph graph(platform, session);
  TGFormat format(platform, graph);
  TCenter center(platform, session);
  open.AttachWindows(&howTo, &about, &graph, &format, &center);
  open.CSVClick();
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
