// Simulated records of structures with known modes, for judging the fit's
// intervals: free decays, the stationary ambient response of modes to one
// random force, white noise, the program's band-pass filter and clipping.
// Every generator is deterministic for its GaussianNoise.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "analysis/BandPass.h"
#include "tests/support/GaussianNoise.h"

struct SimulatedMode {
  double F = 1.0;    // Hz
  double H = 0.02;   // damping ratio
  double A = 1.0;    // amplitude of a free decay, or standard deviation of an ambient response
  double Phi = 0.0;  // phase of a free decay at its onset, rad
};

// The sampled impulse response of a mode, g_k = e^(−h·ωn·k·Δ)·sin(ωd·k·Δ)/ωd,
// satisfies g_k = a1·g_(k−1) − a2·g_(k−2) with g_0 = 0, g_1 = g1: the response
// to an impulse at every sample follows the same recursion with the force added.
struct ModeRecursion {
  double A1 = 0.0, A2 = 0.0, G1 = 0.0;
  double Deviation = 1.0;  // standard deviation of the response to unit impulses

  ModeRecursion(double f, double h, int rate) {
    const double wn = 2.0 * M_PI * f;
    const double wd = wn * std::sqrt(1.0 - h * h);
    const double dt = 1.0 / rate;
    const double decay = std::exp(-h * wn * dt);
    A1 = 2.0 * decay * std::cos(wd * dt);
    A2 = decay * decay;
    G1 = decay * std::sin(wd * dt) / wd;
    // Σ g_k², summed until the envelope has fallen below 1e-9 of its start.
    double g2 = 0.0, g1 = G1, sum = G1 * G1;
    const auto terms = static_cast<long>(std::ceil(std::log(1e9) / (h * wn * dt))) + 2;
    for (long k = 2; k < terms; ++k) {
      const double g = A1 * g1 - A2 * g2;
      sum += g * g;
      g2 = g1;
      g1 = g;
    }
    Deviation = std::sqrt(sum);
  }
};

// The normalised correlation of that response at a lag of `lag` samples.
inline double SampledAmbientCorrelation(double f, double h, int rate, int lag) {
  const ModeRecursion m(f, h, rate);
  double g2 = 0.0, g1 = m.G1;
  std::vector<double> g = {0.0, m.G1};
  const auto terms = static_cast<long>(std::ceil(std::log(1e9) / (h * 2.0 * M_PI * f / rate))) + 2 + lag;
  for (long k = 2; k < terms; ++k) {
    const double v = m.A1 * g1 - m.A2 * g2;
    g.push_back(v);
    g2 = g1;
    g1 = v;
  }
  double sum = 0.0;
  for (std::size_t k = 0; k + static_cast<std::size_t>(lag) < g.size(); ++k) sum += g[k] * g[k + lag];
  return sum / (m.Deviation * m.Deviation);
}

// Stationary ambient response of the modes to one white force: each mode's
// response to it, scaled to the mode's A as standard deviation, summed. A burn-in
// of ten decay times comes first, so the record starts in the steady state.
inline std::vector<double> AmbientModes(const std::vector<SimulatedMode>& modes, int rate, std::size_t count,
                                        GaussianNoise& noise) {
  std::vector<ModeRecursion> recursions;
  double slowest = 0.0;
  for (const SimulatedMode& m : modes) {
    recursions.emplace_back(m.F, m.H, rate);
    slowest = std::max(slowest, 10.0 / (m.H * 2.0 * M_PI * m.F));
  }
  const auto burnIn = static_cast<std::size_t>(slowest * rate);
  std::vector<double> x1(modes.size(), 0.0), x2(modes.size(), 0.0);
  std::vector<double> out(count, 0.0);
  double force = 0.0;
  for (std::size_t n = 0; n < burnIn + count; ++n) {
    double sum = 0.0;
    for (std::size_t r = 0; r < modes.size(); ++r) {
      const ModeRecursion& m = recursions[r];
      const double x = m.A1 * x1[r] - m.A2 * x2[r] + m.G1 * force;
      x2[r] = x1[r];
      x1[r] = x;
      sum += modes[r].A * x / m.Deviation;
    }
    if (n >= burnIn) out[n - burnIn] = sum;
    force = noise.Next();
  }
  return out;
}

// Adds the free decay A·e^(−h·ωn·t)·cos(ωd·t + Φ) with t = 0 at sample `onset`.
inline void AddFreeDecay(std::vector<double>& x, const SimulatedMode& m, int rate, std::size_t onset) {
  const double wn = 2.0 * M_PI * m.F;
  const double wd = wn * std::sqrt(1.0 - m.H * m.H);
  for (std::size_t i = onset; i < x.size(); ++i) {
    const double t = static_cast<double>(i - onset) / rate;
    x[i] += m.A * std::exp(-m.H * wn * t) * std::cos(wd * t + m.Phi);
  }
}

inline void AddWhiteNoise(std::vector<double>& x, double deviation, GaussianNoise& noise) {
  for (double& v : x) v += deviation * noise.Next();
}

// Single precision, as a record holds it; values beyond ±clip are clipped.
inline std::vector<float> AsRecord(const std::vector<double>& x, double clip = INFINITY) {
  std::vector<float> out(x.size());
  for (std::size_t i = 0; i < x.size(); ++i) out[i] = static_cast<float>(std::clamp(x[i], -clip, clip));
  return out;
}

// The program's band-pass filter of centre c and ratio r, as the window applies it.
inline void BandPassRecord(std::vector<float>& x, int rate, float centre, float ratio) {
  const BandEdges edges = EdgesFromCentre(centre, ratio);
  std::vector<float> h(kFilterHalfLength);
  DesignBandPass(kFilterHalfLength, h.data(), static_cast<float>(0.5 * edges.Lower), edges.Lower, edges.Upper,
                 static_cast<float>(1.5 * static_cast<double>(edges.Upper)), 1.0f / static_cast<float>(rate));
  ApplyFir(kFilterHalfLength, h.data(), x.data(), static_cast<int>(x.size()));
}
