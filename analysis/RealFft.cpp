#include "analysis/RealFft.h"

#include <cmath>
#include <kissfft/kissfft.hh>

namespace {
constexpr double kPi = 3.141592653589793;
}

struct RealFft::Plan {
  explicit Plan(std::size_t half) : fft(half, false), packed(half), twiddles(half / 2 + 1) {
    // e^(−2πik/L) = e^(−πik/N) for k = 0 … N/2.
    for (std::size_t k = 0; k < twiddles.size(); ++k) {
      const double angle = -kPi * static_cast<double>(k) / static_cast<double>(half);
      twiddles[k] = {static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle))};
    }
  }
  kissfft<float> fft;
  std::vector<std::complex<float>> packed;  // Z, the transform of half the length
  std::vector<std::complex<float>> twiddles;
};

RealFft::RealFft(std::size_t length) : length_(length), plan_(std::make_unique<Plan>(length / 2)) {}
RealFft::~RealFft() = default;
RealFft::RealFft(RealFft&&) noexcept = default;
RealFft& RealFft::operator=(RealFft&&) noexcept = default;

void RealFft::AddPower(const float* in, double* sums) {
  const std::size_t half = length_ / 2;
  std::complex<float>* z = plan_->packed.data();
  plan_->fft.transform(reinterpret_cast<const std::complex<float>*>(in), z);
  const std::complex<float>* t = plan_->twiddles.data();
  // With E and O the transforms of the even and the odd samples,
  // E_k = (Z_k + Z*_(N−k))/2, O_k = (Z_k − Z*_(N−k))/2i, X_k = E_k + t_k·O_k
  // and X_(N−k) = (E_k − t_k·O_k)*.
  sums[0] += static_cast<double>(z[0].real() + z[0].imag()) * static_cast<double>(z[0].real() + z[0].imag());
  sums[half] += static_cast<double>(z[0].real() - z[0].imag()) * static_cast<double>(z[0].real() - z[0].imag());
  for (std::size_t k = 1; 2 * k <= half; ++k) {
    const float ar = z[k].real(), ai = z[k].imag();
    const float br = z[half - k].real(), bi = -z[half - k].imag();  // Z*_(N−k)
    const float er = 0.5f * (ar + br), ei = 0.5f * (ai + bi);
    const float dr = 0.5f * (ar - br), di = 0.5f * (ai - bi);
    const float or_ = di, oi = -dr;  // (Z_k − Z*_(N−k))/2i
    const float tr = t[k].real(), ti = t[k].imag();
    const float pr = tr * or_ - ti * oi, pi = tr * oi + ti * or_;
    const double xr = er + pr, xi = ei + pi, yr = er - pr, yi = ei - pi;
    sums[k] += xr * xr + xi * xi;
    if (2 * k != half) sums[half - k] += yr * yr + yi * yi;
  }
}
