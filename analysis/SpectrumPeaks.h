// Peaks of a Welch-averaged amplitude spectrum that stand out of its noise.
// The floor at each bin is the median power over the octave around it, turned
// into a mean by the median of the averaged chi-square law. A peak must exceed
// that mean by the factor that noise of that many averages reaches at most once
// in a hundred spectra (Wilson–Hilferty quantiles), and the saddle towards any
// higher peak by the ratio noise makes of two bins as rarely; both by 3 dB at
// least. Peaks are located by a parabola through the
// logarithms of three amplitudes; the half-power band is read from the power
// between bins.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

// Bins below this one hold the mean and the drift that detrending leaves; no
// peak is looked for there.
constexpr std::size_t kLowestPeakBin = 3;
// A half-power band narrower than this many bins is mostly the window's own
// width: no damping is read from it.
constexpr double kMinHalfPowerBins = 5.0;

enum class HalfPower {
  Resolved,  // both half-power points found, the band at least kMinHalfPowerBins wide
  Narrow,    // found, but narrower: longer segments would resolve it
  Unclear,   // a point lies in the noise, at an end, or beyond another peak
};

struct SpectralPeak {
  double Bin = 0.0;        // interpolated position, in bins
  double Amplitude = 0.0;  // interpolated, units of the spectrum
  HalfPower Band = HalfPower::Unclear;
  double LowerBin = 0.0;  // half-power points, in bins, where found
  double UpperBin = 0.0;
  double WidthBins = 0.0;  // the band's width less the window's widening, where found

  // Damping ratio h = (f2 − f1)/(f2 + f1) from the half-power points, the
  // width f2 − f1 without the window's widening; first order in h, whatever
  // the response quantity (displacement, velocity or acceleration). Only where
  // the band is resolved.
  std::optional<double> DampingRatio() const;
};

// The vertex of the parabola through the logarithms of three amplitudes at
// bins −1, 0, +1 (the middle one the largest): its offset, within ±0.5 bin, and
// its amplitude. For a Hann-windowed sine the offset is within 0.02 bin and the
// amplitude within 4 % high; on a wider peak both are closer. The middle bin
// unchanged when a neighbour is 0.
struct PeakVertex {
  double Offset = 0.0;
  double Amplitude = 0.0;
};
PeakVertex InterpolatePeak(double before, double middle, double after);

// How many times larger than the mean noise power an averaged bin of `averages`
// effective segments reaches at most once in a hundred spectra of `bins` bins.
double NoiseExceedanceRatio(double averages, std::size_t bins);

// Effective number of independent averages of `segments` Hann segments that
// overlap by half.
double EffectiveAverages(std::size_t segments);

// The significant peaks of `amplitude` (one-sided amplitude spectrum, bin k at
// k·resolution, averaged over `averages` effective segments), strongest first,
// at most `maxPeaks`.
std::vector<SpectralPeak> FindSpectralPeaks(std::span<const double> amplitude, double averages, std::size_t maxPeaks);
