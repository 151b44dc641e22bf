// What writing safely costs: a converted 8-channel, 100 000-line record (about
// 8 MB) written onto /dev/null (the formatting alone) and as a file under a
// temporary name, synced and renamed into place; and one row appended to a
// shared log (open without following links, lock, the last byte looked at,
// write, close).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "io/ResultsFile.h"
#include "io/WriteCsv.h"

namespace {

constexpr int kLines = 100000;
constexpr int kChannels = 8;

WaveData Record() {
  WaveData record;
  record.ChannelCount = kChannels;
  record.SampleCount = kLines;
  record.Rate = 1000;
  for (int k = 0; k < kChannels; ++k) {
    CopyToSlot("CH" + std::to_string(k + 1), record.Names[k]);
    CopyToSlot("gal", record.Units[k]);
    for (int i = 0; i < kLines; ++i) {
      record.Samples[k].push_back(static_cast<float>(30.0 * std::exp(-0.002 * i) * std::sin(0.0123 * i * (k + 1))));
    }
  }
  return record;
}

std::string Folder() {
  const auto folder = std::filesystem::temp_directory_path() / "oscalyx-bench" / "output";
  std::filesystem::create_directories(folder);
  return folder.string();
}

void BM_ConvertFormattingOnly(benchmark::State& state) {
  const WaveData record = Record();
  std::FILE* sink = std::fopen("/dev/null", "wb");
  for (auto _ : state) benchmark::DoNotOptimize(WriteCsvTo(sink, record).ok);
  std::fclose(sink);
}
BENCHMARK(BM_ConvertFormattingOnly)->Unit(benchmark::kMillisecond);

void BM_ConvertSyncedAndRenamed(benchmark::State& state) {
  const WaveData record = Record();
  const std::string path = Folder() + "/converted.csv";
  for (auto _ : state) {
    if (!WriteCsv(path, record).ok) state.SkipWithError("the file could not be written");
  }
  std::filesystem::remove(path);
}
BENCHMARK(BM_ConvertSyncedAndRenamed)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AppendOneLogRow(benchmark::State& state) {
  const std::string path = Folder() + "/log.csv";
  std::filesystem::remove(path);
  const std::string row = "2026/12/07 10:00:00,sample0.csv,1,P1,2000,5,なし,2,0.03,1.250,12.566,2.000,0.500,0.0200,"
                          "-0.500,0.950,845,採用,0.0012,0.00034\r\n";
  for (auto _ : state) {
    if (!AppendLocked(path, "header\r\n", {row}).ok()) state.SkipWithError("the row could not be appended");
  }
  std::filesystem::remove(path);
}
BENCHMARK(BM_AppendOneLogRow)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
