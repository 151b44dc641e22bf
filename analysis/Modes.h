// Several damped modes fitted together: x(t) = Σ A_k·e^(−h_k·ωn_k·t)·cos(ωn_k·√(1 − h_k²)·t + Φ_k).
// The matrix pencil (MatrixPencil.h) gives the poles, which need no initial values; the `count`
// strongest in the band start a Levenberg–Marquardt fit of all 4·count parameters on every sample
// of the stretch, which the pencil's decimated samples could not give as precisely. Standard errors
// are the textbook s²·(JᵀJ)⁻¹; the 95 % intervals allow for correlated residuals (CorrelatedErrors.h).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

constexpr int kMaxModes = 10;
// Linearised intervals hold their level only for a mode that stands out of the noise: in simulated
// band-passed noise they covered 93–95 % from an amplitude of 10 standard errors, 90 % from 5 and
// about 70 % below.
constexpr double kIntervalSignificance = 10.0;
// Longest stretch fitted, in samples: the fit keeps its Jacobian and its transform, about
// 100·count bytes per sample.
constexpr int kMaxModeSamples = 32768;

struct ModeErrors {
  double A = 0.0;  // unit of the samples
  double F = 0.0;  // Hz
  double H = 0.0;
  double Phi = 0.0;  // rad
};

struct ModeRange {
  double Lower = 0.0;
  double Upper = 0.0;
};

struct DampedMode {
  double A = 0.0;    // amplitude at the stretch's first sample, unit of the samples, > 0
  double Wn = 0.0;   // undamped angular natural frequency, 1/s
  double F = 0.0;    // ωn / 2π, Hz
  double H = 0.0;    // damping ratio (negative: growing)
  double Phi = 0.0;  // phase at the first sample, rad, in (−π, π]
  double Rms = 0.0;  // root mean square of the mode over the stretch
  // Textbook standard errors, as the single fit reports them; none when JᵀJ is singular.
  std::optional<ModeErrors> Se;
  // Standard errors that allow for correlated residuals, and the 95 % intervals from them; no
  // intervals for a mode whose amplitude is below kIntervalSignificance of its standard errors.
  std::optional<ModeErrors> CorrelatedSe;
  std::optional<ModeRange> FInterval;
  std::optional<ModeRange> HInterval;
};

struct ModesFit {
  std::vector<DampedMode> Modes;  // rising frequency
  double Offset = 0.0;            // the constant, when one was fitted
  double Ratio = 0.0;             // 1 − mean square of the residuals / mean square of the samples
  double MeanSquare = 0.0;        // of the samples
  int Iterations = 0;
  std::optional<std::string> Failure;  // Japanese, ready to show

  bool Ok() const { return !Failure.has_value(); }
};

struct ModeOptions {
  bool Offset = false;  // fit a constant beside the modes (a record that was not band-passed)
};

// Fits `count` modes (1 … kMaxModes) to the stretch (rate in samples per second; t = 0 at its first
// sample). Fails with a message for a stretch that is too short for the count or longer than
// kMaxModeSamples, not finite or all zero, when the pencil finds fewer than `count` oscillations
// in the band that stand above the samples' rounding, and when the fit does not settle.
ModesFit FitModes(std::span<const float> stretch, double rate, int count, const ModeOptions& options = {});
