// Loading a 100 000-line, 8-channel record: the standard CSV reader (about
// 8 MB of text) and the SPC-51 reader on the same samples. The CSV file is
// written once, to OSCALYX_BENCH_CSV when that is set (bench/compare-peers.sh
// times pandas on the same file), and reused while it exists. With
// OSCALYX_BENCH_LARGE_CSV set, also a 10^7-line, 8-channel file there (about
// 760 MB, written once: several seconds).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "io/ReadCsv.h"
#include "io/ReadSpc51.h"
#include "io/WriteCsv.h"
#include "tests/support/Spc51Builder.h"

namespace {

constexpr int kLines = 100000;
constexpr int kChannels = 8;

constexpr int kLargeLines = 10000000;
// The large record's free decays start again every 5 s, so that its values
// keep the spread of a measurement from start to end.
constexpr int kDecayRestart = 5000;

WaveData SyntheticRecord(int lines = kLines, int restart = 0) {
  WaveData record;
  record.ChannelCount = kChannels;
  record.SampleCount = lines;
  record.Rate = 1000;
  for (int k = 0; k < kChannels; ++k) {
    CopyToSlot("CH" + std::to_string(k + 1), record.Names[k]);
    CopyToSlot("gal", record.Units[k]);
    record.Samples[k].resize(static_cast<std::size_t>(lines));
    for (int i = 0; i < lines; ++i) {
      const int sinceStart = restart > 0 ? i % restart : i;
      record.Samples[k][static_cast<std::size_t>(i)] =
          static_cast<float>(30.0 * std::exp(-0.002 * sinceStart) * std::sin(0.0123 * i * (k + 1)) +
                             0.37 * std::sin(1.7 * i));
    }
  }
  return record;
}

std::string BenchFolder() {
  const auto folder = std::filesystem::temp_directory_path() / "oscalyx-bench";
  std::filesystem::create_directories(folder);
  return folder.string();
}

const std::string& CsvFile() {
  static const std::string path = [] {
    const char* given = std::getenv("OSCALYX_BENCH_CSV");
    const std::string file = given != nullptr ? given : BenchFolder() + "/load-8x100k.csv";
    if (!std::filesystem::exists(file)) WriteCsv(file, SyntheticRecord());
    return file;
  }();
  return path;
}

const std::string& DblFile() {
  static const std::string path = [] {
    Spc51Builder builder;
    builder.sampleCount = kLines;
    builder.channelCount = kChannels;
    builder.rate = 1000;
    for (int k = 0; k < kChannels; ++k) builder.channels.push_back({"CH" + std::to_string(k + 1), "gal", 0.001f});
    builder.frames.resize(static_cast<std::size_t>(kLines) * kChannels);
    for (std::size_t i = 0; i < builder.frames.size(); ++i) {
      builder.frames[i] = static_cast<std::int16_t>(20000.0 * std::sin(0.001 * static_cast<double>(i)));
    }
    const std::string file = BenchFolder() + "/load-8x100k.dbl";
    const auto bytes = builder.Bytes();
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return file;
  }();
  return path;
}

// Reads into an empty record, as oscalyx-cli info does; with `held`, a record
// of the file's size is held meanwhile, as when the window reads a file again
// (fresh memory beside memory in use costs more page faults on some systems).
void ReadCsvFile(benchmark::State& state, const std::string& path, bool held = false) {
  const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(path));
  WaveData record;
  WaveData previous;
  if (held) ReadCsv(path, previous);
  for (auto _ : state) {
    state.PauseTiming();
    record = WaveData();
    state.ResumeTiming();
    const ReadResult result = ReadCsv(path, record);
    if (!result.ok()) state.SkipWithError(result.message.c_str());
    benchmark::DoNotOptimize(record.Samples[0].data());
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}

// Bytes per second here are per second of the calling thread's CPU time; the
// reader runs two threads, so compare-peers.sh takes the real time.
void BM_ReadCsv8x100k(benchmark::State& state) { ReadCsvFile(state, CsvFile()); }
BENCHMARK(BM_ReadCsv8x100k)->Unit(benchmark::kMillisecond);

[[maybe_unused]] const bool kLargeRegistered = [] {
  const char* large = std::getenv("OSCALYX_BENCH_LARGE_CSV");
  if (large == nullptr) return false;
  for (const bool held : {false, true}) {
    benchmark::RegisterBenchmark(held ? "BM_ReadCsv8x10MBesideARecord" : "BM_ReadCsv8x10M",
                                 [path = std::string(large), held](benchmark::State& state) {
                                   if (!std::filesystem::exists(path)) {
                                     WriteCsv(path, SyntheticRecord(kLargeLines, kDecayRestart));
                                   }
                                   ReadCsvFile(state, path, held);
                                 })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(3);
  }
  return true;
}();

void BM_ReadSpc518x100k(benchmark::State& state) {
  const std::string& path = DblFile();
  const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(path));
  WaveData record;
  for (auto _ : state) {
    const ReadResult result = ReadSpc51(path, record);
    if (!result.ok()) state.SkipWithError(result.message.c_str());
    benchmark::DoNotOptimize(record.Samples[0].data());
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_ReadSpc518x100k)->Unit(benchmark::kMillisecond);

}  // namespace
