// The cases on which the fit's 95 % intervals are judged, and the run that
// judges them: many realisations of a simulated record with known f and h, each
// evaluated as the program evaluates it, then bias, spread and the share of
// intervals that hold the truth. Shared by the benchmark suite (all cases, many
// realisations) and the tests (a fast subset).
#pragma once

#include <Eigen/Dense>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "analysis/DampedFit.h"
#include "analysis/FitInterval.h"
#include "analysis/RandomDecrement.h"
#include "analysis/SignatureInterval.h"
#include "analysis/StandardErrors.h"
#include "tests/support/ModalRecords.h"

// One realisation's record and how it is evaluated: a stretch of the record as
// the window would fit it, or the random-decrement signature of the record
// fitted from its start.
struct TrustRecord {
  std::vector<float> Samples;
  int Rate = 100;
  std::int64_t Start = 0;
  float Width = 5.0f;  // s; for a signature its length
  double F0 = 1.0, H0 = 0.03;
  bool Signature = false;
  double Level = kDefaultTriggerLevel;
};

struct TrustCase {
  std::string Name;
  std::string What;
  double TrueF = 0.0, TrueH = 0.0;
  std::function<TrustRecord(std::uint64_t seed)> Make;
  // For the Cramér–Rao bound: the decay's amplitude and phase at the first fit
  // point, and the noise covariance between samples `lag` apart. Empty where
  // the bound is not known (a model that does not hold, a signature).
  double BoundA = 0.0, BoundPhi = 0.0;
  std::function<double(int lag)> NoiseCovariance;
};

struct TrustSummary {
  int Realisations = 0;
  int Failed = 0;      // the evaluation itself failed
  int NoInterval = 0;  // evaluated, but no interval given
  double BiasF = 0.0, SpreadF = 0.0, BiasH = 0.0, SpreadH = 0.0;
  double CoverF = 0.0, CoverH = 0.0;      // of the interval, over the intervals given
  double SeCoverF = 0.0, SeCoverH = 0.0;  // of ±kStudentT95·se, over the evaluations with se
  double HalfF = 0.0, HalfH = 0.0;        // mean half-widths of the interval
  double SeHalfF = 0.0, SeHalfH = 0.0;    // mean kStudentT95·se
  double BoundF = NAN, BoundH = NAN;      // √ of the Cramér–Rao bound
  double MeanMicroseconds = 0.0;          // the interval's own cost per evaluation
};

inline std::uint64_t TrustSeed(std::uint64_t base, int realisation) {
  // splitmix64 of the pair, so neighbouring realisations share no stream.
  std::uint64_t z = base + 0x9E3779B97F4A7C15ull * static_cast<std::uint64_t>(realisation + 1);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// √ of the diagonal of (JᵀΣ⁻¹J)⁻¹ for f and h at the true parameters.
inline std::pair<double, double> CramerRaoBound(const TrustCase& c, const FitPointSet& points) {
  using Matrix = Eigen::Matrix<double, kFitPoints, kFitPoints>;
  using Jacobian = Eigen::Matrix<double, kFitPoints, kFitParameters>;
  const double wn = 2.0 * M_PI * c.TrueF, h = c.TrueH, q = std::sqrt(1.0 - h * h);
  Jacobian j;
  Matrix sigma;
  for (int k = 0; k < kFitPoints; ++k) {
    const double t = k * static_cast<double>(points.Delta);
    const double d = c.BoundA * std::exp(-h * wn * t);
    const double angle = q * wn * t + c.BoundPhi;
    j(k, 0) = d / c.BoundA * std::cos(angle);
    j(k, 1) = -d * h * t * std::cos(angle) - d * q * t * std::sin(angle);
    j(k, 2) = -d * wn * t * std::cos(angle) + d * wn * t * (h / q) * std::sin(angle);
    j(k, 3) = -d * std::sin(angle);
    for (int m = 0; m < kFitPoints; ++m) sigma(k, m) = c.NoiseCovariance(std::abs(k - m) * points.Step);
  }
  const Jacobian whitened = sigma.llt().solve(j);
  const Eigen::Matrix4d information = j.transpose() * whitened;
  const Eigen::Matrix4d bound = information.inverse();
  return {std::sqrt(bound(1, 1)) / (2.0 * M_PI), std::sqrt(bound(2, 2))};
}

struct TrustOutcome {
  bool Evaluated = false;
  double F = 0.0, H = 0.0;
  std::optional<FitInterval> Interval;
  std::optional<FitStandardErrors> Errors;
  FitPointSet Points;
  double Microseconds = 0.0;
};

inline TrustOutcome EvaluateTrustRecord(const TrustRecord& r) {
  TrustOutcome out;
  const float dt = 1.0f / static_cast<float>(r.Rate);
  FitEvaluation fit;
  RandomDecrementSignature rd;
  if (r.Signature) {
    rd = RandomDecrement(r.Samples, r.Rate, r.Level, r.Width);
    if (!rd.Ok()) return out;
    fit = EvaluateStretch(rd.Values, r.Rate, dt, 0, r.Width, r.F0, r.H0);
  } else {
    fit = EvaluateStretch(r.Samples, r.Rate, dt, r.Start, r.Width, r.F0, r.H0);
  }
  if (!fit.Ok()) return out;
  out.Evaluated = true;
  out.F = fit.Result.F;
  out.H = fit.Result.H;
  out.Points = fit.Points;
  out.Errors = EvaluationStandardErrors(fit.Points, fit.Result);
  const auto begin = std::chrono::steady_clock::now();
  out.Interval = r.Signature ? SignatureInterval(r.Samples, rd, fit) : EvaluationInterval(fit);
  out.Microseconds = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - begin).count();
  return out;
}

// Runs `realisations` records of the case (seeds from `seed`) on `threads`
// threads; the summary does not depend on the number of threads.
inline TrustSummary RunTrustCase(const TrustCase& c, int realisations, std::uint64_t seed, int threads = 1) {
  std::vector<TrustOutcome> outcomes(static_cast<std::size_t>(realisations));
  std::atomic<int> next{0};
  auto work = [&] {
    for (int i = next++; i < realisations; i = next++) {
      outcomes[static_cast<std::size_t>(i)] = EvaluateTrustRecord(c.Make(TrustSeed(seed, i)));
    }
  };
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();

  TrustSummary s;
  s.Realisations = realisations;
  int evaluated = 0, intervals = 0, withErrors = 0;
  double sumF = 0, sumF2 = 0, sumH = 0, sumH2 = 0;
  for (const TrustOutcome& o : outcomes) {
    if (!o.Evaluated) {
      ++s.Failed;
      continue;
    }
    ++evaluated;
    const double df = o.F - c.TrueF, dh = o.H - c.TrueH;
    sumF += df;
    sumF2 += df * df;
    sumH += dh;
    sumH2 += dh * dh;
    if (o.Interval) {
      ++intervals;
      s.CoverF += o.Interval->FLow <= c.TrueF && c.TrueF <= o.Interval->FHigh;
      s.CoverH += o.Interval->HLow <= c.TrueH && c.TrueH <= o.Interval->HHigh;
      s.HalfF += 0.5 * (o.Interval->FHigh - o.Interval->FLow);
      s.HalfH += 0.5 * (o.Interval->HHigh - o.Interval->HLow);
      s.MeanMicroseconds += o.Microseconds;
    } else {
      ++s.NoInterval;
    }
    if (o.Errors) {
      ++withErrors;
      s.SeCoverF += std::fabs(df) <= kStudentT95 * o.Errors->F;
      s.SeCoverH += std::fabs(dh) <= kStudentT95 * o.Errors->H;
      s.SeHalfF += kStudentT95 * o.Errors->F;
      s.SeHalfH += kStudentT95 * o.Errors->H;
    }
  }
  if (evaluated > 1) {
    s.BiasF = sumF / evaluated;
    s.BiasH = sumH / evaluated;
    s.SpreadF = std::sqrt((sumF2 - evaluated * s.BiasF * s.BiasF) / (evaluated - 1));
    s.SpreadH = std::sqrt((sumH2 - evaluated * s.BiasH * s.BiasH) / (evaluated - 1));
  }
  if (intervals > 0) {
    s.CoverF /= intervals;
    s.CoverH /= intervals;
    s.HalfF /= intervals;
    s.HalfH /= intervals;
    s.MeanMicroseconds /= intervals;
  }
  if (withErrors > 0) {
    s.SeCoverF /= withErrors;
    s.SeCoverH /= withErrors;
    s.SeHalfF /= withErrors;
    s.SeHalfH /= withErrors;
  }
  if (c.NoiseCovariance && evaluated > 0) {
    for (const TrustOutcome& o : outcomes) {
      if (!o.Evaluated) continue;
      std::tie(s.BoundF, s.BoundH) = CramerRaoBound(c, o.Points);
      break;
    }
  }
  return s;
}
