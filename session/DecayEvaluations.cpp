#include "session/DecayEvaluations.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <mutex>

#include "io/ThreadTeam.h"

namespace {

// The log prints initial values with %g: six significant digits.
constexpr int kLoggedDigits = 6;

// Samples the fit of a stretch `widthSeconds` wide covers from its start: the
// stretch, or its 100 points where they reach past it.
std::int64_t CoveredSamples(double rate, float widthSeconds) {
  const long long width = WindowSamples(rate, widthSeconds);
  const long long step = std::max<long long>(1, width / kFitPoints);
  return std::max<long long>(width, (kFitPoints - 1) * step + 1);
}

}  // namespace

double DecayInitialFrequency(double detectedF) {
  char text[32];
  const auto written = std::to_chars(text, text + sizeof text, detectedF, std::chars_format::general, kLoggedDigits);
  double rounded = detectedF;
  std::from_chars(text, written.ptr, rounded);
  return rounded;
}

std::vector<EvaluationRequest> DecayRequests(std::span<const DetectedDecay> decays, double rate,
                                             const DecayEvaluationSettings& settings) {
  std::vector<EvaluationRequest> requests;
  const std::int64_t covered = CoveredSamples(rate, settings.WidthSeconds);
  for (const DetectedDecay& decay : decays) {
    EvaluationRequest request;
    request.Channel = settings.Channel;
    request.WidthSeconds = settings.WidthSeconds;
    request.F0 = DecayInitialFrequency(decay.F);
    request.H0 = settings.H0;
    request.Start = decay.Start;
    request.DetectedBy = settings.DetectedBy;
    requests.push_back(request);
    if (!settings.StepSamples || *settings.StepSamples < 1) continue;
    for (std::int64_t start = decay.Start + *settings.StepSamples; start + covered - 1 <= decay.End;
         start += *settings.StepSamples) {
      request.Start = start;
      requests.push_back(request);
    }
  }
  return requests;
}

DecayEvaluationRun EvaluateRequests(const WaveData& record, const std::optional<BandEdges>& band,
                                    std::span<const EvaluationRequest> requests, std::time_t when,
                                    const ChannelFacts& facts, const Progress* progress) {
  DecayEvaluationRun run;
  const auto count = static_cast<std::int64_t>(requests.size());
  std::vector<Evaluation> made(requests.size());
  std::atomic<std::int64_t> next{0};
  std::atomic<std::int64_t> done{0};
  auto cancelled = [progress] { return progress != nullptr && progress->Cancelled(); };
  // Reports come from the calling thread only: after its own evaluations and
  // while it waits for the other threads.
  auto report = [&] {
    if (progress != nullptr && count > 0) progress->At(static_cast<double>(done.load()) / static_cast<double>(count));
  };
  // Only the last evaluation that succeeded keeps its curve; the others' go as
  // soon as a later one has succeeded.
  std::mutex curveMutex;
  std::int64_t curveKept = -1;
  auto keepCurve = [&](std::int64_t i) {
    std::vector<float> released;  // freed outside the lock
    const std::lock_guard lock(curveMutex);
    if (i > curveKept) {
      if (curveKept >= 0) released.swap(made[static_cast<std::size_t>(curveKept)].Fit.Curve);
      curveKept = i;
    } else {
      released.swap(made[static_cast<std::size_t>(i)].Fit.Curve);
    }
  };
  const auto team = static_cast<std::size_t>(std::clamp<std::int64_t>(count, 1, CoreCount()));
  RunOnThreads(
      team,
      [&](std::size_t thread) {
        for (std::int64_t i = next++; i < count && !cancelled(); i = next++) {
          Evaluation& evaluation = made[static_cast<std::size_t>(i)];
          evaluation = EvaluateRecord(record, band, requests[static_cast<std::size_t>(i)], when, facts);
          if (evaluation.Ok()) keepCurve(i);
          ++done;
          if (thread == 0) report();
        }
      },
      report);
  if (cancelled()) {
    run.Cancelled = true;
    return run;
  }
  if (progress != nullptr) progress->At(1.0);
  run.Evaluations = std::move(made);
  return run;
}
