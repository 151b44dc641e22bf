#include "analysis/Flags.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "analysis/Modes.h"

namespace {

constexpr double kPi = 3.141592653589793;

// Between the fit points the fitted curve must still follow the samples: when its mean square misfit
// over every sample exceeds the misfit at the points by more than half the samples' mean square,
// the points matched an alias of what lies between them.
constexpr double kAliasMisfit = 0.5;

// Half-power edges of the trapezoidal band-pass (no gain at 0.5·fL and 1.5·fH, full gain from fL to
// fH, linear between): the gain is 1/√2 at 0.5·fL·(1 + 1/√2) and at fH·(1.5 − 0.5/√2).
constexpr double kLowerHalfPower = 0.8535533905932737;
constexpr double kUpperHalfPower = 1.1464466094067263;

struct FlagInfo {
  EvaluationFlag Flag;
  std::string_view Name;
  std::string_view Text;
};

constexpr std::array<FlagInfo, 7> kFlagInfo = {{
    {EvaluationFlag::Aliased, "aliased", "折り返しの恐れ：振動数が評価点の間隔に対して高すぎます"},
    {EvaluationFlag::FewCycles, "few-cycles", "周期不足：区間内の振動が3周期未満です"},
    {EvaluationFlag::NearOnset, "near-onset", "立ち上がりに近い：減衰の始まりかフィルタの端の影響を含みます"},
    {EvaluationFlag::NarrowBand, "narrow-band", "帯域が狭い：フィルタの残響が減衰比を偏らせます"},
    {EvaluationFlag::Clipped, "clipped", "振り切れ：波形が最大値（最小値）で平らになっています"},
    {EvaluationFlag::SecondMode, "second-mode", "複数モード：区間内に別の有意な振動があります"},
    {EvaluationFlag::ImplausibleH, "implausible-h", "減衰比が不自然：負または0.2を超えています"},
}};

const FlagInfo& Info(EvaluationFlag flag) { return kFlagInfo[static_cast<std::size_t>(flag)]; }

// The samples the evaluation covers: the displayed stretch, or the 100 fit points where they run
// past it (a stretch of fewer than 100 samples). Computed as EvaluateStretch does, so that a failed
// evaluation gives the same range.
struct Covered {
  std::int64_t First = 0;
  std::int64_t Last = 0;   // inclusive
  std::int64_t Step = 1;   // samples between fit points
  std::int64_t Width = 0;  // displayed samples
};

std::optional<Covered> CoveredSamples(std::int64_t count, double rate, std::int64_t start, float widthSeconds) {
  const double width = rate * widthSeconds;
  if (!(rate > 0.0) || !std::isfinite(rate) || !(width >= 0.0) || width > std::numeric_limits<std::int32_t>::max()) {
    return std::nullopt;
  }
  if (start < 0 || start >= count) return std::nullopt;
  Covered c;
  c.Width = static_cast<std::int64_t>(width);
  c.Step = std::max<std::int64_t>(1, c.Width / kFitPoints);
  c.First = start;
  c.Last = std::min(count - 1, start + std::max(c.Width - 1, (kFitPoints - 1) * c.Step));
  return c;
}

// The fit points agree with the model, but the samples between them do not.
bool MissesBetweenPoints(std::span<const float> samples, const Covered& covered, const FitEvaluation& fit) {
  if (covered.Step <= 1) return false;
  const auto span = std::min<std::int64_t>({static_cast<std::int64_t>(fit.Curve.size()),
                                            covered.Last - covered.First + 1, (kFitPoints - 1) * covered.Step + 1});
  if (span <= 0) return false;
  double sumSquares = 0.0, sumMisfit = 0.0;
  for (std::int64_t i = 0; i < span; ++i) {
    const double y = samples[static_cast<std::size_t>(covered.First + i)];
    const double e = y - fit.Curve[static_cast<std::size_t>(i)];
    sumSquares += y * y;
    sumMisfit += e * e;
  }
  double pointSquares = 0.0;
  for (const float y : fit.Points.Values) pointSquares += static_cast<double>(y) * y;
  const double pointMisfit = (1.0 - fit.Result.Ratio) * pointSquares / kFitPoints;
  const double n = static_cast<double>(span);
  return sumMisfit / n - pointMisfit > kAliasMisfit * sumSquares / n;
}

// Whether a run at the channel's extreme inside the stretch is longer than a
// smooth crest could sit on one step of the samples' resolution.
bool SitsAtExtreme(const ClippingSummary& clipping, const Covered& covered, double rate, double f) {
  if (!(clipping.High > clipping.Low)) return false;  // a constant channel has no extreme to sit at
  std::int64_t longest = 0;
  for (const ClippingSummary::Run& run : clipping.Runs) {
    const std::int64_t first = std::max(run.First, covered.First);
    const std::int64_t last = std::min(run.First + run.Length - 1, covered.Last);
    longest = std::max(longest, last - first + 1);
  }
  // A sine of amplitude a stays within one step q of its crest for 2·√(2q/a)/ω seconds: a record
  // of coarse resolution shows a natural crest as a few equal samples. A clipped one sits longer.
  double required = kClippedRun;
  if (f > 0.0 && clipping.Quantum > 0.0) {
    const double amplitude = 0.5 * (static_cast<double>(clipping.High) - clipping.Low);
    const double crest = rate * 2.0 * std::sqrt(2.0 * clipping.Quantum / amplitude) / (2.0 * kPi * f);
    required = std::max(required, std::ceil(2.0 * crest));
  }
  return static_cast<double>(longest) >= required;
}

}  // namespace

ClippingSummary SummarizeClipping(std::span<const float> channel) {
  ClippingSummary summary;
  float hi = -std::numeric_limits<float>::infinity();
  float lo = std::numeric_limits<float>::infinity();
  for (const float v : channel) {
    if (!std::isfinite(v)) continue;
    hi = std::max(hi, v);
    lo = std::min(lo, v);
  }
  if (!(hi > lo)) return summary;
  summary.High = hi;
  summary.Low = lo;
  double quantum = std::numeric_limits<double>::infinity();
  std::int64_t runStart = 0, run = 0;
  const auto count = static_cast<std::int64_t>(channel.size());
  for (std::int64_t i = 0; i < count; ++i) {
    const float v = channel[static_cast<std::size_t>(i)];
    if (i > 0) {
      const double step = std::fabs(static_cast<double>(v) - channel[static_cast<std::size_t>(i) - 1]);
      if (step > 0.0 && std::isfinite(step)) quantum = std::min(quantum, step);
    }
    const bool extreme = v == hi || v == lo;
    if (extreme && run > 0 && v == channel[static_cast<std::size_t>(i) - 1]) {
      ++run;
    } else {
      if (run >= kClippedRun) summary.Runs.push_back({runStart, run});
      run = extreme ? 1 : 0;
      runStart = i;
    }
  }
  if (run >= kClippedRun) summary.Runs.push_back({runStart, run});
  summary.Quantum = std::isfinite(quantum) ? quantum : 0.0;
  return summary;
}

namespace {

bool NearOnset(std::int64_t count, const Covered& covered, const std::optional<BandEdges>& band,
               std::span<const DetectedDecay> decays) {
  // The filter sees zeros beyond the record's ends: its first and last N − 1 outputs are not settled.
  const std::int64_t settling = kFilterHalfLength - 1;
  if (band && (covered.First < settling || covered.Last >= count - settling)) return true;
  return std::any_of(decays.begin(), decays.end(),
                     [&covered](const DetectedDecay& d) { return covered.First < d.Start && covered.Last >= d.Onset; });
}

// A band-pass of half-power width B rings like a resonator of that bandwidth, with a decay time of
// about 1/(π·B); the mode decays with 1/(h·ωn) = 1/(2π·h·f). The filter's ringing after the decay's
// onset, added to the mode, biases the fitted h unless it dies out much faster than the mode:
// B ≥ kRingingMargin · 2·h·f. For this filter a margin of 8 kept the bias of h within about 5 %
// over bands of ratio 0.02 to 0.5 and h up to 0.15, once the stretch starts a cycle after onset.
bool NarrowBand(const BandEdges& band, const FitResult& result) {
  if (!(result.H > 0.0f)) return false;
  const double bandwidth = kUpperHalfPower * band.Upper - kLowerHalfPower * band.Lower;
  return bandwidth < kRingingMargin * 2.0 * static_cast<double>(result.H) * result.F;
}

bool SecondMode(std::span<const float> samples, const Covered& covered, double rate, bool filtered) {
  const std::int64_t length = std::min<std::int64_t>(covered.Last - covered.First + 1, kMaxModeSamples);
  ModeOptions options;
  options.Offset = !filtered;  // a record as read carries an offset, which is no mode
  const ModesFit fit = FitModes(
      samples.subspan(static_cast<std::size_t>(covered.First), static_cast<std::size_t>(length)), rate, 2, options);
  if (!fit.Ok()) return false;
  const DampedMode& a = fit.Modes[0];
  const DampedMode& b = fit.Modes[1];
  const DampedMode& weak = a.Rms < b.Rms ? a : b;
  const double share = weak.Rms * weak.Rms / (a.Rms * a.Rms + b.Rms * b.Rms);
  return share >= kSecondModeShare && weak.CorrelatedSe && weak.CorrelatedSe->A > 0.0 &&
         weak.A >= kSecondModeSignificance * weak.CorrelatedSe->A;
}

}  // namespace

std::string_view FlagName(EvaluationFlag flag) { return Info(flag).Name; }

std::string_view FlagText(EvaluationFlag flag) { return Info(flag).Text; }

std::string FlagVocabularyText() {
  std::string text;
  for (const FlagInfo& info : kFlagInfo) {
    if (!text.empty()) text += "; ";
    text += std::string(info.Name) + "（" + std::string(info.Text) + "）";
  }
  return text;
}

std::string_view FlagShortText(EvaluationFlag flag) {
  const std::string_view text = Info(flag).Text;
  return text.substr(0, text.find("："));
}

std::optional<EvaluationFlag> FlagFromName(std::string_view name) {
  for (const FlagInfo& info : kFlagInfo) {
    if (info.Name == name) return info.Flag;
  }
  return std::nullopt;
}

std::string JoinedFlagNames(std::span<const EvaluationFlag> flags) {
  std::string out;
  for (const EvaluationFlag flag : flags) {
    if (!out.empty()) out += ';';
    out += FlagName(flag);
  }
  return out;
}

std::vector<EvaluationFlag> EvaluationFlags(std::span<const float> samples, double rate, std::int64_t start,
                                            float widthSeconds, const FitEvaluation& fit,
                                            const std::optional<BandEdges>& band, std::span<const DetectedDecay> decays,
                                            const ClippingSummary* clipping) {
  const auto count = static_cast<std::int64_t>(samples.size());
  const std::optional<Covered> covered = CoveredSamples(count, rate, start, widthSeconds);
  if (!covered) return {};
  std::array<bool, kFlagInfo.size()> raised{};
  auto raise = [&raised](EvaluationFlag flag) { raised[static_cast<std::size_t>(flag)] = true; };

  const bool ok = fit.Ok() && std::isfinite(fit.Result.F) && std::isfinite(fit.Result.H);
  const double f = ok ? fit.Result.F : 0.0;
  if (ok) {
    // The fit points are 1/Δ apart in rate: at or above half of it a frequency has an alias below.
    const double pointNyquist = 0.5 / fit.Points.Delta;
    if (f >= pointNyquist || MissesBetweenPoints(samples, *covered, fit)) raise(EvaluationFlag::Aliased);
    // Periods over the time the fit points cover.
    if (f * kFitPoints * fit.Points.Delta < kMinCycles) raise(EvaluationFlag::FewCycles);
    if (band && NarrowBand(*band, fit.Result)) raise(EvaluationFlag::NarrowBand);
    if (fit.Result.H < 0.0f || fit.Result.H > kMaxPlausibleH) raise(EvaluationFlag::ImplausibleH);
  }
  if (NearOnset(count, *covered, band, decays)) raise(EvaluationFlag::NearOnset);
  const ClippingSummary summary = clipping != nullptr ? ClippingSummary{} : SummarizeClipping(samples);
  if (SitsAtExtreme(clipping != nullptr ? *clipping : summary, *covered, rate, f)) raise(EvaluationFlag::Clipped);
  // A stretch with an event's beginning inside it is no sum of free decays, so the pencil cannot
  // judge it; near-onset says what is wrong with it.
  const bool holdsOnset = std::any_of(decays.begin(), decays.end(), [&covered](const DetectedDecay& d) {
    return covered->First < d.Onset && d.Onset <= covered->Last;
  });
  if (!holdsOnset && SecondMode(samples, *covered, rate, band.has_value())) raise(EvaluationFlag::SecondMode);

  std::vector<EvaluationFlag> out;
  for (const EvaluationFlag flag : kAllFlags) {
    if (raised[static_cast<std::size_t>(flag)]) out.push_back(flag);
  }
  return out;
}
