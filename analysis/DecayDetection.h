// Free decays in a record, found on its band-limited envelope (BandEnvelope)
// around the centre frequency (given, or the strongest peak of the record's
// Welch spectrum): an onset where the short-term average of the envelope rises
// over its long-term average by the on-ratio, the long-term average held while
// the event lasts and the next onset armed once the ratio has fallen below the
// off-ratio; inside an event, a rise by the on-ratio over the envelope's recent
// level (a second impact) is a new onset, while beating of close modes stays
// below it. Each decay is followed from its peak while the envelope stays above
// the noise floor (median + k·MAD of the envelope outside events); its decay
// rate comes from a straight line through the envelope's logarithm, and f from
// the zero crossings of the band's signal.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "io/Progress.h"

struct DetectionSettings {
  std::optional<double> CentreHz;    // the band's centre; empty: from the record's spectrum (see above)
  double BandRatio = 0.3;            // the envelope holds centre × (1 ± BandRatio)
  double StaCycles = 0.5;            // short-term average, periods of the centre
  double LtaCycles = 50.0;           // long-term average (exponential), periods
  double OnRatio = 4.0;              // short-term over long-term average at an onset
  double OffRatio = 1.5;             // an event ends once the ratio has stayed below this
  double OffCycles = 5.0;            // for this many periods; then the next onset is armed
  double RecentCycles = 3.0;         // inside an event: the envelope's recent level (exponential), periods
  double RiseRatio = 2.0;            // a rise of the short-term average over it by this ratio is a new onset
  double FloorMads = 3.0;            // floor = median + FloorMads × MAD (unscaled)
  double StartCycles = 2.0;          // start at least this many periods after the peak
  std::int64_t SettlingSamples = 0;  // and after this many: the record's filter (its half length when filtered)
  double EndTimeConstants = 3.0;     // end at most this many time constants after start
  double MinCycles = 3.0;            // shorter decays (start to end) are not reported
  double MinDropNepers = 0.5;        // one cut off before the floor must fall this much (fitted), or it goes on
  int ClipRun = 3;                   // this many samples in a row at the record's extreme value are clipped
  int CentreCandidates = 3;          // without a centre: the spectrum's strongest peaks tried in turn
};

// The settings in one short line for the help text and the evaluation log
// (Japanese, no commas).
std::string DetectionSettingsText(const DetectionSettings& settings);

// Why the settings cannot be used; nothing when they can. The centre is
// checked against the rate when it is known (rate > 0).
std::optional<std::string> DetectionSettingsProblem(const DetectionSettings& settings, double rate = 0.0);

struct DetectedDecay {
  std::int64_t Onset = 0;  // sample where the event begins (half-way up the envelope's rise)
  std::int64_t Start = 0;  // suggested first sample of a fit
  std::int64_t End = 0;    // sample where the decay meets the floor, or start + EndTimeConstants time constants
  double Peak = 0.0;       // the envelope's largest value, units of the samples
  double F = 0.0;          // Hz, from the zero crossings between start and end
  double Cycles = 0.0;     // periods between start and end
};

enum class DetectionFailureKind {
  BadRate,      // not a positive finite number
  TooShort,     // fewer than kMinDetectionSamples samples
  BadSettings,  // see DetectionSettingsProblem
  NotFinite,    // a sample is infinite or not a number
  Cancelled,    // the caller asked to stop
};

struct DetectionFailure {
  DetectionFailureKind Kind = DetectionFailureKind::TooShort;
  std::string Message;  // UTF-8, ready to show
};

constexpr std::size_t kMinDetectionSamples = 64;

struct DecayDetection {
  std::optional<DetectionFailure> Failure;
  double CentreHz = 0.0;              // the band's centre used (the strongest peak when none shows decays); 0: no peak
  double Floor = 0.0;                 // the envelope's noise floor, units of the samples
  std::vector<DetectedDecay> Decays;  // in time order, none overlapping

  bool Ok() const { return !Failure.has_value(); }
};

// The decays of `samples` (one channel at `rate` samples/s). A record whose
// spectrum shows no peak has none. Progress covers the spectrum (when the
// centre is not given) and the envelope.
DecayDetection DetectDecays(std::span<const float> samples, double rate, const DetectionSettings& settings = {},
                            const Progress* progress = nullptr);
