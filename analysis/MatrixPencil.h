// Poles of a sum of damped oscillations by the matrix pencil: the right singular vectors of a Hankel
// matrix of the samples span the poles' Vandermonde columns, and their shift invariance gives the
// poles as eigenvalues. The order is generous, so noise is taken up by spare poles instead of
// displacing the real ones; the spare ones are told apart afterwards by the amplitude they carry.
// A long stretch is low-passed and decimated (or, when its content reaches too high for that, only
// its beginning is used), so the singular value decomposition stays at a few hundred rows.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

// Most samples the pencil works on; longer stretches are decimated or cut.
constexpr int kPencilSamples = 400;
// Fewest samples of a stretch a pencil can be formed from.
constexpr int kMinPencilSamples = 24;

// One oscillating pole, with t = 0 at the stretch's first sample:
// x(t) = e^(−σ·t)·(C·cos(ωd·t) + S·sin(ωd·t)).
struct PencilPole {
  double Sigma = 0.0;  // decay rate, 1/s (negative: growing)
  double Wd = 0.0;     // damped angular frequency, rad/s, > 0
  double C = 0.0;      // unit of the samples
  double S = 0.0;
  // Root mean square of this pole's oscillation over the whole stretch: the amplitude poles are
  // ranked by, so a heavily damped pole's large start does not outrank a lasting mode.
  double Rms = 0.0;

  double Wn() const;  // undamped angular natural frequency √(σ² + ωd²), 1/s
  double F() const;   // ωn / 2π, Hz
  double H() const;   // σ / ωn
};

struct PencilPoles {
  std::vector<PencilPole> Poles;  // the oscillating poles in the band, largest Rms first
  double MeanSquare = 0.0;        // of the stretch's samples
  double Offset = 0.0;            // the constant fitted beside the poles (0 unless asked for)
  int Decimation = 1;             // samples of the stretch per pencil sample
  int Order = 0;                  // singular vectors kept
  std::optional<std::string> Failure;

  bool Ok() const { return !Failure.has_value(); }
};

// The poles of the stretch (rate in samples per second) that oscillate at least once over it, lie
// within the band the pencil could see and neither decay nor grow faster than a damping ratio of 0.5,
// with amplitudes from a least-squares fit of all of them together to every sample. Poles whose
// share is negligible against the samples' own precision are dropped. `wanted` (≥ 1) is the number
// of modes the caller looks for; the order is at least twice that plus spares. With `offset` a
// constant is fitted beside them. Fails (Japanese message) on a stretch that is too short, not
// finite or all zero, or a rate that is not positive.
PencilPoles FindPencilPoles(std::span<const float> stretch, double rate, int wanted, bool offset = false);
