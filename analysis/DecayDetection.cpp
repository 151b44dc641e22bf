#include "analysis/DecayDetection.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "analysis/BandEnvelope.h"
#include "analysis/Spectrum.h"
#include "io/ProgressTicker.h"

namespace {

// Share of the progress that the spectrum takes when the centre is looked for.
constexpr double kSpectrumShare = 0.6;
// The decay rate is fitted where the envelope is still this many floors high,
// clear of the noise, when that spans at least a period.
constexpr double kSlopeFloors = 2.0;
// Medians are taken of at most about this many envelope values, spread evenly.
constexpr std::size_t kStatisticsValues = std::size_t{1} << 18;
// Fewer values outside events than this: the floor comes from all of them.
constexpr std::size_t kMinQuietValues = 64;
// How far back from a trigger the foot of its rise is looked for, in periods
// besides the short-term window: the zero-phase low-pass spreads a sudden rise
// over about a period either side.
constexpr double kFootLookbackCycles = 3.0;

DecayDetection Failed(DetectionFailureKind kind, std::string message) {
  DecayDetection out;
  out.Failure = DetectionFailure{kind, std::move(message)};
  return out;
}

// The median of `values`, which it reorders.
double Median(std::vector<float>& values) {
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

// median + k·MAD of `values`, which it reorders and overwrites.
double RobustFloor(std::vector<float>& values, double mads) {
  const double median = Median(values);
  for (float& v : values) v = static_cast<float>(std::fabs(v - median));
  return median + mads * Median(values);
}

struct Events {
  std::vector<std::size_t> Triggers;  // envelope samples where onsets were recognised
  std::vector<float> Quiet;           // a spread of envelope values outside events
};

// The onset state machine over the envelope (see the header).
Events FindTriggers(const std::vector<float>& e, double period, double startLevel, const DetectionSettings& s) {
  const std::size_t m = e.size();
  const auto staLength = static_cast<std::size_t>(std::max(1.0, std::round(s.StaCycles * period)));
  const double ltaGain = 1.0 / std::max(1.0, s.LtaCycles * period);
  const double recentGain = 1.0 / std::max(1.0, s.RecentCycles * period);
  const auto quietLength = static_cast<std::size_t>(std::max(1.0, std::round(s.OffCycles * period)));
  const std::size_t stride = std::max<std::size_t>(1, m / kStatisticsValues);

  Events events;
  double lta = startLevel, held = 0.0, recent = 0.0, staSum = 0.0;
  bool inEvent = false, armed = false;
  std::size_t below = 0;
  for (std::size_t j = 0; j < m; ++j) {
    staSum += e[j];
    if (j >= staLength) staSum -= e[j - staLength];
    const double sta = staSum / static_cast<double>(std::min(j + 1, staLength));
    if (!inEvent) {
      if (sta > 0.0 && sta >= s.OnRatio * lta) {
        events.Triggers.push_back(j);
        inEvent = true;
        armed = false;
        held = lta;
        recent = sta;
        below = 0;
        continue;
      }
      lta += ltaGain * (e[j] - lta);
      if (j % stride == 0) events.Quiet.push_back(e[j]);
      continue;
    }
    below = sta <= s.OffRatio * held ? below + 1 : 0;
    if (below >= quietLength) {
      inEvent = false;
      lta = held;
      continue;
    }
    if (!armed && sta < recent) armed = true;  // past the peak
    if (armed && sta >= s.RiseRatio * recent && sta >= s.OnRatio * held) {
      events.Triggers.push_back(j);  // a new impact while the last one rings
      armed = false;
      recent = sta;
      continue;
    }
    recent += recentGain * (e[j] - recent);
  }
  return events;
}

// Index of the last sample of the last run of `clipRun` or more samples equal
// to `low` or `high` within [from, to); nothing when there is none.
std::optional<std::size_t> LastClipped(std::span<const float> x, std::size_t from, std::size_t to, float low,
                                       float high, std::size_t clipRun) {
  std::optional<std::size_t> last;
  std::size_t run = 0;
  for (std::size_t i = from; i < to; ++i) {
    run = x[i] == low || x[i] == high ? run + 1 : 0;
    if (run >= clipRun) last = i;
  }
  return last;
}

// Nearest record sample to envelope position j (fractional), within [0, n).
std::int64_t SampleOf(const BandEnvelope& env, double j, std::size_t n) {
  const double sample = j * static_cast<double>(env.Block) + 0.5 * static_cast<double>(env.Block - 1);
  return std::clamp<std::int64_t>(std::llround(sample), 0, static_cast<std::int64_t>(n) - 1);
}

// First envelope sample whose middle lies at or after record sample `sample`.
std::size_t EnvelopeIndexFrom(const BandEnvelope& env, std::int64_t sample) {
  const double j =
      (static_cast<double>(sample) - 0.5 * static_cast<double>(env.Block - 1)) / static_cast<double>(env.Block);
  return j <= 0.0 ? 0 : static_cast<std::size_t>(std::ceil(j));
}

// ln e ≈ Level + Slope·(j − first), by least squares over [first, last).
struct Trend {
  std::size_t First = 0;
  double Level = 0.0;
  double Slope = 0.0;
  double At(std::size_t j) const { return Level + Slope * (static_cast<double>(j) - static_cast<double>(First)); }
};

Trend FitTrend(const std::vector<float>& e, std::size_t first, std::size_t last) {
  double st = 0.0, sy = 0.0, stt = 0.0, sty = 0.0;
  for (std::size_t j = first; j < last; ++j) {
    const double t = static_cast<double>(j - first), y = std::log(static_cast<double>(e[j]));
    st += t;
    sy += y;
    stt += t * t;
    sty += t * y;
  }
  const auto count = static_cast<double>(last - first);
  const double slope = (count * sty - st * sy) / (count * stt - st * st);
  return {first, (sy - slope * st) / count, slope};
}

struct RecordRange {
  double Mean = 0.0;
  float Low = 0.0f;
  float High = 0.0f;
};

RecordRange RangeOf(std::span<const float> x) {
  RecordRange r{0.0, x[0], x[0]};
  double sum = 0.0;
  for (const float v : x) {
    sum += v;
    r.Low = std::min(r.Low, v);
    r.High = std::max(r.High, v);
  }
  r.Mean = sum / static_cast<double>(x.size());
  return r;
}

// Follows the decay recognised at envelope sample `trigger`, whose rise begins
// at `foot`, up to envelope sample `limit` (the next event's foot).
std::optional<DetectedDecay> FollowDecay(std::span<const float> x, double rate, const BandEnvelope& env,
                                         const RecordRange& range, double floor, std::size_t foot, std::size_t trigger,
                                         std::size_t limit, const DetectionSettings& s) {
  const std::vector<float>& e = env.Envelope;
  const std::size_t n = x.size();
  // The peak: the largest value before the envelope has fallen to half of it.
  std::size_t peak = trigger;
  for (std::size_t j = trigger; j < limit && e[j] >= 0.5f * e[peak]; ++j) {
    if (e[j] > e[peak]) peak = j;
  }
  // The onset: half-way up the rise, which the zero-phase low-pass spreads
  // evenly about a sudden start.
  const double halfway = 0.5 * (static_cast<double>(e[foot]) + e[peak]);
  double onset = static_cast<double>(foot);
  for (std::size_t j = foot + 1; e[peak] > e[foot] && j <= peak; ++j) {
    if (e[j] >= halfway) {
      onset = static_cast<double>(j - 1) + (halfway - e[j - 1]) / (static_cast<double>(e[j]) - e[j - 1]);
      break;
    }
  }
  std::size_t floorAt = std::min(peak + 1, limit);
  while (floorAt < limit && e[floorAt] > floor) ++floorAt;

  const double period = rate / env.CentreHz;  // record samples
  const std::int64_t onsetSample = SampleOf(env, onset, n);
  const std::int64_t peakSample = SampleOf(env, static_cast<double>(peak), n);
  const std::int64_t floorSample = SampleOf(env, static_cast<double>(floorAt), n);
  std::int64_t start =
      peakSample + std::max(static_cast<std::int64_t>(std::ceil(s.StartCycles * period)), s.SettlingSamples);
  if (range.High > range.Low) {
    const std::size_t scanFrom = static_cast<std::size_t>(SampleOf(env, static_cast<double>(foot), n));
    if (const auto clipped = LastClipped(x, scanFrom, static_cast<std::size_t>(floorSample), range.Low, range.High,
                                         static_cast<std::size_t>(s.ClipRun))) {
      // Clipped: past every sample at the extremes, the shorter runs too.
      std::size_t last = *clipped;
      for (std::size_t i = last; i < static_cast<std::size_t>(floorSample); ++i) {
        if (x[i] == range.Low || x[i] == range.High) last = i;
      }
      start = std::max(start, static_cast<std::int64_t>(last) + 1 + s.SettlingSamples);
    }
  }
  if (start >= floorSample) return std::nullopt;

  // Decay rate: a straight line through ln e from the start, over the part
  // still clear of the noise.
  const std::size_t first = EnvelopeIndexFrom(env, start);
  std::size_t last = first;
  while (last < floorAt && e[last] >= kSlopeFloors * floor) ++last;
  if (static_cast<double>(last - first) < std::max(3.0, env.Rate / env.CentreHz)) last = floorAt;
  if (last < first + 3) return std::nullopt;
  const Trend trend = FitTrend(e, first, last);
  const double slope = trend.Slope;  // nepers per envelope sample
  // A decay that met the floor has fallen; one cut off by the next event or
  // the record's end must show the fall in its trend.
  if (!(slope < 0.0)) return std::nullopt;
  if (floorAt == limit && -slope * static_cast<double>(floorAt - first) < s.MinDropNepers) return std::nullopt;
  const double timeConstant = static_cast<double>(env.Block) / -slope;  // record samples
  const std::int64_t end = std::min<std::int64_t>(
      floorSample, start + static_cast<std::int64_t>(std::floor(s.EndTimeConstants * timeConstant)));
  if (end <= start) return std::nullopt;

  // f from the zero crossings of the band's signal between start and end.
  const std::size_t stop = std::min(EnvelopeIndexFrom(env, end), env.Size());
  std::size_t crossings = 0;
  double firstCrossing = 0.0, lastCrossing = 0.0;
  double previous = first < stop ? env.Signal(first, rate) : 0.0;
  for (std::size_t j = first + 1; j < stop; ++j) {
    const double current = env.Signal(j, rate);
    if ((previous < 0.0) != (current < 0.0)) {
      const double at = env.SampleAt(j - 1) + static_cast<double>(env.Block) * previous / (previous - current);
      if (crossings == 0) firstCrossing = at;
      lastCrossing = at;
      ++crossings;
    }
    previous = current;
  }
  if (crossings < 3) return std::nullopt;
  DetectedDecay decay;
  decay.Onset = onsetSample;
  decay.Start = start;
  decay.End = end;
  decay.Peak = e[peak];
  decay.F = 0.5 * static_cast<double>(crossings - 1) * rate / (lastCrossing - firstCrossing);
  decay.Cycles = decay.F * static_cast<double>(end - start) / rate;
  if (decay.Cycles < s.MinCycles) return std::nullopt;
  return decay;
}

}  // namespace

std::string DetectionSettingsText(const DetectionSettings& s) {
  // Shortest round-trip decimals, whatever the locale (a decimal comma would
  // split the log's field).
  const auto number = [](double value) {
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    return std::string(digits, result.ptr);
  };
  std::string text = "検出: 帯域 ";
  text += s.CentreHz ? number(*s.CentreHz) + "Hz" : std::string("卓越ピーク");
  text += "×(1±" + number(s.BandRatio) + ") 短期平均" + number(s.StaCycles) + "周期 長期平均" + number(s.LtaCycles) +
          "周期 開始比" + number(s.OnRatio) + " 解除比" + number(s.OffRatio) + "(" + number(s.OffCycles) +
          "周期) 再開始 最近" + number(s.RecentCycles) + "周期の" + number(s.RiseRatio) + "倍 床 中央値+" +
          number(s.FloorMads) + "MAD 開始 ピーク後" + number(s.StartCycles) + "周期と整定" +
          std::to_string(s.SettlingSamples) + "点 終了 床または" + number(s.EndTimeConstants) + "時定数 最短" +
          number(s.MinCycles) + "周期 減衰" + number(s.MinDropNepers) + "Np以上 飽和" + std::to_string(s.ClipRun) +
          "点連続 候補" + std::to_string(s.CentreCandidates) + "ピーク";
  return text;
}

std::optional<std::string> DetectionSettingsProblem(const DetectionSettings& s, double rate) {
  const auto finite = [](double v) { return std::isfinite(v); };
  if (s.CentreHz) {
    if (!(*s.CentreHz > 0.0) || !finite(*s.CentreHz)) return "検出の中心周波数は0より大きくしてください。";
    if (rate > 0.0 && !(*s.CentreHz * (1.0 + s.BandRatio) < 0.5 * rate)) {
      return "検出の帯域がサンプリング周波数の半分を超えています。";
    }
  }
  if (!(s.BandRatio > 0.0 && s.BandRatio < 1.0)) return "検出の帯域幅率は0より大きく1未満にしてください。";
  if (!(s.StaCycles > 0.0 && s.LtaCycles > s.StaCycles && s.RecentCycles > 0.0 && s.OffCycles > 0.0) ||
      !finite(s.LtaCycles) || !finite(s.RecentCycles) || !finite(s.OffCycles)) {
    return "検出の平均の長さが不正です（短期は0より長く、長期は短期より長くしてください）。";
  }
  if (!(s.OnRatio > 1.0 && s.OffRatio > 0.0 && s.OffRatio < s.OnRatio && s.RiseRatio > 1.0) || !finite(s.OnRatio) ||
      !finite(s.RiseRatio)) {
    return "検出の開始比と解除比が不正です（開始比と再開始の比は1より大きく、解除比は0より大きく開始比未満にしてくださ"
           "い）。";
  }
  if (!(s.FloorMads >= 0.0 && s.StartCycles >= 0.0 && s.SettlingSamples >= 0 && s.EndTimeConstants > 0.0 &&
        s.MinCycles >= 0.0 && s.MinDropNepers >= 0.0) ||
      !finite(s.FloorMads) || !finite(s.StartCycles) || !finite(s.EndTimeConstants) || !finite(s.MinCycles) ||
      !finite(s.MinDropNepers)) {
    return "検出の設定が不正です（床・開始・終了・最短・減衰の値は0以上にしてください）。";
  }
  if (s.ClipRun < 1 || s.CentreCandidates < 1) return "検出の設定が不正です（飽和と候補の数は1以上にしてください）。";
  return std::nullopt;
}

namespace {

// The decays around `centre`; false when the caller asked to stop.
bool DetectAround(std::span<const float> samples, double rate, const RecordRange& range, double centre,
                  const DetectionSettings& settings, const Progress* progress, DecayDetection& out) {
  BandEnvelope env;
  if (!MakeBandEnvelope(samples, rate, centre, settings.BandRatio * centre, env, progress)) return false;
  const std::vector<float>& e = env.Envelope;
  const std::size_t m = e.size();
  const double period = env.Rate / centre;  // envelope samples

  // The long-term average starts from the record's typical level, so a record
  // that begins inside a decay has its onset at the start.
  std::vector<float> spread;
  const std::size_t stride = std::max<std::size_t>(1, m / kStatisticsValues);
  for (std::size_t j = 0; j < m; j += stride) spread.push_back(e[j]);
  const double typical = Median(spread);
  Events events = FindTriggers(e, period, typical, settings);
  if (events.Quiet.size() < kMinQuietValues) {
    events.Quiet.clear();
    for (std::size_t j = 0; j < m; j += stride) events.Quiet.push_back(e[j]);
  }
  out.CentreHz = centre;
  out.Floor = RobustFloor(events.Quiet, settings.FloorMads);
  out.Decays.clear();

  // Feet of the rises, each no earlier than the trigger before it.
  const std::vector<std::size_t>& triggers = events.Triggers;
  std::vector<std::size_t> feet(triggers.size());
  const auto lookback = static_cast<std::size_t>(std::ceil((settings.StaCycles + kFootLookbackCycles) * period));
  for (std::size_t i = 0; i < triggers.size(); ++i) {
    const std::size_t bound = i > 0 ? triggers[i - 1] : 0;
    std::size_t j = triggers[i];
    while (j > bound && triggers[i] - j < lookback && e[j - 1] < e[j]) --j;
    feet[i] = j;
  }
  for (std::size_t i = 0; i < triggers.size(); ++i) {
    const std::size_t limit = i + 1 < triggers.size() ? feet[i + 1] : m;
    if (std::optional<DetectedDecay> decay =
            FollowDecay(samples, rate, env, range, out.Floor, feet[i], triggers[i], limit, settings)) {
      out.Decays.push_back(*decay);
    }
  }
  return true;
}

}  // namespace

DecayDetection DetectDecays(std::span<const float> samples, double rate, const DetectionSettings& settings,
                            const Progress* progress) {
  if (!(rate > 0.0) || !std::isfinite(rate))
    return Failed(DetectionFailureKind::BadRate, "サンプリング周波数が不正です。");
  const std::size_t n = samples.size();
  if (n < kMinDetectionSamples) {
    return Failed(DetectionFailureKind::TooShort, "データが短すぎます（検出には64点以上必要です）。");
  }
  if (std::optional<std::string> problem = DetectionSettingsProblem(settings, rate)) {
    return Failed(DetectionFailureKind::BadSettings, std::move(*problem));
  }
  ProgressTicker ticker(progress);
  const auto part = [&](double from, double to) {
    Progress share;
    share.Report = [&ticker, from, to](double f) { ticker.At(from + (to - from) * f); };
    share.Cancel = progress->Cancel;
    return share;
  };
  const auto cancelled = [] { return Failed(DetectionFailureKind::Cancelled, "中止しました。"); };

  const RecordRange range = RangeOf(samples);
  if (!std::isfinite(range.Mean)) return Failed(DetectionFailureKind::NotFinite, kNotFiniteMessage);
  DecayDetection out;
  if (settings.CentreHz) {
    const Progress share = progress != nullptr ? part(0.0, 1.0) : Progress{};
    if (!DetectAround(samples, rate, range, *settings.CentreHz, settings, progress != nullptr ? &share : nullptr,
                      out)) {
      return cancelled();
    }
    ticker.Done();
    return out;
  }

  // Unfiltered: the band around the strongest of the record's strongest
  // peaks that shows decays (a steady hum or a slow sway may outdo the
  // decays in the spectrum, but shows none).
  const Progress spectrumShare = progress != nullptr ? part(0.0, kSpectrumShare) : Progress{};
  const Spectrum spectrum = WelchSpectrum(samples, rate, 0, progress != nullptr ? &spectrumShare : nullptr);
  if (!spectrum.Ok()) {
    switch (spectrum.Failure->Kind) {
      case SpectrumFailureKind::Cancelled:
        return cancelled();
      case SpectrumFailureKind::NotFinite:
        return Failed(DetectionFailureKind::NotFinite, kNotFiniteMessage);
      default:
        return Failed(DetectionFailureKind::TooShort, spectrum.Failure->Message);
    }
  }
  std::vector<double> centres;
  for (const SpectrumPeak& peak : spectrum.Peaks) {
    if (centres.size() < static_cast<std::size_t>(settings.CentreCandidates) &&
        peak.F * (1.0 + settings.BandRatio) < 0.5 * rate) {
      centres.push_back(peak.F);
    }
  }
  // Only the first candidate reports progress; the others take a fraction of
  // the spectrum's time.
  Progress quiet;
  if (progress != nullptr) quiet.Cancel = progress->Cancel;
  for (std::size_t i = 0; i < centres.size(); ++i) {
    const Progress share = progress != nullptr && i == 0 ? part(kSpectrumShare, 1.0) : quiet;
    DecayDetection around;
    if (!DetectAround(samples, rate, range, centres[i], settings, &share, around)) return cancelled();
    if (i == 0 || !around.Decays.empty()) out = std::move(around);
    if (!out.Decays.empty()) break;
  }
  ticker.Done();
  return out;
}
