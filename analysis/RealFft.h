// Discrete Fourier transform of a real sequence of even length in double
// precision, through KissFFT's mixed-radix template (a complex transform of half
// the length and a split into the one-sided spectrum). Lengths with small prime
// factors are fast; powers of two fastest.
#pragma once

#include <complex>
#include <cstddef>
#include <memory>

class RealFft {
 public:
  // `length` even and at least 2.
  explicit RealFft(std::size_t length);
  ~RealFft();
  RealFft(RealFft&&) noexcept;
  RealFft& operator=(RealFft&&) noexcept;

  std::size_t Length() const { return length_; }

  // out[k] = Σ in[i]·e^(−2πi·k·i/L) for k = 0 … L/2: L/2 + 1 values, unscaled.
  // `in` holds L values; `out` must not overlap it.
  void Transform(const double* in, std::complex<double>* out) const;

 private:
  struct Plan;
  std::size_t length_;
  std::unique_ptr<Plan> plan_;
};
