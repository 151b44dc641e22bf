// The damped oscillations e^(−σ·t)·cos(ωd·t) and e^(−σ·t)·sin(ωd·t) at every sample of a stretch,
// and the least-squares amplitudes of a set of them. The columns come from powers of one complex
// factor, restarted from exp() every few hundred samples so the rounding of the products cannot
// build up.
#pragma once

#include <span>

#include "analysis/MatrixPencil.h"

// cosColumn[i] = e^(−σ·tᵢ)·cos(ωd·tᵢ), sinColumn[i] = e^(−σ·tᵢ)·sin(ωd·tᵢ), tᵢ = i / rate; both
// spans of the same length.
void DampedColumns(double sigma, double wd, double rate, std::span<double> cosColumn, std::span<double> sinColumn);

// Sets C, S and Rms of every pole to the least-squares fit of their sum (with a constant beside
// them when `offset`) to every sample of the stretch, and returns the constant (0 without).
// Rank-revealing QR: a combination the samples cannot determine gets no amplitude rather than a
// huge cancelling pair.
double FitPoleAmplitudes(std::span<const float> stretch, double rate, std::span<PencilPole> poles, bool offset);
