// Band-limited envelope of a record around a centre frequency fc: quadrature
// demodulation (the samples times e^(−i·2π·fc·t)) in block means of about a
// tenth of a period, less the record's slowly moving baseline (the block means
// smoothed well below fc, so offsets and drift do not leak in), then a
// zero-phase low-pass: four one-pole sections run forwards and backwards. Its
// response, 1 / (1 + (Δf/a)²)⁴ at Δf from fc, has no ringing, so a sudden large
// impact shows no echo before or after itself; a is set for half amplitude at
// the band's edge, fc ± B. Twice the magnitude is the envelope of what the
// record holds around fc, in units of the samples (1 at fc, 0.83 at fc ± B/2);
// turned back up to fc, the real part is that band's signal. Cheap: per record
// sample three multiply-adds, the rest on the ten-times shorter series.
#pragma once

#include <complex>
#include <cstddef>
#include <span>
#include <vector>

#include "io/Progress.h"

constexpr double kEnvelopeSamplesPerPeriod = 10.0;

struct BandEnvelope {
  double CentreHz = 0.0;
  double HalfWidthHz = 0.0;                   // B
  std::size_t Block = 1;                      // record samples per envelope sample
  double Rate = 0.0;                          // envelope samples per second
  std::vector<std::complex<float>> Baseband;  // the low-passed demodulated series
  std::vector<float> Envelope;                // 2·|Baseband|

  std::size_t Size() const { return Envelope.size(); }
  // Record sample (fractional) at the middle of envelope sample j.
  double SampleAt(std::size_t j) const { return static_cast<double>(j * Block) + 0.5 * static_cast<double>(Block - 1); }
  // The band's signal at envelope sample j, units of the samples.
  double Signal(std::size_t j, double recordRate) const;
};

// The envelope of `samples` (at `rate` samples/s) around centreHz
// (0 < centreHz < rate/2) with half-width halfWidthHz (0 < B < fc). Reports
// the fraction of the record demodulated; false, the envelope incomplete, when
// the caller asked to stop.
bool MakeBandEnvelope(std::span<const float> samples, double rate, double centreHz, double halfWidthHz,
                      BandEnvelope& out, const Progress* progress = nullptr);
