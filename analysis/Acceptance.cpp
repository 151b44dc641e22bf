#include "analysis/Acceptance.h"

#include "analysis/FixedText.h"

bool IsAccepted(float ratio) { return static_cast<double>(ratio) > kAcceptRatio; }

AcceptanceStep AcceptResult(const FitResult& result) {
  AcceptanceStep step;
  if (!IsAccepted(result.Ratio)) {
    step.LastF = "failed";
    step.LastH = "failed";
    return step;
  }
  step.Accepted = true;
  step.F = static_cast<float>(result.Wn * kHzPerRadian);
  step.H = result.H;
  step.LastF = FormatFixed(step.F, 3);
  step.LastH = FormatFixed(result.H, 4);
  // From ωn, not from the rounded f: 1.05 × ωn × 1/(2π) in one double expression.
  step.NextInitF = FormatFixed(kNextInitialFactor * result.Wn * kHzPerRadian, 3);
  step.NextInitH = FormatFixed(kNextInitialFactor * result.H, 4);
  return step;
}

std::string InitialFrequencyText(double rate) { return FormatFixed(rate * 0.02, 1); }

double InitialFrequency(double rate) { return ParseDecimal(InitialFrequencyText(rate)); }

std::array<ResultLine, 7> ResultLines(const FitResult& r) {
  return {{
      {600, 250, "A   = " + FormatFixed(r.A, 3)},
      {600, 270, "ωn = " + FormatFixed(r.Wn, 3) + " (1/sec)"},
      {600, 290, "f    = " + FormatFixed(r.F, 3) + " (Hz)"},
      {600, 310, "T    = " + FormatFixed(r.T, 3) + " (sec)"},
      {600, 330, "h    = " + FormatFixed(r.H, 4)},
      {600, 350, "φ  = " + FormatFixed(r.Phi, 3)},
      {595, 370, "ratio = " + FormatFixed(r.Ratio, 3)},
  }};
}

std::string RatioPercentText(float ratio) { return FormatFixed(ratio * 100.0, 1) + "％"; }
