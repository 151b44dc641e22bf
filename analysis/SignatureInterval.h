// 95 % intervals of f and h for the evaluation of a random-decrement signature.
// The signature file alone cannot give them: its 100 fit points are means over
// overlapping segments, correlated far beyond what its residuals show. So the
// triggers are split, in time order, into contiguous groups long against a
// segment; each group's mean segment is carried through the fit's linearisation
// (G = (JᵀJ)⁻¹Jᵀ) to f and h, and the spread of the groups (batch means) with a
// Student t of groups − 1 degrees of freedom gives the interval around the
// signature's fitted values.
#pragma once

#include <optional>
#include <span>

#include "analysis/DampedFit.h"
#include "analysis/FitInterval.h"
#include "analysis/RandomDecrement.h"

// At most this many groups; more add little to the t and shorten the groups.
constexpr int kMaxSignatureGroups = 32;
// At least this many; fewer leave the spread itself too uncertain.
constexpr int kMinSignatureGroups = 5;
// Each group spans at least this many segment lengths of the record, so that
// the segments two neighbouring groups share are a small part of either.
constexpr int kSignatureGroupSpan = 8;

// `samples` is the channel the signature was taken from (the same samples,
// after the same filter), `evaluation` the fit of the signature's values. Nothing
// when the evaluation failed or its points lie beyond the signature, the
// signature carries no trigger samples, the record holds fewer than
// kMinSignatureGroups groups, or the fit's Jacobian is singular.
std::optional<FitInterval> SignatureInterval(std::span<const float> samples, const RandomDecrementSignature& signature,
                                             const FitEvaluation& evaluation);
