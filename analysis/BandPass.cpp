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

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// The four edges in cycles per sample, as the design computes them: named
// values single precision, every expression evaluated in double and rounded
// where it is stored.
struct CycleEdges {
  float W;    // 2π / dt
  float Nu1;  // each is fk dt
  float Nu2;
  float Nu3;
  float Nu4;
  float D12;  // widths of the two transitions
  float D34;

  CycleEdges(float f1, float f2, float f3, float f4, float dt)
      : W(static_cast<float>(kTwoPi / dt)),
        Nu1(static_cast<float>(kTwoPi * f1 / W)),
        Nu2(static_cast<float>(kTwoPi * f2 / W)),
        Nu3(static_cast<float>(kTwoPi * f3 / W)),
        Nu4(static_cast<float>(kTwoPi * f4 / W)),
        D12(static_cast<float>(static_cast<double>(Nu2) - Nu1)),
        D34(static_cast<float>(static_cast<double>(Nu4) - Nu3)) {}

  // 0 < ν1 < ν2 <= ν3 < ν4 with both transitions wider than nothing, once
  // rounded: an edge so small that it rounds to 0 (a centre of 1e-44 Hz)
  // gives no filter. Comparisons are false for NaN, so a NaN refuses too.
  bool Usable() const {
    return std::isfinite(W) && std::isfinite(Nu4) && Nu1 > 0.0f && Nu1 < Nu2 && Nu2 <= Nu3 && Nu3 < Nu4 &&
           D12 > 0.0f && D34 > 0.0f;
  }
};

}  // namespace

BandEdges EdgesFromCentre(float centre, float ratio) {
  BandEdges edges;
  edges.Lower = static_cast<float>((1.0 - static_cast<double>(ratio)) * centre);
  edges.Upper = static_cast<float>((1.0 + static_cast<double>(ratio)) * centre);
  return edges;
}

// A low-pass whose gain is 1 up to a and falls linearly to 0 at b (cycles
// per sample, d = b - a) has the impulse response
//   h[i] = 2 ∫0..b H(ν) cos(2πνi) dν = (cos 2πai - cos 2πbi) / (2π² d i²),
// and with cos A - cos B = 2 sin((A + B)/2) sin((B - A)/2) and m = iπ
//   h[i] = sin(m (a + b)) sin(m d) / (d m²),   h[0] = a + b.
// The band-pass is the low-pass to (ν3, ν4) minus the low-pass to (ν1, ν2).
bool DesignBandPass(int N, float* h, float f1, float f2, float f3, float f4, float dt) {
  if (N < 1) return false;
  const CycleEdges edges(f1, f2, f3, f4, dt);
  if (!edges.Usable()) return false;
  const float d12 = edges.D12;
  const float d34 = edges.D34;
  const double sum12 = static_cast<double>(edges.Nu2) + edges.Nu1;
  const double sum34 = static_cast<double>(edges.Nu4) + edges.Nu3;

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
  const auto lowest = static_cast<float>(0.5 * static_cast<double>(fL));
  if (!CycleEdges(lowest, fL, fH, outer, dt).Usable()) return kFilterBandMessage;
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
