#include "analysis/BandEnvelope.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kTwoPi = 6.283185307179586;
// Record samples between progress reports and cancel checks.
constexpr std::size_t kReportSamples = std::size_t{1} << 20;
// Block phasors are advanced by multiplication and set exactly again this often.
constexpr std::size_t kExactPhasorEvery = 256;
// One-pole sections of the smoothers, run each way.
constexpr int kPoles = 4;
// (1 + x²)^−4 = 1/2 at x² = 2^(1/4) − 1: the corner a for half amplitude at B.
constexpr double kHalfAmplitudeCorner = 0.43491496;  // √(2^(1/4) − 1)
// The baseline's corner, fc / this: it holds 89 % of a sway at fc/6 and 0.16 %
// of the band's centre, 1.3 % of its lower edge at 0.7·fc.
constexpr double kBaselineDivisor = 2.0;

// e^(−i·2π·cycles), the whole cycles taken off first so a long record keeps
// its phase.
std::complex<double> Turn(double cycles) {
  const double fraction = cycles - std::floor(cycles);
  return {std::cos(kTwoPi * fraction), -std::sin(kTwoPi * fraction)};
}

// Zero-phase smoothing in place: kPoles one-pole low-passes of corner `corner`
// (Hz, at `rate`) forwards, then the same backwards, each started at the first
// value it meets as if the series had always had it.
template <class T>
void Smooth(std::vector<T>& y, double corner, double rate) {
  if (y.empty()) return;
  const double gain = 1.0 - std::exp(-kTwoPi * corner / rate);
  for (const bool forwards : {true, false}) {
    const std::size_t m = y.size();
    T state[kPoles];
    for (T& s : state) s = forwards ? y.front() : y.back();
    for (std::size_t n = 0; n < m; ++n) {
      T& slot = y[forwards ? n : m - 1 - n];
      T u = slot;
      for (T& s : state) {
        s += gain * (u - s);
        u = s;
      }
      slot = u;
    }
  }
}

}  // namespace

double BandEnvelope::Signal(std::size_t j, double recordRate) const {
  const std::complex<double> back = std::conj(Turn(CentreHz / recordRate * SampleAt(j)));
  return 2.0 * (std::complex<double>(Baseband[j]) * back).real();
}

bool MakeBandEnvelope(std::span<const float> samples, double rate, double centreHz, double halfWidthHz,
                      BandEnvelope& out, const Progress* progress) {
  const std::size_t n = samples.size();
  out.CentreHz = centreHz;
  out.HalfWidthHz = halfWidthHz;
  out.Block = std::max<std::size_t>(1, static_cast<std::size_t>(rate / (kEnvelopeSamplesPerPeriod * centreHz)));
  out.Rate = rate / static_cast<double>(out.Block);
  const std::size_t block = out.Block;
  const std::size_t m = (n + block - 1) / block;

  // Within a block, sample k is turned by e^(−iωk); the block as a whole by
  // e^(−iω·jD), the same for all its samples.
  const double cyclesPerSample = centreHz / rate;
  std::vector<double> cosine(block), sine(block);
  for (std::size_t k = 0; k < block; ++k) {
    const std::complex<double> t = Turn(cyclesPerSample * static_cast<double>(k));
    cosine[k] = t.real();
    sine[k] = t.imag();
  }
  std::vector<std::complex<double>> turned(m);  // block means of x·e^(−iωk), then the baseband
  std::vector<double> level(m);                 // block means of x, then the baseline
  // Means of e^(−iωk) over a whole block and over the last, shorter one.
  std::complex<double> turnMean, lastTurnMean;
  const std::size_t lastCount = n - (m - 1) * block;
  for (std::size_t k = 0; k < block; ++k) {
    turnMean += std::complex<double>(cosine[k], sine[k]) / static_cast<double>(block);
    if (k < lastCount) lastTurnMean += std::complex<double>(cosine[k], sine[k]) / static_cast<double>(lastCount);
  }
  for (std::size_t j = 0; j < m; ++j) {
    const std::size_t begin = j * block;
    if (begin % kReportSamples < block && progress != nullptr) {
      progress->At(static_cast<double>(begin) / static_cast<double>(n));
      if (progress->Cancelled()) return false;
    }
    const float* x = samples.data() + begin;
    const std::size_t count = std::min(block, n - begin);
    // Two partial sums each, so that the additions overlap.
    double re0 = 0.0, im0 = 0.0, re1 = 0.0, im1 = 0.0, sum0 = 0.0, sum1 = 0.0;
    std::size_t k = 0;
    for (; k + 1 < count; k += 2) {
      re0 += x[k] * cosine[k];
      im0 += x[k] * sine[k];
      sum0 += x[k];
      re1 += x[k + 1] * cosine[k + 1];
      im1 += x[k + 1] * sine[k + 1];
      sum1 += x[k + 1];
    }
    if (k < count) {
      re0 += x[k] * cosine[k];
      im0 += x[k] * sine[k];
      sum0 += x[k];
    }
    const auto c = static_cast<double>(count);
    turned[j] = std::complex<double>(re0 + re1, im0 + im1) / c;
    level[j] = (sum0 + sum1) / c;
  }

  // Less the baseline, which is nearly constant over a block, then turned by
  // the block's own phase.
  Smooth(level, centreHz / kBaselineDivisor, out.Rate);
  const std::complex<double> step = Turn(cyclesPerSample * static_cast<double>(block));
  std::complex<double> phasor = 1.0;
  std::vector<std::complex<double>>& baseband = turned;
  for (std::size_t j = 0; j < m; ++j) {
    if (j % kExactPhasorEvery == 0) phasor = Turn(cyclesPerSample * static_cast<double>(j * block));
    baseband[j] = phasor * (turned[j] - level[j] * (j + 1 < m ? turnMean : lastTurnMean));
    phasor *= step;
  }
  level = std::vector<double>();
  Smooth(baseband, halfWidthHz / kHalfAmplitudeCorner, out.Rate);
  out.Baseband.resize(m);
  out.Envelope.resize(m);
  for (std::size_t j = 0; j < m; ++j) {
    out.Baseband[j] = std::complex<float>(baseband[j]);
    out.Envelope[j] = static_cast<float>(2.0 * std::abs(baseband[j]));
  }
  return true;
}
