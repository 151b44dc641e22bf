// Fit of a free, damped vibration x(t) = A·e^(-h·ωn·t)·cos(ωn·√(1-h²)·t + Φ) to
// 100 samples of the displayed stretch: Gauss-Newton passes that each move the
// parameters by one hundredth of the correction (solved with lleast), until the
// RMS error changes by less than 1e-6 relatively. The small step trades speed
// for a fit that does not jump to another frequency from a rough start.
//
// Precision: samples, parameters, Jacobian, residuals and the fitted curve are
// single precision; every expression is evaluated in double and rounded when
// stored, and every sum is accumulated in a single-precision variable, so the
// order of the sums is part of the result.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

constexpr int kFitPoints = 100;
constexpr int kFitParameters = 4;  // A, ωn, h, Φ: the column order of the Jacobian
constexpr double kFitStepFraction = 0.01;
constexpr double kFitRelativeChange = 1e-6;
constexpr float kFitRankTolerance = 1e-6f;
// The 1/100 step shrinks the remaining correction by about 1 % per pass, so a
// fit settles in 500 to 2500 passes (about 10 µs each), noise-free ones
// included. One that has not settled after this many (a quarter of a second)
// is wandering, and the window would stay blocked.
constexpr int kFitMaxPasses = 20000;

constexpr double kHzPerRadian = 0.15915494309189535;  // 1/(2π)
constexpr double kTwoPi = 6.283185307179586;

// One evaluation's result; all values single precision.
struct FitResult {
  float A = 0.0f;      // amplitude, unit of the samples
  float Wn = 0.0f;     // undamped angular natural frequency, 1/s
  float H = 0.0f;      // damping ratio
  float Phi = 0.0f;    // phase at the first fit point, rad
  float F = 0.0f;      // ωn/(2π), Hz
  float T = 0.0f;      // 2π/ωn, s
  float Ratio = 0.0f;  // 1 - mean square error / mean square of the fit samples
  int Passes = 0;      // iteration passes performed
};

enum class FitFailureKind {
  DampingOutOfRange,  // h² ≥ 1: the model has no oscillation
  SolverFailed,       // lleast found a negligible Jacobian column
  PassLimit,          // no settling within kFitMaxPasses
  Diverged,           // the parameters left the range of numbers
  StartOutside,       // start sample not inside the record
  PointsPastEnd,      // the last fit point lies beyond the record
  BadSamples,         // a fit sample is not a number
  BadInput,           // width, rate, dt or an initial value unusable
};

struct FitFailure {
  FitFailureKind Kind = FitFailureKind::SolverFailed;
  std::string Message;             // UTF-8, for the message box
  std::string Title = "評価エラー";
  std::string Detail;              // UTF-8, the box's second line: the cause and what to do (may be empty)
};

// What the drawing of the result needs besides the numbers.
struct FitPointSet {
  std::array<float, kFitPoints> Values{};  // samples start + k·step
  std::int32_t Start = 0;                  // sample number of the first point
  std::int32_t Step = 1;                   // samples between points
  float Delta = 0.0f;                      // step·dt, s, single precision
};

// Time of fit point k, k·Δ rounded to single precision: the times the passes
// fit against.
inline float FitPointTime(const FitPointSet& points, int k) {
  return static_cast<float>(k * static_cast<double>(points.Delta));
}

struct FitEvaluation {
  std::optional<FitFailure> Failure;  // set: nothing of the fit may be shown or recorded
  FitResult Result;
  FitPointSet Points;
  std::int32_t N = 0;         // displayed width in samples
  float Dt = 0.0f;            // s, the record's Dt
  std::vector<float> Curve;   // the fitted x(i·dt) for i = 0 ... N-1

  bool Ok() const { return !Failure.has_value(); }
};

// Evaluates the stretch of one channel that starts at sample start and is
// widthSeconds wide (N = trunc(rate × width) samples), from the initial
// frequency f0 (Hz) and damping ratio h0. maxPasses bounds the iteration.
FitEvaluation EvaluateStretch(std::span<const float> samples, double rate, float dt, std::int64_t start,
                              float widthSeconds, double f0, double h0, int maxPasses = kFitMaxPasses);

// The model at time t (s) with the given parameters, in double, rounded to
// single precision as every stored model value is.
float DampedModel(float a, float wn, float h, float phi, float t);
