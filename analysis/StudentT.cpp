#include "analysis/StudentT.h"

#include <cmath>
#include <limits>

namespace {

constexpr int kMaxFractionTerms = 400;
constexpr double kFractionTolerance = 1e-15;
constexpr double kTiny = 1e-300;  // keeps Lentz's denominators away from 0
constexpr int kBisections = 200;

// The continued fraction of I_x(a, b) by the modified Lentz method; converges
// quickly for x < (a + 1) / (a + b + 2).
double BetaFraction(double a, double b, double x) {
  const double qab = a + b, qap = a + 1.0, qam = a - 1.0;
  double c = 1.0;
  double d = 1.0 - qab * x / qap;
  if (std::fabs(d) < kTiny) d = kTiny;
  d = 1.0 / d;
  double h = d;
  for (int m = 1; m <= kMaxFractionTerms; ++m) {
    const double m2 = 2.0 * m;
    double aa = m * (b - m) * x / ((qam + m2) * (a + m2));
    d = 1.0 + aa * d;
    if (std::fabs(d) < kTiny) d = kTiny;
    c = 1.0 + aa / c;
    if (std::fabs(c) < kTiny) c = kTiny;
    d = 1.0 / d;
    h *= d * c;
    aa = -(a + m) * (qab + m) * x / ((a + m2) * (qap + m2));
    d = 1.0 + aa * d;
    if (std::fabs(d) < kTiny) d = kTiny;
    c = 1.0 + aa / c;
    if (std::fabs(c) < kTiny) c = kTiny;
    d = 1.0 / d;
    const double delta = d * c;
    h *= delta;
    if (std::fabs(delta - 1.0) < kFractionTolerance) break;
  }
  return h;
}

// ln Γ(x) for x > 0. std::lgamma also writes the sign into the global
// `signgam`, a data race when evaluations run on several threads; the
// reentrant form keeps the sign to itself.
double LogGamma(double x) {
  int sign = 0;
  return ::lgamma_r(x, &sign);
}

// The regularised incomplete beta function I_x(a, b), 0 ≤ x ≤ 1.
double IncompleteBeta(double a, double b, double x) {
  if (x <= 0.0) return 0.0;
  if (x >= 1.0) return 1.0;
  const double logFront =
      LogGamma(a + b) - LogGamma(a) - LogGamma(b) + a * std::log(x) + b * std::log1p(-x);
  const double front = std::exp(logFront);
  if (x < (a + 1.0) / (a + b + 2.0)) return front * BetaFraction(a, b, x) / a;
  return 1.0 - front * BetaFraction(b, a, 1.0 - x) / b;
}

}  // namespace

double StudentTDistribution(double t, double degreesOfFreedom) {
  if (!(degreesOfFreedom > 0.0) || std::isnan(t)) return std::numeric_limits<double>::quiet_NaN();
  const double x = degreesOfFreedom / (degreesOfFreedom + t * t);
  const double tail = 0.5 * IncompleteBeta(0.5 * degreesOfFreedom, 0.5, x);  // P(T > |t|)
  return t >= 0.0 ? 1.0 - tail : tail;
}

double StudentTQuantile(double probability, double degreesOfFreedom) {
  if (!(probability >= 0.5 && probability < 1.0) || !(degreesOfFreedom > 0.0) || std::isinf(degreesOfFreedom)) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  if (probability == 0.5) return 0.0;
  // Bisection on x = ν / (ν + t²) in (0, 1], where the upper tail ½·I_x(ν/2, ½)
  // rises from 0 to ½; t = √(ν·(1 − x) / x).
  const double tail = 1.0 - probability;
  double low = 0.0, high = 1.0;
  for (int i = 0; i < kBisections; ++i) {
    const double mid = 0.5 * (low + high);
    if (mid <= low || mid >= high) break;
    if (0.5 * IncompleteBeta(0.5 * degreesOfFreedom, 0.5, mid) < tail) {
      low = mid;
    } else {
      high = mid;
    }
  }
  const double x = 0.5 * (low + high);
  return std::sqrt(degreesOfFreedom * (1.0 - x) / x);
}
