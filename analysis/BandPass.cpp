// Design of the trapezoidal band-pass, the reference filter loop, and the
// filtering of a whole record.
#include "analysis/BandPass.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>
#include <stdexcept>
#include <vector>

#include "io/NumberText.h"
#include "io/WaveData.h"

BandEdges EdgesFromCentre(float centre, float ratio) {
  BandEdges edges;
  edges.Lower = static_cast<float>((1.0 - static_cast<double>(ratio)) * centre);
  edges.Upper = static_cast<float>((1.0 + static_cast<double>(ratio)) * centre);
  return edges;
}

bool DesignBandPass(int N, float* h, float f1, float f2, float f3, float f4, float dt) {
  if (N < 1) return false;
  constexpr double kTwoPi = 2.0 * std::numbers::pi;
  // Named values are single precision; every expression is evaluated in double
  // and rounded where it is stored.
  const float w = static_cast<float>(kTwoPi / dt);
  // Edges in cycles per sample (each is fk dt).
  const float nu1 = static_cast<float>(kTwoPi * f1 / w);
  const float nu2 = static_cast<float>(kTwoPi * f2 / w);
  const float nu3 = static_cast<float>(kTwoPi * f3 / w);
  const float nu4 = static_cast<float>(kTwoPi * f4 / w);
  const float d12 = static_cast<float>(static_cast<double>(nu2) - nu1);
  const float d34 = static_cast<float>(static_cast<double>(nu4) - nu3);
  // Comparisons are false for NaN, so a NaN anywhere refuses too.
  if (!(std::isfinite(w) && std::isfinite(nu4) && nu1 > 0.0f && nu1 < nu2 && nu2 <= nu3 &&
        nu3 < nu4 && d12 > 0.0f && d34 > 0.0f)) {
    return false;
  }
  const double sum12 = static_cast<double>(nu2) + nu1;
  const double sum34 = static_cast<double>(nu4) + nu3;

  // Build into a buffer first so that h is untouched on refusal.
  std::vector<float> taps(static_cast<std::size_t>(N));
  taps[0] = static_cast<float>(sum34 - sum12);
  for (int i = 1; i < N; ++i) {
    const float m = static_cast<float>(i * std::numbers::pi);
    const double md = m;
    // The impulse responses of two low-passes falling linearly from full to no
    // gain over nu3 .. nu4 and nu1 .. nu2; their difference is the band-pass.
    taps[i] = static_cast<float>(std::sin(md * d34) * std::sin(md * sum34) / d34 / md / md -
                                 std::sin(md * d12) * std::sin(md * sum12) / d12 / md / md);
  }
  for (const float t : taps) {
    if (!std::isfinite(t)) return false;
  }
  std::copy(taps.begin(), taps.end(), h);
  return true;
}

void ApplyFirScalar(int N, const float* h, float* x, int count) {
  if (N < 1 || count <= 0) return;
  std::vector<float> y(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    float acc = static_cast<float>(static_cast<double>(x[i]) * h[0]);
    for (int j = 1; j < N; ++j) {
      const float a = i - j >= 0 ? x[i - j] : 0.0f;
      const float b = i + j < count ? x[i + j] : 0.0f;
      // Stored in single precision after every step, so the order matters.
      acc = static_cast<float>((static_cast<double>(a) + b) * h[j] + acc);
    }
    y[i] = acc;
  }
  std::copy(y.begin(), y.end(), x);
}

namespace {

// The upper transition edge 1.5 fH as the design holds it, in single precision.
float OuterEdge(float fH) { return static_cast<float>(1.5 * static_cast<double>(fH)); }

}  // namespace

std::optional<std::string> BandEdgesProblem(float fL, float fH, float dt) {
  if (!(std::isfinite(fL) && std::isfinite(fH) && fL > 0.0f && fH > fL)) return kFilterBandMessage;
  if (!(std::isfinite(dt) && dt > 0.0f)) return kFilterIntervalMessage;
  const float outer = OuterEdge(fH);
  if (!std::isfinite(outer)) return kFilterBandMessage;
  // Half the sampling rate is 0.5 cycles per sample.
  const double halfRate = 0.5 / static_cast<double>(dt);
  if (!(static_cast<double>(outer) < halfRate)) {
    return "上限周波数の1.5倍（" + FormatFixed(outer, 2) + "Hz）がサンプリング周波数の半分（" + FormatFixed(halfRate, 2) +
           "Hz）以上です。中央振動数か帯域幅率を小さくしてください。";
  }
  return std::nullopt;
}

std::optional<std::string> BandSettingProblem(float centre, float ratio, float dt) {
  if (!(centre > 0.0f)) return kCentreMessage;
  if (!(ratio > 0.0f && ratio < 1.0f)) return kRatioMessage;
  const BandEdges edges = EdgesFromCentre(centre, ratio);
  if (!std::isfinite(centre) || !std::isfinite(edges.Upper) || !std::isfinite(OuterEdge(edges.Upper))) {
    return kCentreTooLargeMessage;
  }
  if (dt == 0.0f) return std::nullopt;
  return BandEdgesProblem(edges.Lower, edges.Upper, dt);
}

FilterResult FilterAllChannels(WaveData& record, float fL, float fH, const Progress* progress) {
  if (const std::optional<std::string> problem = BandEdgesProblem(fL, fH, record.Dt)) return {false, *problem};
  if (record.ChannelCount < 0 || record.ChannelCount > kMaxChannels || record.SampleCount < 0) {
    return {false, kFilterRecordMessage};
  }
  std::vector<float*> channels;
  for (int c = 0; c < record.ChannelCount; ++c) {
    auto& samples = record.Samples[static_cast<std::size_t>(c)];
    if (samples.size() < static_cast<std::size_t>(record.SampleCount)) {
      return {false, kFilterRecordMessage};
    }
    channels.push_back(samples.data());
  }

  std::vector<float> h(kFilterHalfLength);
  const float f1 = static_cast<float>(0.5 * static_cast<double>(fL));
  const float f4 = OuterEdge(fH);
  if (!DesignBandPass(kFilterHalfLength, h.data(), f1, fL, fH, f4, record.Dt)) {
    return {false, kFilterBandMessage};
  }
  try {
    if (ApplyFirChannels(kFilterHalfLength, h.data(), channels, record.SampleCount, {}, progress) ==
        FirRun::Cancelled) {
      return {false, {}, true};
    }
  } catch (const std::bad_alloc&) {
    // The working storage is taken before any sample changes.
    return {false, kFilterMemoryMessage};
  } catch (const std::length_error&) {
    return {false, kFilterMemoryMessage};
  }
  return {true, {}};
}
