// The spectrum of one stretch of a record (what the waveform view shows, say):
// Welch-averaged by the segment-length rule, unless the stretch is too short
// for the rule's segments to resolve its modes: with no peak found, or the
// lowest closer to 0 Hz than kLowestPeakBins bins (a few seconds of a low mode
// leave it in the lowest bins, where nothing stands out of the median floor
// of its octave), one Hann window over the whole stretch is taken instead when
// it shows a peak: the finest resolution the stretch allows, at the price of
// no averaging.
#pragma once

#include <span>

#include "analysis/Spectrum.h"

Spectrum StretchSpectrum(std::span<const float> stretch, double rate, const Progress* progress = nullptr);
