// Ambient response of a one-degree-of-freedom system (frequency f Hz, damping
// ratio h) struck by a random impulse at every sample. Between samples the
// free response is exact, which makes the sampled record
// x_n = a1·x_(n−1) − a2·x_(n−2) + g1·e_(n−1), the recursion of the impulse
// response g. An offset of 0.3 is added for a mean removal to take away.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "tests/support/GaussianNoise.h"

inline std::vector<float> AmbientResponse(double f, double h, int rate, int count, std::uint64_t seed) {
  const double wn = 2.0 * M_PI * f;
  const double wd = wn * std::sqrt(1.0 - h * h);
  const double dt = 1.0 / rate;
  const double decay = std::exp(-h * wn * dt);
  const double a1 = 2.0 * decay * std::cos(wd * dt);
  const double a2 = decay * decay;
  const double g1 = decay * std::sin(wd * dt) / wd;
  GaussianNoise noise(seed);
  std::vector<float> samples(static_cast<std::size_t>(count));
  double x1 = 0.0, x2 = 0.0, e1 = 0.0;
  for (auto& sample : samples) {
    const double x = a1 * x1 - a2 * x2 + g1 * e1;
    x2 = x1;
    x1 = x;
    e1 = 1000.0 * noise.Next();
    sample = static_cast<float>(x + 0.3);
  }
  return samples;
}
