// A folder of monitoring-like records made by our own generator: standard CSV
// files, one or two channels at 100 samples/s, each channel with zero to two
// free decays of known f and h among noise, spread over dated subfolders the
// way an hourly logger leaves them. Record k is the same bytes on every run.
#pragma once

#include <sys/time.h>

#include <cmath>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "io/WriteCsv.h"
#include "tests/support/DecayRecord.h"

struct RecordTreeShape {
  int Records = 12;
  std::int64_t Samples = 3000;  // per channel
  double Rate = 100.0;
  int RecordsPerFolder = 6;
  // Record k's time (its file's modification time, which the CSV reader
  // takes as the recording time): this local time plus k hours.
  int Year = 2026, Month = 11, Day = 2;
};

// The decays of channel `channel` of record `k` (some channels have none).
inline std::vector<SyntheticDecay> TreeDecays(int k, int channel, std::int64_t samples) {
  std::vector<SyntheticDecay> decays;
  const int count = (k + channel) % 3;  // 0, 1 or 2 decays
  for (int d = 0; d < count; ++d) {
    SyntheticDecay decay;
    decay.Onset = samples / 8 + d * samples / 2 + 37 * k % 101;
    decay.Amplitude = 8.0 + 3.0 * ((k * 7 + d) % 5);
    decay.F = 2.3 + 0.37 * ((k + 2 * channel) % 7);
    decay.H = 0.012 + 0.004 * ((k * 3 + channel) % 5);
    decay.Phase = 0.7;
    decays.push_back(decay);
  }
  return decays;
}

// Writes the records under `folder` (day-NN/hour-MM.csv); returns their paths.
inline std::vector<std::string> WriteRecordTree(const std::string& folder, const RecordTreeShape& shape = {}) {
  std::vector<std::string> paths;
  for (int k = 0; k < shape.Records; ++k) {
    WaveData record;
    record.ChannelCount = 1 + k % 2;
    record.SampleCount = static_cast<std::int32_t>(shape.Samples);
    record.Rate = shape.Rate;
    record.Dt = static_cast<float>(1.0 / shape.Rate);
    for (int c = 0; c < record.ChannelCount; ++c) {
      CopyToSlot("S" + std::to_string(c + 1), record.Names[static_cast<std::size_t>(c)]);
      CopyToSlot("cm/s2", record.Units[static_cast<std::size_t>(c)]);
      DecayRecordShape channel;
      channel.Count = shape.Samples;
      channel.Rate = shape.Rate;
      channel.Decays = TreeDecays(k, c, shape.Samples);
      channel.NoiseSigma = 0.05;
      channel.Seed = 1000 + static_cast<std::uint64_t>(k) * 8 + static_cast<std::uint64_t>(c);
      record.Samples[static_cast<std::size_t>(c)] = DecayRecord(channel);
    }
    char name[64];
    std::snprintf(name, sizeof name, "day-%02d/hour-%02d.csv", k / shape.RecordsPerFolder + 1,
                  k % shape.RecordsPerFolder);
    const std::filesystem::path path = std::filesystem::path(folder) / name;
    std::filesystem::create_directories(path.parent_path());
    WriteCsv(path.string(), record);
    std::tm start{};
    start.tm_year = shape.Year - 1900;
    start.tm_mon = shape.Month - 1;
    start.tm_mday = shape.Day;
    start.tm_isdst = -1;
    const timeval when{std::mktime(&start) + 3600 * static_cast<std::time_t>(k), 0};
    const timeval times[2] = {when, when};
    ::utimes(path.c_str(), times);
    paths.push_back(path.string());
  }
  return paths;
}
