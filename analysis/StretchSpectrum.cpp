#include "analysis/StretchSpectrum.h"

#include <algorithm>

namespace {

bool Resolved(const Spectrum& spectrum) {
  if (spectrum.Peaks.empty()) return false;
  double lowest = spectrum.Peaks.front().F;
  for (const SpectrumPeak& peak : spectrum.Peaks) lowest = std::min(lowest, peak.F);
  return lowest >= static_cast<double>(kLowestPeakBins) * spectrum.Resolution;
}

}  // namespace

Spectrum StretchSpectrum(std::span<const float> stretch, double rate, const Progress* progress) {
  Spectrum averaged = WelchSpectrum(stretch, rate, 0, progress);
  if (!averaged.Ok() || Resolved(averaged)) return averaged;
  // One window over all of it: an even length, as the transform needs.
  const std::size_t whole = stretch.size() & ~std::size_t{1};
  if (whole <= averaged.SegmentLength) return averaged;
  Spectrum single = WelchSpectrum(stretch.first(whole), rate, whole, progress);
  if (!single.Ok()) return single.Failure->Kind == SpectrumFailureKind::Cancelled ? single : averaged;
  return single.Peaks.empty() ? averaged : single;
}
