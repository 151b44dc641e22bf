#include "analysis/RandomDecrement.h"

#include <cmath>

#include "io/NumberText.h"

namespace {

// Samples between two progress reports.
constexpr std::size_t kProgressBlock = std::size_t{1} << 20;

RandomDecrementSignature Failed(RandomDecrementFailureKind kind, const char* message) {
  RandomDecrementSignature out;
  out.Failure = RandomDecrementFailure{kind, message};
  return out;
}

// The record's mean, σ of the mean-free record and the trigger level L·σ, in
// double and in the order of the samples, as every use of the level takes them.
struct Levels {
  double Mean = 0.0;
  double Sigma = 0.0;
  double Level = 0.0;
};
Levels LevelsOf(std::span<const float> samples, double sum, double levelSigmas) {
  Levels levels;
  levels.Mean = sum / static_cast<double>(samples.size());
  double sumSquares = 0.0;
  for (const float v : samples) {
    const double x = v - levels.Mean;
    sumSquares += x * x;
  }
  levels.Sigma = std::sqrt(sumSquares / static_cast<double>(samples.size()));
  levels.Level = levelSigmas * levels.Sigma;
  return levels;
}

}  // namespace

std::optional<RandomDecrementFailure> RandomDecrementSettingProblem(double levelSigmas, float lengthSeconds, double rate,
                                                                   std::size_t sampleCount) {
  if (!(levelSigmas > 0.0) || !std::isfinite(levelSigmas)) {
    return RandomDecrementFailure{RandomDecrementFailureKind::BadLevel, "トリガレベルは0より大きい数にしてください。"};
  }
  const double length = rate * lengthSeconds;
  if (!(length >= static_cast<double>(kMinSignatureSamples))) {
    return RandomDecrementFailure{RandomDecrementFailureKind::TooShort,
                                  "信号の長さが短すぎます（2サンプル以上必要です）。"};
  }
  if (length > static_cast<double>(sampleCount)) {
    return RandomDecrementFailure{RandomDecrementFailureKind::TooLong, "信号の長さがデータの長さを超えています。"};
  }
  return std::nullopt;
}

RandomDecrementSignature RandomDecrement(std::span<const float> samples, double rate, double levelSigmas,
                                         float lengthSeconds, const Progress* progress) {
  const std::size_t n = samples.size();
  if (std::optional<RandomDecrementFailure> problem =
          RandomDecrementSettingProblem(levelSigmas, lengthSeconds, rate, n)) {
    RandomDecrementSignature refused;
    refused.Failure = std::move(problem);
    return refused;
  }
  const auto m = static_cast<std::size_t>(rate * lengthSeconds);

  // Sums in double in the order of the samples.
  double sum = 0.0;
  for (const float v : samples) sum += v;
  // Finite floats cannot sum to an infinity in double: only a sample that is
  // not a number or infinite can spoil the sum, and every level with it.
  if (!std::isfinite(sum)) {
    std::size_t first = 0;
    while (first < n && std::isfinite(samples[first])) ++first;
    RandomDecrementSignature refused;
    refused.Failure = RandomDecrementFailure{RandomDecrementFailureKind::BadSamples,
                                             "データに数値でない値があります（サンプル番号 " + std::to_string(first) +
                                                 "）。"};
    return refused;
  }
  const Levels levels = LevelsOf(samples, sum, levelSigmas);
  const double mean = levels.Mean;

  RandomDecrementSignature out;
  out.Sigma = levels.Sigma;
  out.Level = levels.Level;
  out.Mean = mean;
  out.Length = static_cast<std::int32_t>(m);
  const double level = out.Level;

  // Each segment is added as a whole, so every D_k sums its terms in trigger order.
  std::vector<double> sums(m, 0.0);
  double previous = samples[0] - mean;
  for (std::size_t i = 1; i + m <= n; ++i) {
    if (progress != nullptr && i % kProgressBlock == 0) {
      progress->At(static_cast<double>(i) / static_cast<double>(n));
      if (progress->Cancelled()) return Failed(RandomDecrementFailureKind::Cancelled, "中止しました。");
    }
    const double current = samples[i] - mean;
    if (previous < level && level <= current) {
      const float* segment = samples.data() + i;
      for (std::size_t k = 0; k < m; ++k) sums[k] += segment[k] - mean;
      ++out.Triggers;
      out.TriggerStarts.push_back(static_cast<std::int64_t>(i));
    }
    previous = current;
  }
  if (out.Triggers == 0) return Failed(RandomDecrementFailureKind::NoTrigger, "トリガ点がありません");

  out.Values.resize(m);
  const auto triggers = static_cast<double>(out.Triggers);
  for (std::size_t k = 0; k < m; ++k) out.Values[k] = static_cast<float>(sums[k] / triggers);
  if (progress != nullptr) progress->At(1.0);
  return out;
}

WaveData SignatureRecord(const WaveData& source, int channel, const RandomDecrementSignature& signature) {
  WaveData record;
  record.ChannelCount = 1;
  record.SampleCount = signature.Length;
  record.Rate = source.Rate;
  record.Dt = source.Dt;
  record.Names[0] = source.Names[static_cast<std::size_t>(channel)];
  record.Units[0] = source.Units[static_cast<std::size_t>(channel)];
  record.Samples[0] = signature.Values;
  return record;
}

std::optional<TriggerCount> CountTriggers(std::span<const float> samples, double rate, double levelSigmas,
                                          float lengthSeconds) {
  const std::size_t n = samples.size();
  if (RandomDecrementSettingProblem(levelSigmas, lengthSeconds, rate, n)) return std::nullopt;
  const auto m = static_cast<std::size_t>(rate * lengthSeconds);
  // As RandomDecrement counts them: up-crossings x_(i−1) < a ≤ x_i of the
  // mean-free samples, with room for a whole segment.
  double sum = 0.0;
  for (const float v : samples) sum += v;
  if (!std::isfinite(sum)) return std::nullopt;
  const Levels levels = LevelsOf(samples, sum, levelSigmas);
  TriggerCount count;
  count.Sigma = levels.Sigma;
  for (std::size_t i = 1; i + m <= n; ++i) {
    const double previous = samples[i - 1] - levels.Mean;
    const double current = samples[i] - levels.Mean;
    if (previous < levels.Level && levels.Level <= current) ++count.Triggers;
  }
  return count;
}

std::string SignatureMemo(double levelSigmas, float lengthSeconds, std::int64_t first, std::int64_t last,
                          std::int64_t triggers) {
  return "RD法 レベル" + FormatC("%g", levelSigmas) + "σ 長さ" + FormatC("%g", static_cast<double>(lengthSeconds)) +
         "秒 範囲" + std::to_string(first) + "-" + std::to_string(last) + " トリガ" + std::to_string(triggers);
}

std::string SignatureFileName(std::string_view fileName, int channelNumber) {
  return StemOf(fileName) + "_ch" + std::to_string(channelNumber) + "_rd.csv";
}
