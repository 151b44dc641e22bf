// The simulated cases of the interval benchmark: free decays in white noise and
// over the structure's own ambient response, band-passed decays near the band
// edges, two close modes, clipping, and random-decrement signatures of ambient
// records. Their f, h, rates, widths and noise differ on purpose, so that no
// one setting decides the figures.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/TrustCases.h"

struct DecaySetting {
  SimulatedMode Mode;                       // the evaluated mode's free decay
  std::vector<SimulatedMode> OtherDecays;   // further modes struck by the same impact
  std::vector<SimulatedMode> Ambient;       // ambient response under the decay (A = its deviation)
  double White = 0.0;                       // deviation of white noise
  int Rate = 100;
  float Width = 5.0f;
  double SettleSeconds = 0.0;               // from the onset to the evaluated stretch
  double F0 = 1.0, H0 = 0.03;
  std::optional<std::pair<float, float>> Band;  // centre, ratio of the band-pass
  double Clip = INFINITY;
};

// Seconds of record before the onset and after the stretch: the filter's
// half-length is 5 s at 100 samples/s, so its ends stay clear of the stretch.
constexpr double kTrustLeadSeconds = 12.0;
constexpr double kTrustTailSeconds = 12.0;

inline TrustRecord MakeDecayRecord(const DecaySetting& s, std::uint64_t seed) {
  GaussianNoise noise(seed);
  const auto onset = static_cast<std::size_t>(kTrustLeadSeconds * s.Rate);
  const auto start = onset + static_cast<std::size_t>(s.SettleSeconds * s.Rate);
  const auto count = start + static_cast<std::size_t>((s.Width + kTrustTailSeconds) * s.Rate);
  std::vector<double> x = s.Ambient.empty() ? std::vector<double>(count, 0.0) : AmbientModes(s.Ambient, s.Rate, count, noise);
  AddFreeDecay(x, s.Mode, s.Rate, onset);
  for (const SimulatedMode& m : s.OtherDecays) AddFreeDecay(x, m, s.Rate, onset);
  AddWhiteNoise(x, s.White, noise);
  TrustRecord r;
  r.Samples = AsRecord(x, s.Clip);
  if (s.Band) BandPassRecord(r.Samples, s.Rate, s.Band->first, s.Band->second);
  r.Rate = s.Rate;
  r.Start = static_cast<std::int64_t>(start);
  r.Width = s.Width;
  r.F0 = s.F0;
  r.H0 = s.H0;
  return r;
}

// The covariance of the noise between samples `lag` apart, tabled once.
inline std::function<double(int)> DecayNoiseCovariance(const DecaySetting& s) {
  const int maxLag = static_cast<int>(s.Width * s.Rate) + 1;
  auto table = std::make_shared<std::vector<double>>(static_cast<std::size_t>(maxLag + 1), 0.0);
  (*table)[0] = s.White * s.White;
  for (const SimulatedMode& m : s.Ambient) {
    for (int lag = 0; lag <= maxLag; ++lag) {
      (*table)[static_cast<std::size_t>(lag)] += m.A * m.A * SampledAmbientCorrelation(m.F, m.H, s.Rate, lag);
    }
  }
  if (s.Band) {
    // White noise through the symmetric filter of taps f[−(N−1) … N−1].
    std::vector<float> impulse(static_cast<std::size_t>(4 * kFilterHalfLength), 0.0f);
    impulse[2 * kFilterHalfLength] = 1.0f;
    BandPassRecord(impulse, s.Rate, s.Band->first, s.Band->second);
    for (int lag = 0; lag <= maxLag; ++lag) {
      double sum = 0.0;
      for (std::size_t i = 0; i + static_cast<std::size_t>(lag) < impulse.size(); ++i) {
        sum += static_cast<double>(impulse[i]) * impulse[i + static_cast<std::size_t>(lag)];
      }
      (*table)[static_cast<std::size_t>(lag)] = s.White * s.White * sum;
    }
  }
  return [table](int lag) { return lag < static_cast<int>(table->size()) ? (*table)[static_cast<std::size_t>(lag)] : 0.0; };
}

inline TrustCase DecayCase(std::string name, std::string what, const DecaySetting& s, bool bound) {
  TrustCase c;
  c.Name = std::move(name);
  c.What = std::move(what);
  c.TrueF = s.Mode.F;
  c.TrueH = s.Mode.H;
  c.Make = [s](std::uint64_t seed) { return MakeDecayRecord(s, seed); };
  if (bound) {
    const double wn = 2.0 * M_PI * s.Mode.F;
    c.BoundA = s.Mode.A * std::exp(-s.Mode.H * wn * s.SettleSeconds);
    c.BoundPhi = s.Mode.Phi + wn * std::sqrt(1.0 - s.Mode.H * s.Mode.H) * s.SettleSeconds;
    c.NoiseCovariance = DecayNoiseCovariance(s);
  }
  return c;
}

struct SignatureSetting {
  std::vector<SimulatedMode> Modes;  // ambient modes, A = deviation
  std::size_t Evaluated = 0;         // index of the mode the signature is fitted to
  double White = 0.0;
  int Rate = 100;
  double Seconds = 1800.0;           // record length
  float Length = 5.0f;               // signature length, s
  double F0 = 1.0, H0 = 0.03;
  std::optional<std::pair<float, float>> Band;
};

inline TrustCase SignatureCase(std::string name, std::string what, const SignatureSetting& s) {
  TrustCase c;
  c.Name = std::move(name);
  c.What = std::move(what);
  c.TrueF = s.Modes[s.Evaluated].F;
  c.TrueH = s.Modes[s.Evaluated].H;
  c.Make = [s](std::uint64_t seed) {
    GaussianNoise noise(seed);
    std::vector<double> x = AmbientModes(s.Modes, s.Rate, static_cast<std::size_t>(s.Seconds * s.Rate), noise);
    AddWhiteNoise(x, s.White, noise);
    TrustRecord r;
    r.Samples = AsRecord(x);
    if (s.Band) BandPassRecord(r.Samples, s.Rate, s.Band->first, s.Band->second);
    r.Rate = s.Rate;
    r.Width = s.Length;
    r.F0 = s.F0;
    r.H0 = s.H0;
    r.Signature = true;
    return r;
  };
  return c;
}

inline TrustCase WhiteDecayCase() {
  DecaySetting s;
  s.Mode = {3.7, 0.027, 2.7, 0.7};
  s.White = 0.15;
  s.Rate = 100;
  s.Width = 5.0f;
  s.F0 = 3.85;
  s.H0 = 0.035;
  return DecayCase("white", "3.7 Hz, h 0.027, white noise 5.6 % of A, 100/s, 5 s", s, true);
}

inline TrustCase WhiteLowCase() {
  DecaySetting s;
  s.Mode = {1.6, 0.025, 1.0, -1.1};
  s.White = 0.1;
  s.Rate = 200;
  s.Width = 8.0f;
  s.SettleSeconds = 0.5;
  s.F0 = 1.7;
  s.H0 = 0.03;
  return DecayCase("white-low", "1.6 Hz, h 0.025, white noise 10 % of A, 200/s, 8 s (step 16)", s, true);
}

inline TrustCase AmbientDecayCase() {
  DecaySetting s;
  s.Mode = {2.3, 0.031, 2.7, 0.7};
  s.Ambient = {{2.3, 0.031, 0.15, 0.0}};
  s.White = 0.02;
  s.Rate = 100;
  s.Width = 5.0f;
  s.F0 = 2.4;
  s.H0 = 0.035;
  return DecayCase("ambient", "2.3 Hz, h 0.031, over its own ambient response (5.6 % of A) and white 0.7 %", s, true);
}

inline TrustCase AmbientStrongCase() {
  DecaySetting s;
  s.Mode = {5.9, 0.012, 1.0, 2.1};
  s.Ambient = {{5.9, 0.012, 0.08, 0.0}, {2.1, 0.02, 0.05, 0.0}};
  s.White = 0.01;
  s.Rate = 200;
  s.Width = 4.0f;
  s.SettleSeconds = 0.3;
  s.F0 = 6.1;
  s.H0 = 0.02;
  return DecayCase("ambient-2", "5.9 Hz, h 0.012, over ambient of itself (8 %) and a 2.1 Hz mode (5 %), 200/s, 4 s",
                   s, true);
}

inline TrustCase BandUpperCase() {
  DecaySetting s;
  s.Mode = {3.7, 0.027, 2.7, 0.7};
  s.White = 0.4;
  s.Rate = 100;
  s.Width = 5.0f;
  s.SettleSeconds = 1.0;
  s.F0 = 3.85;
  s.H0 = 0.035;
  s.Band = std::make_pair(3.2f, 0.2f);  // 2.56 – 3.84 Hz: f at 0.96 of the upper edge
  return DecayCase("band-upper", "3.7 Hz, h 0.027, band-pass 2.56–3.84 Hz, white noise 15 % of A before it", s, true);
}

inline TrustCase BandLowerCase() {
  DecaySetting s;
  s.Mode = {2.3, 0.031, 2.7, 0.7};
  s.White = 0.5;
  s.Rate = 100;
  s.Width = 5.0f;
  s.SettleSeconds = 1.0;
  s.F0 = 2.4;
  s.H0 = 0.035;
  s.Band = std::make_pair(2.5f, 0.1f);  // 2.25 – 2.75 Hz: f at 1.02 of the lower edge
  return DecayCase("band-lower", "2.3 Hz, h 0.031, band-pass 2.25–2.75 Hz, white noise 19 % of A before it", s, true);
}

inline TrustCase CloseModesCase() {
  DecaySetting s;
  s.Mode = {3.7, 0.027, 2.7, 0.7};
  s.OtherDecays = {{4.1, 0.02, 0.3, -0.4}};
  s.White = 0.1;
  s.Rate = 100;
  s.Width = 5.0f;
  s.F0 = 3.85;
  s.H0 = 0.035;
  return DecayCase("close-modes", "3.7 Hz, h 0.027 with a 4.1 Hz mode of 11 % amplitude, white noise 3.7 %", s, false);
}

inline TrustCase ClippedCase() {
  DecaySetting s;
  s.Mode = {3.7, 0.027, 2.7, 0.7};
  s.White = 0.15;
  s.Rate = 100;
  s.Width = 5.0f;
  s.F0 = 3.85;
  s.H0 = 0.035;
  s.Clip = 0.85 * 2.7;
  return DecayCase("clipped", "the white case clipped at 85 % of A (its first cycle)", s, false);
}

inline TrustCase SignatureMdofCase() {
  SignatureSetting s;
  s.Modes = {{1.2, 0.02, 1.0, 0.0}, {3.7, 0.03, 0.6, 0.0}, {8.1, 0.015, 0.3, 0.0}};
  s.Evaluated = 1;
  s.White = 0.05;
  s.Rate = 100;
  s.Seconds = 1800.0;
  s.Length = 5.0f;
  s.F0 = 3.8;
  s.H0 = 0.03;
  s.Band = std::make_pair(3.7f, 0.25f);
  return SignatureCase("rd-mdof", "3 modes (1.2, 3.7, 8.1 Hz), band-pass 2.8–4.6 Hz, 30 min at 100/s, 3.7 Hz h 0.03", s);
}

inline TrustCase SignatureSdofCase() {
  SignatureSetting s;
  s.Modes = {{1.85, 0.04, 1.0, 0.0}};
  s.White = 0.1;
  s.Rate = 100;
  s.Seconds = 1200.0;
  s.Length = 5.0f;
  s.F0 = 1.9;
  s.H0 = 0.03;
  return SignatureCase("rd-sdof", "1.85 Hz, h 0.04, white 10 %, 20 min at 100/s, no filter", s);
}

inline std::vector<TrustCase> AllTrustCases() {
  return {WhiteDecayCase(),  WhiteLowCase(),   AmbientDecayCase(), AmbientStrongCase(), BandUpperCase(),
          BandLowerCase(),   CloseModesCase(), ClippedCase(),      SignatureMdofCase(), SignatureSdofCase()};
}
