// Normally distributed numbers from our own generator (a 64-bit linear
// congruential generator through Box–Muller), the same sequence for a given
// seed wherever the tests run.
#pragma once

#include <cmath>
#include <cstdint>

class GaussianNoise {
 public:
  explicit GaussianNoise(std::uint64_t seed) : state_(seed) {}

  // Mean 0, standard deviation 1.
  double Next() { return std::sqrt(-2.0 * std::log(Uniform())) * std::cos(2.0 * M_PI * Uniform()); }

 private:
  // In (0, 1), never 0, so the logarithm is finite.
  double Uniform() {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return (static_cast<double>(state_ >> 11) + 0.5) / 9007199254740992.0;
  }

  std::uint64_t state_;
};
