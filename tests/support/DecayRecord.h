// Synthetic records of free decays among noise, with known onsets: each decay
// A·e^(−h·ωn·t)·cos(ωd·t + φ) from its onset on, added to white Gaussian noise,
// an offset and a linear drift; optionally clipped at ±clip, as a sensor or a
// converter at the end of its range would.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "tests/support/GaussianNoise.h"

struct SyntheticDecay {
  std::int64_t Onset = 0;  // sample
  double Amplitude = 1.0;
  double F = 3.7;   // Hz, undamped natural frequency
  double H = 0.02;  // damping ratio
  double Phase = 0.7;
};

struct DecayRecordShape {
  std::int64_t Count = 0;
  double Rate = 100.0;
  std::vector<SyntheticDecay> Decays;
  double NoiseSigma = 0.0;
  std::uint64_t Seed = 1;
  double Offset = 0.0;
  double DriftPerSample = 0.0;
  double Clip = 0.0;  // 0: none
};

inline std::vector<float> DecayRecord(const DecayRecordShape& shape) {
  std::vector<double> x(static_cast<std::size_t>(shape.Count), 0.0);
  for (const SyntheticDecay& d : shape.Decays) {
    const double wn = 2.0 * M_PI * d.F;
    const double wd = wn * std::sqrt(1.0 - d.H * d.H);
    for (std::int64_t i = d.Onset; i < shape.Count; ++i) {
      const double t = static_cast<double>(i - d.Onset) / shape.Rate;
      const double envelope = d.Amplitude * std::exp(-d.H * wn * t);
      if (envelope < 1e-9 * d.Amplitude) break;
      x[static_cast<std::size_t>(i)] += envelope * std::cos(wd * t + d.Phase);
    }
  }
  GaussianNoise noise(shape.Seed);
  std::vector<float> samples(x.size());
  for (std::size_t i = 0; i < x.size(); ++i) {
    double v = x[i] + shape.NoiseSigma * noise.Next() + shape.Offset + shape.DriftPerSample * static_cast<double>(i);
    if (shape.Clip > 0.0) v = std::clamp(v, shape.Offset - shape.Clip, shape.Offset + shape.Clip);
    samples[i] = static_cast<float>(v);
  }
  return samples;
}
