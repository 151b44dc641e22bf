// Power spectrum of a real sequence of even length L: KissFFT's complex
// transform of half the length (even samples as real parts, odd ones as
// imaginary parts), split into the one-sided spectrum with a table of
// twiddles. The transform runs in single precision, which leaves its rounding
// some 120 dB below a segment's strongest component; powers are summed in
// double. Lengths with small prime factors are fast, powers of two fastest.
#pragma once

#include <complex>
#include <cstddef>
#include <memory>
#include <vector>

class RealFft {
 public:
  // `length` even and at least 4.
  explicit RealFft(std::size_t length);
  ~RealFft();
  RealFft(RealFft&&) noexcept;
  RealFft& operator=(RealFft&&) noexcept;

  std::size_t Length() const { return length_; }

  // sums[k] += |Σ in[i]·e^(−2πi·k·i/L)|² for k = 0 … L/2 (L/2 + 1 values);
  // `in` holds L values. Not to be called from two threads at once.
  void AddPower(const float* in, double* sums);

 private:
  struct Plan;
  std::size_t length_;
  std::unique_ptr<Plan> plan_;
};
