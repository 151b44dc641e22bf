// The evaluations of the decays a detector found: each decay's suggested
// stretch, optionally followed by successive stretches down the decay (as a
// sweep takes them), evaluated independently of each other on every core.
// Nothing is recorded here; the caller records the evaluations in start order
// once all of them are made, so that a cancelled run changes nothing.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <vector>

#include "analysis/DecayDetection.h"
#include "io/Progress.h"
#include "session/Evaluation.h"

// What the evaluations of the decays start from.
struct DecayEvaluationSettings {
  int Channel = 0;  // 0-based
  float WidthSeconds = kDefaultWidthSeconds;
  double H0 = kDefaultInitialDamping;
  // Successive stretches: decay.Start, decay.Start + step, ... while a
  // stretch's last sample stays at or before decay.End. None: each decay's
  // suggested stretch alone.
  std::optional<std::int64_t> StepSamples;
  // The detection that found the decays, for the log rows (Session::DetectionTrace).
  std::string DetectedBy;
};

// The initial frequency an evaluation of a decay starts from: its f from the
// detection, rounded to the six significant digits the evaluation log prints,
// so that a logged evaluation can be repeated from its row.
double DecayInitialFrequency(double detectedF);

// The requests for `decays` (in time order, as detected) at `rate` samples/s,
// in start order. A decay's suggested stretch is always among them, even when
// it reaches past the decay's end. A stretch ends with the last sample its fit
// points cover.
std::vector<EvaluationRequest> DecayRequests(std::span<const DetectedDecay> decays, double rate,
                                             const DecayEvaluationSettings& settings);

struct DecayEvaluationRun {
  std::vector<Evaluation> Evaluations;  // in the order of the requests; empty when cancelled
  bool Cancelled = false;
};

// Evaluates every request of `record` (filtered with `band`) with EvaluateRecord
// at `when`, on every core. Only the last evaluation that succeeded keeps its
// fitted curve (the one a window draws): a curve holds a value per sample of
// the stretch, and a run may hold thousands of stretches. Progress is reported
// from the calling thread only, as the evaluations complete; "cancel" stops
// before the next evaluation and returns none.
DecayEvaluationRun EvaluateRequests(const WaveData& record, const std::optional<BandEdges>& band,
                                    std::span<const EvaluationRequest> requests, std::time_t when,
                                    const ChannelFacts& facts, const Progress* progress = nullptr);
