// Loading a 100 000-line, 8-channel record: the standard CSV reader (about
// 8 MB of text) and the SPC-51 reader on the same samples. The CSV file is
// written once, to OSCALYX_BENCH_CSV when that is set (bench/compare-peers.sh
// times pandas on the same file), and reused while it exists. With
// OSCALYX_BENCH_LARGE_CSV set, also a 10^7-line, 8-channel file there (about
// 760 MB, written once: several seconds).
// Beside the smooth decays, the same size of noisy samples as an accelerometer
// gives them (normal values, signs and digit counts random, "%.5f"): as a
// standard CSV file (OSCALYX_BENCH_NOISY_CSV), as tab-separated text with a
// time column (OSCALYX_BENCH_NOISY_TEXT) and as a 16-bit WAV recording
// (OSCALYX_BENCH_NOISY_WAV), for the readers of other instruments' files.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "io/ReadCsv.h"
#include "io/ReadSpc51.h"
#include "io/ReadText.h"
#include "io/ReadWav.h"
#include "io/WriteCsv.h"
#include "tests/support/Spc51Builder.h"
#include "tests/support/WavBuilder.h"

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

// The noisy samples: normal, standard deviation 5 (as gal of a building's
// response), fixed seed.
constexpr double kNoiseSigma = 5.0;

std::vector<std::array<double, kChannels>> NoisySamples() {
  std::mt19937_64 engine(20261207);
  std::normal_distribution<double> normal(0.0, kNoiseSigma);
  std::vector<std::array<double, kChannels>> rows(kLines);
  for (auto& row : rows) {
    for (double& value : row) value = normal(engine);
  }
  return rows;
}

// The noisy samples in `path` (written once): a standard CSV file, or text
// with a time column and tabs.
const std::string& NoisyFile(const char* variable, const std::string& name, bool text) {
  static std::map<std::string, std::string> paths;
  auto [at, added] = paths.emplace(name, "");
  if (!added) return at->second;
  const char* given = std::getenv(variable);
  at->second = given != nullptr ? given : BenchFolder() + "/" + name;
  if (!std::filesystem::exists(at->second)) {
    std::string out = text ? "time" : "";
    for (int k = 0; k < kChannels; ++k) out += (text ? "\tCH" : k > 0 ? ",CH" : "CH") + std::to_string(k + 1);
    out += text ? "\r\n" : "\r\n1000,s\r\nnoise\r\n";
    if (!text) {
      for (int k = 0; k < kChannels; ++k) out += k > 0 ? ",gal" : "gal";
      out += "\r\n";
    }
    char cell[32];
    const auto rows = NoisySamples();
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (text) {
        std::snprintf(cell, sizeof cell, "%.3f", static_cast<double>(i) / 1000.0);
        out += cell;
      }
      for (int k = 0; k < kChannels; ++k) {
        std::snprintf(cell, sizeof cell, "%.5f", rows[i][static_cast<std::size_t>(k)]);
        if (text || k > 0) out += text ? '\t' : ',';
        out += cell;
      }
      out += "\r\n";
    }
    std::ofstream(at->second, std::ios::binary).write(out.data(), static_cast<std::streamsize>(out.size()));
  }
  return at->second;
}

const std::string& NoisyCsvFile() { return NoisyFile("OSCALYX_BENCH_NOISY_CSV", "noisy-8x100k.csv", false); }
const std::string& NoisyTextFile() { return NoisyFile("OSCALYX_BENCH_NOISY_TEXT", "noisy-8x100k.txt", true); }

const std::string& NoisyWavFile() {
  static const std::string path = [] {
    const char* given = std::getenv("OSCALYX_BENCH_NOISY_WAV");
    const std::string file = given != nullptr ? given : BenchFolder() + "/noisy-8x100k.wav";
    if (!std::filesystem::exists(file)) {
      WavBuilder wav;
      wav.channels = kChannels;
      wav.rate = 1000;
      wav.bits = 16;
      for (const auto& row : NoisySamples()) {
        std::vector<double> frame;
        for (const double value : row) frame.push_back(std::round(std::clamp(value / 40.0, -1.0, 1.0) * 32767.0));
        wav.frames.push_back(frame);
      }
      const std::string bytes = wav.Bytes();
      std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    return file;
  }();
  return path;
}

// The fastest of the repetitions, beside their median: on a machine whose two
// cores are shared, the median says how busy it was as much as how fast the
// reader is.
double Fastest(const std::vector<double>& values) { return *std::min_element(values.begin(), values.end()); }

// The readers run two threads: bytes per second are taken over real time.
void BM_ReadCsvNoisy8x100k(benchmark::State& state) { ReadCsvFile(state, NoisyCsvFile()); }
BENCHMARK(BM_ReadCsvNoisy8x100k)->Unit(benchmark::kMillisecond)->UseRealTime()->ComputeStatistics("min", Fastest);
BENCHMARK(BM_ReadCsv8x100k)
    ->Name("BM_ReadCsv8x100kReal")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->ComputeStatistics("min", Fastest);

void BM_ReadTextNoisy8x100k(benchmark::State& state) {
  const std::string& path = NoisyTextFile();
  const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(path));
  ReadOptions options;
  options.TimeColumn = 1;
  for (auto _ : state) {
    state.PauseTiming();
    WaveData record;
    state.ResumeTiming();
    const ReadResult result = ReadText(path, options, record);
    if (!result.ok()) state.SkipWithError(result.message.c_str());
    benchmark::DoNotOptimize(record.Samples[0].data());
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_ReadTextNoisy8x100k)->Unit(benchmark::kMillisecond)->UseRealTime()->ComputeStatistics("min", Fastest);

void BM_ReadWavNoisy8x100k(benchmark::State& state) {
  const std::string& path = NoisyWavFile();
  const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(path));
  for (auto _ : state) {
    state.PauseTiming();
    WaveData record;
    state.ResumeTiming();
    const ReadResult result = ReadWav(path, {}, record);
    if (!result.ok()) state.SkipWithError(result.message.c_str());
    benchmark::DoNotOptimize(record.Samples[0].data());
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_ReadWavNoisy8x100k)->Unit(benchmark::kMillisecond)->UseRealTime()->ComputeStatistics("min", Fastest);

// The same WAV file's bytes read into memory and every 16-bit count turned
// into a float, the least any reader of it does: the disk cache's speed.
void BM_WavBytesFromCache8x100k(benchmark::State& state) {
  const std::string& path = NoisyWavFile();
  const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(path));
  std::vector<char> buffer(static_cast<std::size_t>(bytes));
  std::vector<float> values(static_cast<std::size_t>(bytes) / 2);
  for (auto _ : state) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), file);
    std::fclose(file);
    for (std::size_t i = 0; i + 1 < got; i += 2) {
      std::int16_t count;
      std::memcpy(&count, buffer.data() + i, 2);
      values[i / 2] = count / 32768.0f;
    }
    benchmark::DoNotOptimize(values.data());
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_WavBytesFromCache8x100k)->Unit(benchmark::kMillisecond)->UseRealTime()->ComputeStatistics("min", Fastest);

}  // namespace
