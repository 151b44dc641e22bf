#include "session/Evaluation.h"

#include <algorithm>
#include <span>

#include <filesystem>

#include "analysis/ResultRows.h"
#include "io/Version.h"
#include "analysis/Spectrum.h"

std::optional<double> AutomaticInitialFrequency(const WaveData& record, int channel, std::int64_t start,
                                                float widthSeconds) {
  const std::vector<float>& samples = record.Samples[static_cast<std::size_t>(std::clamp(channel, 0, kMaxChannels - 1))];
  const auto count = static_cast<std::int64_t>(
      std::min(samples.size(), static_cast<std::size_t>(std::max(record.SampleCount, 0))));
  // What the fit covers: the displayed stretch, or its 100 points where they
  // reach past it.
  const long long width = WindowSamples(record.Rate, widthSeconds);
  const long long step = std::max<long long>(1, width / kFitPoints);
  const long long covered = std::max<long long>(width, (kFitPoints - 1) * step + 1);
  if (start < 0 || start >= count) return std::nullopt;
  const std::int64_t end = std::min<std::int64_t>(count, start + covered);
  return StrongestFrequency(std::span<const float>(samples.data() + start, static_cast<std::size_t>(end - start)),
                            record.Rate);
}

Evaluation EvaluateRecord(const WaveData& record, const std::optional<BandEdges>& band,
                          const EvaluationRequest& request, std::time_t when, const ChannelFacts& facts) {
  Evaluation evaluation;
  evaluation.Request = request;
  const auto channel = static_cast<std::size_t>(std::clamp(request.Channel, 0, kMaxChannels - 1));
  const std::vector<float>& samples = record.Samples[channel];
  // A record whose arrays outlive a shorter sample count shows only the count.
  const std::size_t count = std::min(samples.size(), static_cast<std::size_t>(std::max(record.SampleCount, 0)));
  evaluation.Fit = EvaluateStretch(std::span<const float>(samples.data(), count), record.Rate, record.Dt, request.Start,
                                   request.WidthSeconds, request.F0, request.H0);

  const std::string_view fileName = SlotText(record.FileName);
  const std::string_view channelName = SlotText(record.Names[channel]);
  if (evaluation.Ok()) {
    const FitResult& result = evaluation.Fit.Result;
    evaluation.Errors = EvaluationStandardErrors(evaluation.Fit.Points, result);
    evaluation.Interval = EvaluationInterval(evaluation.Fit);
    evaluation.Acceptance = AcceptResult(result);
    evaluation.ResultsRow = FormatResultsFileRow(fileName, request.Channel + 1, channelName, result);
  } else if (!IsLoggedFailure(*evaluation.Fit.Failure)) {
    return evaluation;
  }
  evaluation.Flags = EvaluationFlags(std::span<const float>(samples.data(), count), record.Rate, request.Start,
                                     request.WidthSeconds, evaluation.Fit, band, facts.Decays, facts.Clipping);
  evaluation.LogRow = EvaluationLogRow(record, band, evaluation, when, facts.Sha256);
  return evaluation;
}

std::string EvaluationLogRow(const WaveData& record, const std::optional<BandEdges>& band,
                             const Evaluation& evaluation, std::time_t when, std::string_view sha256,
                             std::string_view verdict) {
  const EvaluationRequest& request = evaluation.Request;
  const auto channel = static_cast<std::size_t>(std::clamp(request.Channel, 0, kMaxChannels - 1));
  LogEntry entry;
  entry.When = when;
  entry.FileName = SlotText(record.FileName);
  entry.ChannelNumber = request.Channel + 1;
  entry.ChannelName = SlotText(record.Names[channel]);
  entry.Start = request.Start;
  entry.WidthSeconds = request.WidthSeconds;
  entry.Band = band;
  entry.F0 = request.F0;
  entry.H0 = request.H0;
  entry.Evaluation = &evaluation.Fit;
  if (evaluation.Errors) {
    entry.SeF = evaluation.Errors->F;
    entry.SeH = evaluation.Errors->H;
  }
  entry.Verdict = verdict;
  entry.Interval = evaluation.Interval;
  entry.Flags = JoinedFlagNames(evaluation.Flags);
  // The record's folder as an absolute path, so a row names its file anywhere.
  std::error_code error;
  const std::string folder = FolderOf(record.Path);
  const std::filesystem::path absolute = std::filesystem::absolute(folder.empty() ? "." : folder, error);
  const std::string folderText = error ? folder : absolute.lexically_normal().string();
  entry.Folder = folderText;
  entry.Sha256 = sha256;
  entry.Version = ProgramVersionText();
  if (!request.DetectedBy.empty()) entry.Version += " " + request.DetectedBy;
  return FormatLogRow(entry);
}
