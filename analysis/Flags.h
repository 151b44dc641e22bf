// Warnings about an evaluated stretch: conditions under which a fit can be accepted and still be
// wrong, each from a fixed vocabulary with an ASCII name (for JSON, CSV and the log) and a short
// Japanese text (for the window). A clean free decay raises none.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/BandPass.h"
#include "analysis/DampedFit.h"
#include "analysis/DecayDetection.h"

// In the order they are listed and joined.
enum class EvaluationFlag {
  Aliased,       // the fit points cannot tell the frequency from an alias
  FewCycles,     // fewer than 3 periods in the stretch
  NearOnset,     // before the clean part of a decay, or in the filter's settling at the record's ends
  NarrowBand,    // the band-pass rings about as long as the mode decays
  Clipped,       // samples sit at the channel's extreme value
  SecondMode,    // a second significant mode in the stretch
  ImplausibleH,  // h < 0 or h > 0.2
};

inline constexpr EvaluationFlag kAllFlags[] = {
    EvaluationFlag::Aliased, EvaluationFlag::FewCycles,  EvaluationFlag::NearOnset,    EvaluationFlag::NarrowBand,
    EvaluationFlag::Clipped, EvaluationFlag::SecondMode, EvaluationFlag::ImplausibleH,
};

// "aliased", "few-cycles", "near-onset", "narrow-band", "clipped", "second-mode", "implausible-h".
std::string_view FlagName(EvaluationFlag flag);
// The warning the window shows for a flag (UTF-8): a short name, "：", and
// what it means ("振り切れ：波形が…").
std::string_view FlagText(EvaluationFlag flag);
// The short name alone ("振り切れ").
std::string_view FlagShortText(EvaluationFlag flag);
// Every flag's name and text, "aliased（折り返しの恐れ：…）; few-cycles（…）; …",
// for the help texts.
std::string FlagVocabularyText();
// The flag of an ASCII name, or nothing.
std::optional<EvaluationFlag> FlagFromName(std::string_view name);
// The names joined by ';', as the log's and the CSV outputs' flag columns carry them ("" for none).
std::string JoinedFlagNames(std::span<const EvaluationFlag> flags);

constexpr double kMinCycles = 3.0;
constexpr double kMaxPlausibleH = 0.2;
constexpr int kClippedRun = 3;  // samples in a row at the channel's extreme
// The band-pass's ringing must decay at least this many times faster than the mode (derived in
// Flags.cpp).
constexpr double kRingingMargin = 8.0;
// A second mode counts with at least this share of the two modes' energy over the stretch (an
// amplitude about a seventh of the first, which already moves h by 10–15 % when the two are 5 %
// apart), and an amplitude at least this many standard errors (allowing for correlated noise) from
// zero, so that a pole of the noise never counts.
constexpr double kSecondModeShare = 0.02;
constexpr double kSecondModeSignificance = 5.0;

// Where a channel as read sits at its largest or smallest value, summed up
// once per record (before any band-pass, which smooths a flat top away), so
// that every evaluation of a long record need not scan it again.
struct ClippingSummary {
  float High = 0.0f;  // the channel's largest and smallest finite values
  float Low = 0.0f;
  double Quantum = 0.0;  // the smallest step between neighbouring samples (0: none seen)
  struct Run {
    std::int64_t First = 0;
    std::int64_t Length = 0;
  };
  std::vector<Run> Runs;  // runs of kClippedRun or more equal samples at High or Low
};
ClippingSummary SummarizeClipping(std::span<const float> channel);

// The flags of one evaluation, in the order of EvaluationFlag.
// - samples: the channel as evaluated (filtered when `band` is set); rate in samples per second;
//   start and widthSeconds: the stretch as EvaluateStretch was given it; fit: its result.
// - band: the band-pass edges when the channel was filtered.
// - decays: the free decays a detector found in the channel (any order; may be empty).
// - clipping: the channel's clipping as read (SummarizeClipping of the samples before any filter);
//   null: summed up from `samples` here.
// A failed evaluation gets only the flags that do not need its result (near-onset, clipped,
// second-mode).
std::vector<EvaluationFlag> EvaluationFlags(std::span<const float> samples, double rate, std::int64_t start,
                                            float widthSeconds, const FitEvaluation& fit,
                                            const std::optional<BandEdges>& band, std::span<const DetectedDecay> decays,
                                            const ClippingSummary* clipping = nullptr);
