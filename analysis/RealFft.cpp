#include "analysis/RealFft.h"

#include <kissfft.hh>

struct RealFft::Plan {
  explicit Plan(std::size_t half) : fft(half, false) {}
  kissfft<double> fft;
};

RealFft::RealFft(std::size_t length) : length_(length), plan_(std::make_unique<Plan>(length / 2)) {}
RealFft::~RealFft() = default;
RealFft::RealFft(RealFft&&) noexcept = default;
RealFft& RealFft::operator=(RealFft&&) noexcept = default;

void RealFft::Transform(const double* in, std::complex<double>* out) const {
  // KissFFT packs the values at 0 and at L/2, both real, into out[0].
  plan_->fft.transform_real(in, out);
  const double nyquist = out[0].imag();
  out[0] = {out[0].real(), 0.0};
  out[length_ / 2] = {nyquist, 0.0};
}
