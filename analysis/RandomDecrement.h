// Random-decrement signature of an ambient record: the mean of all segments
// that start where the record crosses a level upwards. For a linear system
// driven by broadband noise the signature is a free decay with the system's
// frequency and damping, so it can be evaluated like a measured one.
//
// Definition, kept exactly so that others can reproduce the signature:
// x_i = sample in double minus the mean; σ = √(Σx_i² / n); level a = L·σ;
// triggers are the i with 1 ≤ i, i + M ≤ n and x_(i−1) < a ≤ x_i;
// D_k = Σ x_(i+k) / T over the T triggers, summed in double in trigger order,
// divided in double and stored in single precision, k = 0 … M − 1.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "io/Progress.h"
#include "io/WaveData.h"

constexpr double kDefaultTriggerLevel = 1.41;     // in σ
constexpr float kDefaultSignatureSeconds = 5.0f;  // signature length, s
constexpr std::int64_t kMinSignatureSamples = 2;

enum class RandomDecrementFailureKind {
  BadLevel,   // L ≤ 0 or not a number
  TooShort,   // M < 2
  TooLong,    // M > n
  NoTrigger,  // no up-crossing of the level with room for a whole segment
  BadSamples, // a sample is not a number (or infinite): mean and σ would be too
  Cancelled,  // the caller asked to stop
};

struct RandomDecrementFailure {
  RandomDecrementFailureKind Kind = RandomDecrementFailureKind::NoTrigger;
  std::string Message;  // UTF-8, ready to show
};

struct RandomDecrementSignature {
  std::optional<RandomDecrementFailure> Failure;
  std::int64_t Triggers = 0;  // T
  double Sigma = 0.0;         // σ of the mean-free record
  double Level = 0.0;         // a = L·σ
  std::int32_t Length = 0;    // M, samples of the signature
  std::vector<float> Values;  // D_0 … D_(M−1)
  double Mean = 0.0;          // of the record, taken away before the triggers
  std::vector<std::int64_t> TriggerStarts;  // the T trigger samples i, rising

  bool Ok() const { return !Failure.has_value(); }
};

// Why a setting cannot give a signature of a record of `sampleCount` samples
// at `rate` (level not above 0, fewer than 2 samples, longer than the record);
// nothing when it can.
std::optional<RandomDecrementFailure> RandomDecrementSettingProblem(double levelSigmas, float lengthSeconds, double rate,
                                                                   std::size_t sampleCount);

// The signature of `samples` (one channel, `rate` samples/s) at level
// levelSigmas·σ, lengthSeconds long: M = trunc(rate × lengthSeconds), the
// product in double as the view computes its width. A record holding a value
// that is not a finite number is refused, naming the first such sample.
RandomDecrementSignature RandomDecrement(std::span<const float> samples, double rate, double levelSigmas,
                                         float lengthSeconds, const Progress* progress = nullptr);

// What a signature would be made of, found without making it: the number of
// triggers and σ, for a setting shown before the work starts. Nothing when the
// setting cannot give a signature or a sample is not finite.
struct TriggerCount {
  std::int64_t Triggers = 0;
  double Sigma = 0.0;
};
std::optional<TriggerCount> CountTriggers(std::span<const float> samples, double rate, double levelSigmas,
                                          float lengthSeconds);
// Fewer triggers than this leave a signature too ragged to evaluate well.
constexpr std::int64_t kFewTriggers = 50;

// The memo line of a signature file: how it was made ("RD法 レベル1.41σ 長さ5秒
// 範囲0-29999 トリガ325"), one cell without commas.
std::string SignatureMemo(double levelSigmas, float lengthSeconds, std::int64_t first, std::int64_t last,
                          std::int64_t triggers);

// The name a signature is offered under: "<name without extension>_ch<K>_rd.csv"
// ("sample0.csv", channel 1: "sample0_ch1_rd.csv").
std::string SignatureFileName(std::string_view fileName, int channelNumber);

// The signature as a one-channel record, as the conversion writes it and the
// readers take it: the source channel's name and unit, the source rate.
WaveData SignatureRecord(const WaveData& source, int channel, const RandomDecrementSignature& signature);
