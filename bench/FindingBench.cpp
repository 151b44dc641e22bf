// Finding what to evaluate in a long record: the Welch spectrum and the decay
// detection of 10⁷ samples against reading the same record from its CSV file
// (one channel at 1000 samples/s, about 100 MB, written once to
// OSCALYX_BENCH_DECAYS_CSV or the temporary folder and reused while it exists),
// each timed in the same iteration so that the ratios hold whatever else the
// machine is doing; and the overview strip of 8 × 10⁷ samples: the min/max of
// every pixel column of every channel from the channels' summaries.
// Goals: spectrum ≤ read, detection ≤ 2 × read, overview < 16 ms.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>

#include "analysis/DecayDetection.h"
#include "analysis/MinMaxSummary.h"
#include "analysis/Spectrum.h"
#include "io/ReadCsv.h"
#include "tests/support/AmbientRecord.h"
#include "tests/support/DecayRecord.h"
#include "tests/support/OneChannelCsv.h"

namespace {

constexpr int kSamples = 10000000;
constexpr int kRate = 1000;
constexpr int kImpactEvery = 200000;  // 200 s
constexpr int kChannels = 8;
constexpr std::size_t kColumns = 1600;  // a wide window's strip

// Ambient response of a 2.3 Hz system (h = 0.02) and sensor noise, with the
// same system struck every 200 s, harder and softer in turn.
std::vector<float> DecaysRecord() {
  DecayRecordShape shape;
  shape.Count = kSamples;
  shape.Rate = kRate;
  shape.NoiseSigma = 0.02;
  shape.Offset = 0.4;
  shape.Seed = 0x51ED270B;
  for (int k = 0; k * kImpactEvery + 5000 < kSamples; ++k) {
    shape.Decays.push_back({k * kImpactEvery + 5000, 0.5 + 4.5 * ((k * 7) % 10) / 9.0, 2.3, 0.02, 0.3 * k});
  }
  std::vector<float> x = DecayRecord(shape);
  const std::vector<float> ambient = AmbientResponse(2.3, 0.02, kRate, kSamples, 0x2545F4914F6CDD1Dull);
  double sum2 = 0.0;
  for (const float v : ambient) sum2 += (v - 0.3) * (v - 0.3);
  const double scale = 0.05 / std::sqrt(sum2 / kSamples);  // σ of 0.05
  for (std::size_t i = 0; i < x.size(); ++i) x[i] += static_cast<float>(scale * (ambient[i] - 0.3));
  return x;
}

const std::string& DecaysFile() {
  static const std::string path = [] {
    const char* given = std::getenv("OSCALYX_BENCH_DECAYS_CSV");
    std::string file = given != nullptr ? given : "";
    if (file.empty()) {
      const auto folder = std::filesystem::temp_directory_path() / "oscalyx-bench";
      std::filesystem::create_directories(folder);
      file = (folder / "decays-1x10M.csv").string();
    }
    if (!std::filesystem::exists(file)) {
      WriteOneChannelCsv(file, DecaysRecord(), kRate);
    }
    return file;
  }();
  return path;
}

const WaveData& DecaysWave() {
  static const WaveData record = [] {
    WaveData r;
    ReadCsv(DecaysFile(), r);
    return r;
  }();
  return record;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The read, the spectrum and the detection in every iteration; the best of
// each over the iterations, and their ratios.
void BM_FindingVsRead10M(benchmark::State& state) {
  const std::string& path = DecaysFile();
  double read = std::numeric_limits<double>::infinity(), spectrum = read, detection = read;
  std::size_t decays = 0;
  for (auto _ : state) {
    WaveData record;
    auto start = std::chrono::steady_clock::now();
    if (!ReadCsv(path, record).ok()) state.SkipWithError("read failed");
    read = std::min(read, Seconds(start));
    const std::span<const float> x = record.Samples[0];

    start = std::chrono::steady_clock::now();
    const Spectrum s = WelchSpectrum(x, record.Rate);
    const double spectrumSeconds = Seconds(start);
    spectrum = std::min(spectrum, spectrumSeconds);
    benchmark::DoNotOptimize(s.Amplitude.data());

    start = std::chrono::steady_clock::now();
    const DecayDetection d = DetectDecays(x, record.Rate);
    detection = std::min(detection, Seconds(start));
    decays = d.Decays.size();
    state.SetIterationTime(spectrumSeconds);
  }
  state.counters["read_s"] = read;
  state.counters["spectrum_s"] = spectrum;
  state.counters["detect_s"] = detection;
  state.counters["spectrum/read"] = spectrum / read;
  state.counters["detect/read"] = detection / read;
  state.counters["decays"] = static_cast<double>(decays);
}
BENCHMARK(BM_FindingVsRead10M)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

void BM_WelchSpectrum10M(benchmark::State& state) {
  const std::span<const float> x = DecaysWave().Samples[0];
  Spectrum s;
  for (auto _ : state) {
    s = WelchSpectrum(x, kRate);
    benchmark::DoNotOptimize(s.Amplitude.data());
  }
  state.counters["segment"] = static_cast<double>(s.SegmentLength);
  state.counters["segments"] = static_cast<double>(s.Segments);
  state.SetItemsProcessed(state.iterations() * kSamples);
}
BENCHMARK(BM_WelchSpectrum10M)->Unit(benchmark::kMillisecond)->UseRealTime();

// The centre given, as when the record was filtered: no spectrum.
void BM_DetectDecaysCentred10M(benchmark::State& state) {
  const std::span<const float> x = DecaysWave().Samples[0];
  DetectionSettings settings;
  settings.CentreHz = 2.3;
  std::size_t decays = 0;
  for (auto _ : state) {
    const DecayDetection d = DetectDecays(x, kRate, settings);
    decays = d.Decays.size();
  }
  state.counters["decays"] = static_cast<double>(decays);
  state.SetItemsProcessed(state.iterations() * kSamples);
}
BENCHMARK(BM_DetectDecaysCentred10M)->Unit(benchmark::kMillisecond)->UseRealTime();

// Eight channels of 10⁷ samples: the summaries once per record, then every
// redraw of the strip.
struct Overview {
  std::vector<std::vector<float>> channels;
  std::vector<MinMaxSummary> summaries;
  double buildSeconds = 0.0;
};

const Overview& EightChannels() {
  static const Overview overview = [] {
    Overview o;
    const std::vector<float>& x = DecaysWave().Samples[0];
    for (int c = 0; c < kChannels; ++c) {
      o.channels.push_back(x);
      for (float& v : o.channels.back()) v *= static_cast<float>(c + 1);
    }
    const auto start = std::chrono::steady_clock::now();
    for (const std::vector<float>& channel : o.channels) o.summaries.emplace_back(channel);
    o.buildSeconds = Seconds(start);
    return o;
  }();
  return overview;
}

void BM_OverviewColumns8x10M(benchmark::State& state) {
  const Overview& overview = EightChannels();
  std::vector<MinMax> columns(kColumns);
  for (auto _ : state) {
    for (const MinMaxSummary& summary : overview.summaries) {
      summary.Columns(0, kSamples, columns);
      benchmark::DoNotOptimize(columns.data());
    }
  }
  state.counters["build_s"] = overview.buildSeconds;
}
BENCHMARK(BM_OverviewColumns8x10M)->Unit(benchmark::kMillisecond);

}  // namespace
