#include "analysis/DampedFit.h"

#include <cmath>
#include <limits>

#include "analysis/Least.h"

namespace {

// The model's oscillating factor uses q = √(1 - h²) rounded to single
// precision, the same q that enters the Jacobian, so the residuals of a pass
// and the error measure agree to the last bit.
float DampedRoot(float h) {
  return static_cast<float>(std::sqrt(1.0 - static_cast<double>(h) * h));
}

double ModelAt(float a, float wn, float h, float phi, float q, float t) {
  const double decay = std::exp(-static_cast<double>(wn) * h * t);
  return a * decay * std::cos(static_cast<double>(wn) * q * t + phi);
}

struct Parameters {
  float A;
  float Wn;
  float H;
  float Phi;
};

// The decay and the oscillation at every fit point, in double, for one set of
// parameters. The error measure after an update fills it, and the next pass
// builds its Jacobian from the same values: the arguments are the same
// expressions, so this saves half of the exp, sin and cos calls and changes no
// bit of the result.
struct PointModel {
  std::array<double, kFitPoints> Decay;
  std::array<double, kFitPoints> Cos;
  std::array<double, kFitPoints> Sin;
};

// Root-mean-square difference over the fit points, the squares summed in
// single precision in the order of the points.
float RmsError(const Parameters& p, const std::array<float, kFitPoints>& y,
               const std::array<float, kFitPoints>& t, PointModel& model) {
  const float q = DampedRoot(p.H);
  float sum = 0.0f;
  for (int k = 0; k < kFitPoints; ++k) {
    const double tk = t[k];
    const double angle = static_cast<double>(p.Wn) * q * tk + p.Phi;
    model.Decay[k] = std::exp(-static_cast<double>(p.Wn) * p.H * tk);
    model.Cos[k] = std::cos(angle);
    model.Sin[k] = std::sin(angle);
    const double r = y[k] - p.A * model.Decay[k] * model.Cos[k];
    sum = static_cast<float>(sum + r * r);
  }
  return static_cast<float>(std::sqrt(sum / static_cast<double>(kFitPoints)));
}

// What the user can do about a failure, the line under its message.
const char* FailureDetail(FitFailureKind kind) {
  switch (kind) {
    case FitFailureKind::DampingOutOfRange:
      return "減衰比が 1 以上になりました。初期値 h を 0〜1 の範囲で見直してください。";
    case FitFailureKind::SolverFailed:
      return "表示区間の波形から振幅・振動数・減衰比・位相を決められません（波形が平らか、初期値 f が波形の振動数と"
             "大きく違います）。開始点、表示時間幅、初期値 f を見直してください。";
    case FitFailureKind::PassLimit:
    case FitFailureKind::Diverged:
      return "初期値 f、h を表示区間の振動に近づけるか、開始点を減衰の始まりに合わせてください。";
    case FitFailureKind::StartOutside:
      return "開始点を 0 からデータ数－1 までの範囲で入力してください。";
    case FitFailureKind::PointsPastEnd:
      return "開始点を前にずらすか、表示時間幅を短くしてください。";
    case FitFailureKind::BadSamples:
      return "記録のこの区間には欠けたデータがあります。ほかの区間を評価してください。";
    case FitFailureKind::BadInput:
      break;
  }
  return "";
}

FitEvaluation Failed(FitFailureKind kind, const char* message) {
  FitEvaluation out;
  FitFailure failure;
  failure.Kind = kind;
  failure.Message = message;
  failure.Detail = FailureDetail(kind);
  out.Failure = failure;
  return out;
}

FitEvaluation DampingFailure() {
  return Failed(FitFailureKind::DampingOutOfRange, "減衰係数の評価が異常です");
}

bool IsFinite(const Parameters& p) {
  return std::isfinite(p.A) && std::isfinite(p.Wn) && std::isfinite(p.H) && std::isfinite(p.Phi);
}

}  // namespace

float DampedModel(float a, float wn, float h, float phi, float t) {
  return static_cast<float>(ModelAt(a, wn, h, phi, DampedRoot(h), t));
}

FitEvaluation EvaluateStretch(std::span<const float> samples, double rate, float dt, std::int64_t start,
                              float widthSeconds, double f0, double h0, int maxPasses) {
  if (!(rate > 0.0) || !std::isfinite(rate) || !(dt > 0.0f) || !std::isfinite(dt)) {
    return Failed(FitFailureKind::BadInput, "サンプリング周波数が正しくありません。");
  }
  // Width in samples as the view computes it: the product in double, truncated.
  const double width = rate * widthSeconds;
  if (!(width >= 0.0) || width > std::numeric_limits<std::int32_t>::max()) {
    return Failed(FitFailureKind::BadInput, "表示時間幅が正しくありません。");
  }
  if (!std::isfinite(f0) || !std::isfinite(h0)) {
    return Failed(FitFailureKind::BadInput, "初期値が正しくありません。");
  }
  const auto n = static_cast<std::int32_t>(width);
  const std::int32_t step = n / kFitPoints == 0 ? 1 : n / kFitPoints;

  const auto count = static_cast<std::int64_t>(samples.size());
  if (start < 0 || start >= count) {
    return Failed(FitFailureKind::StartOutside, "評価開始点がデータの範囲外です。");
  }
  // With fewer than 100 displayed samples the points run on past the stretch,
  // so the end of the record is checked for the last point, not the stretch.
  if (start + static_cast<std::int64_t>(kFitPoints - 1) * step >= count) {
    return Failed(FitFailureKind::PointsPastEnd, "評価点がデータの終わりを越えています。");
  }

  FitEvaluation out;
  out.N = n;
  out.Dt = dt;
  FitPointSet& points = out.Points;
  points.Start = static_cast<std::int32_t>(start);
  points.Step = step;
  points.Delta = static_cast<float>(static_cast<double>(step) * dt);

  std::array<float, kFitPoints> t{};
  float sumSquares = 0.0f;
  for (int k = 0; k < kFitPoints; ++k) {
    const float y = samples[static_cast<std::size_t>(start + static_cast<std::int64_t>(k) * step)];
    if (!std::isfinite(y)) {
      return Failed(FitFailureKind::BadSamples, "評価点に数値でないデータがあります。");
    }
    points.Values[k] = y;
    t[k] = FitPointTime(points, k);
    sumSquares = static_cast<float>(sumSquares + static_cast<double>(y) * y);
  }
  const std::array<float, kFitPoints>& y = points.Values;

  // Working storage of the passes, sized here once.
  std::array<float, kFitPoints * kFitParameters> jacobian{};
  std::array<float, kFitPoints> rhs{};
  LeastWork work;
  work.Reserve(kFitParameters);
  PointModel model;

  Parameters p{y[0], static_cast<float>(kTwoPi * f0), static_cast<float>(h0), 0.0f};
  float errorOld = RmsError(p, y, t, model);
  int passes = 0;
  bool settled = false;
  while (passes < maxPasses) {
    ++passes;
    if (static_cast<double>(p.H) * p.H >= 1.0) return DampingFailure();
    const float q = DampedRoot(p.H);
    for (int k = 0; k < kFitPoints; ++k) {
      const double tk = t[k];
      const auto decay = static_cast<float>(model.Decay[k]);
      const auto c = static_cast<float>(model.Cos[k]);
      const auto s = static_cast<float>(model.Sin[k]);
      // x = A·D·c with D = e^(-h·ωn·t), c = cos(q·ωn·t + Φ), s = sin(...),
      // q = √(1 - h²), so dq/dh = -h/q.
      const double ad = static_cast<double>(p.A) * decay;
      float* row = &jacobian[static_cast<std::size_t>(k) * kFitParameters];
      // ∂x/∂A  = D·c
      row[0] = static_cast<float>(static_cast<double>(decay) * c);
      // ∂x/∂ωn = A·D·(-h·t)·c - A·D·s·(q·t)
      row[1] = static_cast<float>(-ad * p.H * tk * c - q * ad * tk * s);
      // ∂x/∂h  = A·D·(-ωn·t)·c - A·D·s·(ωn·t·dq/dh) = -A·D·ωn·t·c + A·D·ωn·t·h·s/q
      row[2] = static_cast<float>(-ad * p.Wn * tk * c + ad * p.Wn * tk * p.H * s / q);
      // ∂x/∂Φ  = -A·D·s
      row[3] = static_cast<float>(-ad * s);
      rhs[k] = static_cast<float>(y[k] - ad * c);
    }
    if (lleast(jacobian.data(), kFitParameters, kFitPoints, kFitParameters, rhs.data(), kFitRankTolerance,
               work) != kLeastSolved) {
      return Failed(FitFailureKind::SolverFailed, "最小二乗法評価が異常です");
    }
    p.A = static_cast<float>(p.A + kFitStepFraction * rhs[0]);
    p.Wn = static_cast<float>(p.Wn + kFitStepFraction * rhs[1]);
    p.H = static_cast<float>(p.H + kFitStepFraction * rhs[2]);
    p.Phi = static_cast<float>(p.Phi + kFitStepFraction * rhs[3]);

    const float errorNew = RmsError(p, y, t, model);
    const double change = std::fabs(static_cast<double>(errorOld) - errorNew) / errorOld;
    // Not a number when both errors are 0 (a perfect fit) or the model broke down.
    if (change < kFitRelativeChange || std::isnan(change)) {
      settled = true;
      break;
    }
    errorOld = errorNew;
  }
  if (!settled) {
    return Failed(FitFailureKind::PassLimit, "評価が収束しません（繰返回数が上限に達しました）。");
  }
  // A pass that carries h to 1 or beyond leaves an undefined model; it is the
  // same fault as a damping ratio out of range at the start of a pass.
  if (std::isfinite(p.H) && static_cast<double>(p.H) * p.H >= 1.0) return DampingFailure();
  if (!IsFinite(p)) return Failed(FitFailureKind::Diverged, "評価が発散しました。");

  FitResult& r = out.Result;
  r.A = p.A;
  r.Wn = p.Wn;
  r.H = p.H;
  r.Phi = p.Phi;
  r.F = static_cast<float>(p.Wn * kHzPerRadian);
  r.T = static_cast<float>(kTwoPi / p.Wn);
  r.Passes = passes;

  // Each point against the model at its own time k·step·dt.
  const float q = DampedRoot(p.H);
  float sumErrors = 0.0f;
  for (int k = 0; k < kFitPoints; ++k) {
    const auto tk = static_cast<float>(static_cast<double>(k) * step * dt);
    const double e = y[k] - ModelAt(p.A, p.Wn, p.H, p.Phi, q, tk);
    sumErrors = static_cast<float>(sumErrors + e * e);
  }
  r.Ratio = static_cast<float>(1.0 - (sumErrors / static_cast<double>(kFitPoints)) /
                                         (sumSquares / static_cast<double>(kFitPoints)));

  out.Curve.resize(static_cast<std::size_t>(n));
  for (std::int32_t i = 0; i < n; ++i) {
    const auto ti = static_cast<float>(static_cast<double>(i) * dt);
    out.Curve[static_cast<std::size_t>(i)] = static_cast<float>(ModelAt(p.A, p.Wn, p.H, p.Phi, q, ti));
  }
  return out;
}
