// One evaluation of a stretch of one channel, made the same way for the
// window's "評　価", fit, sweep, plot --fit and rd --fit: the fit, its
// standard errors, the acceptance step, the results-file row and the
// evaluation log's row. Nothing is written or shown here; the caller records
// the rows where it keeps them and shows what it shows.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/Acceptance.h"
#include "analysis/BandPass.h"
#include "analysis/DampedFit.h"
#include "analysis/FitInterval.h"
#include "analysis/Flags.h"
#include "analysis/StandardErrors.h"
#include "io/WaveData.h"
#include "session/View.h"

// The initial damping ratio of an evaluation before any has been accepted
// (the window's box at start-up, the command line's --h0).
inline constexpr double kDefaultInitialDamping = 0.03;

// What the flags of an evaluation need to know of its channel beyond the
// samples: its clipping as read, and the decays a detector found in it.
struct ChannelFacts {
  const ClippingSummary* Clipping = nullptr;  // null: summed up from the samples
  std::span<const DetectedDecay> Decays;
};

// Which stretch is evaluated, from which initial values.
struct EvaluationRequest {
  int Channel = 0;         // 0-based
  std::int64_t Start = 0;  // first sample of the stretch
  float WidthSeconds = kDefaultWidthSeconds;
  double F0 = 0.0;  // initial frequency, Hz
  double H0 = kDefaultInitialDamping;
};

struct Evaluation {
  EvaluationRequest Request;
  FitEvaluation Fit;                        // failed: nothing of it may be shown or recorded
  std::optional<FitStandardErrors> Errors;  // when the fit succeeded and JᵀJ is regular
  std::optional<FitInterval> Interval;      // 95 % intervals of f and h that hold on real noise
  std::vector<EvaluationFlag> Flags;        // warnings about the stretch
  AcceptanceStep Acceptance;                // when the fit succeeded
  std::string ResultsRow;                   // the results file's row (its own bytes, CR LF); empty when the fit failed
  std::string LogRow;                       // the evaluation log's row; empty for a refusal, which evaluated nothing

  bool Ok() const { return Fit.Ok(); }
  bool Accepted() const { return Ok() && Acceptance.Accepted; }
};

// The initial frequency an evaluation of the stretch from `start`,
// `widthSeconds` wide, starts from when asked to find it itself: the strongest
// peak of the samples the fit covers (StrongestFrequency). Nothing when the
// stretch shows none.
std::optional<double> AutomaticInitialFrequency(const WaveData& record, int channel, std::int64_t start,
                                                float widthSeconds);

// Evaluates channel request.Channel of `record` (its samples filtered with
// `band`, when given, which the log row names). `when` is the log row's time.
Evaluation EvaluateRecord(const WaveData& record, const std::optional<BandEdges>& band,
                          const EvaluationRequest& request, std::time_t when, const ChannelFacts& facts = {});

// The log row of `evaluation` of `record` at `when`; `verdict`, when given,
// stands where the row says whether the result was accepted (what became of
// it later: "除外").
std::string EvaluationLogRow(const WaveData& record, const std::optional<BandEdges>& band,
                             const Evaluation& evaluation, std::time_t when, std::string_view verdict = {});
