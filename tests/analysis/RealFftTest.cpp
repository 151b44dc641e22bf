#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "analysis/RealFft.h"
#include "tests/support/GaussianNoise.h"

namespace {

// The powers against a plain DFT in double, for lengths whose half is even,
// odd, a power of two, and of other factors (KissFFT's generic butterfly).
TEST(RealFftTest, PowersMatchAPlainTransform) {
  for (const std::size_t length : {4u, 6u, 18u, 22u, 1000u, 2048u}) {
    GaussianNoise noise(length);
    std::vector<float> x(length);
    for (float& v : x) v = static_cast<float>(noise.Next() + 0.3);
    std::vector<double> sums(length / 2 + 1, 1.0);  // added to what is there
    RealFft fft(length);
    fft.AddPower(x.data(), sums.data());
    fft.AddPower(x.data(), sums.data());
    double largest = 0.0;
    std::vector<double> plain(length / 2 + 1);
    for (std::size_t k = 0; k <= length / 2; ++k) {
      std::complex<double> s;
      for (std::size_t i = 0; i < length; ++i) {
        s += static_cast<double>(x[i]) *
             std::polar(1.0, -2.0 * M_PI * static_cast<double>(k * i % length) / static_cast<double>(length));
      }
      plain[k] = std::norm(s);
      largest = std::max(largest, plain[k]);
    }
    for (std::size_t k = 0; k <= length / 2; ++k) {
      EXPECT_NEAR(sums[k], 1.0 + 2.0 * plain[k], 1e-5 * largest) << length << " bin " << k;
    }
  }
}

}  // namespace
