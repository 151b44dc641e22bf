#include "session/Batch.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <new>

#include "analysis/Acceptance.h"
#include "analysis/Flags.h"
#include "io/NumberText.h"
#include "io/ReadResult.h"
#include "io/Sha256.h"
#include "io/ShiftJisText.h"
#include "io/ThreadTeam.h"
#include "io/Version.h"
#include "session/Session.h"

namespace {

constexpr std::size_t kSettingsHashDigits = 12;

// "%.9g" in the C locale: single-precision results read back unchanged.
std::string Real(double value) {
  if (!std::isfinite(value)) return {};
  char buffer[40];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 9);
  return std::string(buffer, result.ptr);
}

BatchRow BaseRow(const std::string& path, const std::string& sha256, const std::string& settingsHash) {
  BatchRow row;
  Cell(row, BatchColumn::File) = path;
  Cell(row, BatchColumn::Sha256) = sha256;
  Cell(row, BatchColumn::Settings) = settingsHash;
  return row;
}

KeyedRows GroupOf(const std::vector<BatchRow>& rows) {
  KeyedRows group;
  group.Key = BatchResumeKey(rows.front());
  for (const BatchRow& row : rows) group.Lines += FormatBatchRow(row);
  return group;
}

}  // namespace

std::string BatchSettingsText(const BatchSettings& settings) {
  std::string text = ProgramVersionText();
  text += "|reader=";
  text += settings.Kind ? std::string(FileKindName(*settings.Kind)) : std::string("extension");
  // The read options that change what is read.
  const ReadOptions& options = settings.Options;
  if (options.Delimiter) text += "|delimiter=" + std::to_string(static_cast<int>(*options.Delimiter));
  if (options.Decimal) text += std::string("|decimal=") + *options.Decimal;
  if (options.Skip) text += "|skip=" + std::to_string(*options.Skip);
  if (options.Rate) text += "|rate=" + Real(*options.Rate);
  if (options.TimeColumn) text += "|time-column=" + std::to_string(*options.TimeColumn);
  if (options.Scale != 1.0) text += "|scale=" + Real(options.Scale);
  if (!options.Variable.empty()) text += "|variable=" + options.Variable;
  text += "|band=";
  text += settings.Band ? Real(settings.Band->Lower) + "-" + Real(settings.Band->Upper) : std::string("none");
  text += "|" + DetectionSettingsText(DetectionSettings{});
  text += "|stretch=start..end,min " + Real(kMinCycles) + " periods,f0=decay f,h0=" + Real(kBatchInitialDamping);
  return text;
}

std::string BatchSettingsHash(const BatchSettings& settings) {
  Sha256 hash;
  hash.Add(BatchSettingsText(settings));
  return hash.HexDigest().substr(0, kSettingsHashDigits);
}

EvaluationRequest SuggestedRequest(const WaveData& record, int channel, const DetectedDecay& decay) {
  EvaluationRequest request;
  request.Channel = channel;
  request.Start = decay.Start;
  request.H0 = kBatchInitialDamping;
  const double rate = record.Rate;
  request.F0 = decay.F > 0.0 ? decay.F : InitialFrequency(rate);
  double seconds = static_cast<double>(decay.End - decay.Start) / rate;
  if (decay.F > 0.0) seconds = std::max(seconds, kMinCycles / decay.F);
  const auto available = std::max<std::int64_t>(0, static_cast<std::int64_t>(record.SampleCount) - decay.Start);
  seconds = std::min(seconds, static_cast<double>(available) / rate);
  // The view holds the width in single precision; rounded up it could reach
  // one sample past the record.
  float width = static_cast<float>(seconds);
  while (width > 0.0f && WindowSamples(rate, width) > available) width = std::nextafter(width, 0.0f);
  request.WidthSeconds = width;
  return request;
}

std::string RecordTimeText(const std::string& timeLabel) {
  const std::string shown = DisplayUtf8(timeLabel);
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  char tail = 0;
  if (std::sscanf(shown.c_str(), "%4d/%2d/%2d %2d:%2d:%2d%c", &year, &month, &day, &hour, &minute, &second, &tail) ==
          6 &&
      year >= 0 && month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour >= 0 && hour <= 23 && minute >= 0 &&
      minute <= 59 && second >= 0 && second <= 60) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
    return text;
  }
  const std::size_t first = shown.find_first_not_of(" \t");
  const std::size_t last = shown.find_last_not_of(" \t\r\n");
  return first == std::string::npos ? std::string() : shown.substr(first, last - first + 1);
}

BatchRecordOutcome EvaluateBatchRecord(const std::string& path, const BatchSettings& settings,
                                       const std::string& settingsHash,
                                       const std::function<bool(const std::string&)>& done) {
  BatchRecordOutcome outcome;
  outcome.Path = path;
  const std::optional<std::string> sha = FileSha256(path);
  const std::string key = sha ? *sha : "file:" + path;
  const auto unreadable = [&](const std::string& message) {
    BatchRow row = BaseRow(path, sha.value_or(std::string()), settingsHash);
    Cell(row, BatchColumn::Error) = message;
    outcome.Unreadable = true;
    outcome.Groups.push_back(GroupOf({row}));
    return outcome;
  };
  if (done(BatchResumeKey(key, "", settingsHash)) ||
      (settings.Channel > 0 && done(BatchResumeKey(key, std::to_string(settings.Channel), settingsHash)))) {
    outcome.Skipped = true;
    return outcome;
  }
  if (!sha) return unreadable(kCannotOpenMessage);

  Session session;
  LoadRequest request{path, settings.Kind ? *settings.Kind : KindFromExtension(path), settings.Band,
                      settings.Options};
  request.Digest = false;  // hashed above, before the skip was decided
  const LoadOutcome loaded = session.Load(request);
  if (!loaded.ok()) return unreadable(loaded.message);
  const WaveData& record = session.Record();
  if (settings.Channel > record.ChannelCount) {
    // Keyed by the channel asked for: the record's other channels stay to do.
    BatchRow row = BaseRow(path, *sha, settingsHash);
    Cell(row, BatchColumn::Channel) = std::to_string(settings.Channel);
    Cell(row, BatchColumn::Error) = "チャンネル " + std::to_string(settings.Channel) + " がありません（" +
                                    std::to_string(record.ChannelCount) + " チャンネルの記録です）";
    outcome.Groups.push_back(GroupOf({row}));
    return outcome;
  }
  const std::string time = RecordTimeText(loaded.timeLabel);
  const int first = settings.Channel > 0 ? settings.Channel - 1 : 0;
  const int last = settings.Channel > 0 ? settings.Channel - 1 : record.ChannelCount - 1;
  const std::time_t when = std::time(nullptr);
  bool anyWork = false;
  for (int channel = first; channel <= last; ++channel) {
    const std::string number = std::to_string(channel + 1);
    if (done(BatchResumeKey(*sha, number, settingsHash))) continue;
    anyWork = true;
    BatchRow base = BaseRow(path, *sha, settingsHash);
    Cell(base, BatchColumn::Channel) = number;
    Cell(base, BatchColumn::Name) = DisplayUtf8(SlotText(record.Names[static_cast<std::size_t>(channel)]));
    Cell(base, BatchColumn::Time) = time;
    std::vector<BatchRow> rows;
    const DecayDetection& found = session.Detection(channel);
    if (!found.Ok()) {
      Cell(base, BatchColumn::Error) = found.Failure->Message;
      rows.push_back(base);
    } else if (found.Decays.empty()) {
      rows.push_back(base);  // examined: no decay, so nothing to fit
    }
    const ChannelFacts facts = session.Facts(channel);
    for (const DetectedDecay& decay : found.Ok() ? found.Decays : std::vector<DetectedDecay>{}) {
      BatchRow row = base;
      Cell(row, BatchColumn::Onset) = std::to_string(decay.Onset);
      Cell(row, BatchColumn::Start) = std::to_string(decay.Start);
      Cell(row, BatchColumn::End) = std::to_string(decay.End);
      Cell(row, BatchColumn::Peak) = Real(decay.Peak);
      const Evaluation evaluation =
          EvaluateRecord(record, session.Band(), SuggestedRequest(record, channel, decay), when, facts);
      ++outcome.Evaluations;
      Cell(row, BatchColumn::Flags) = JoinedFlagNames(evaluation.Flags);
      Cell(row, BatchColumn::Accepted) = evaluation.Accepted() ? "1" : "0";
      if (evaluation.Ok()) {
        const FitResult& r = evaluation.Fit.Result;
        Cell(row, BatchColumn::F) = Real(r.F);
        Cell(row, BatchColumn::H) = Real(r.H);
        Cell(row, BatchColumn::Ratio) = Real(r.Ratio);
        if (const auto& interval = evaluation.Interval) {
          Cell(row, BatchColumn::FLow) = Real(interval->FLow);
          Cell(row, BatchColumn::FHigh) = Real(interval->FHigh);
          Cell(row, BatchColumn::HLow) = Real(interval->HLow);
          Cell(row, BatchColumn::HHigh) = Real(interval->HHigh);
        }
        if (evaluation.Accepted()) ++outcome.Accepted;
      } else {
        Cell(row, BatchColumn::Error) = evaluation.Fit.Failure->Message;
      }
      rows.push_back(std::move(row));
    }
    outcome.Groups.push_back(GroupOf(rows));
  }
  outcome.Skipped = !anyWork;
  return outcome;
}

std::optional<std::string> BatchLineKey(std::string_view line) {
  const std::optional<BatchRow> row = ParseBatchRow(line);
  if (!row) return std::nullopt;
  return BatchResumeKey(*row);
}

BatchSummary EvaluateBatch(const std::vector<std::string>& paths, const BatchSettings& settings, unsigned threads,
                      KeyedRowsFile& out, const std::function<void(int, const BatchRecordOutcome&)>& onRecord,
                      const std::atomic<bool>* cancel) {
  BatchSummary summary;
  const std::string hash = BatchSettingsHash(settings);
  std::mutex mutex;
  std::atomic<bool> stop{false};
  int done = 0;
  const auto known = [&out](const std::string& key) { return out.Has(key); };
  ForEachIndex(static_cast<std::int64_t>(paths.size()), threads, [&](std::int64_t i) {
    if (stop.load() || (cancel != nullptr && cancel->load())) return;
    const std::string& path = paths[static_cast<std::size_t>(i)];
    BatchRecordOutcome outcome;
    try {
      outcome = EvaluateBatchRecord(path, settings, hash, known);
    } catch (const std::exception& failure) {
      // One record too large for memory must not end the whole run: its row
      // says so, keyed by its path, and the next run tries it again only if
      // that row is removed.
      BatchRow row = BaseRow(path, std::string(), hash);
      Cell(row, BatchColumn::Error) = dynamic_cast<const std::bad_alloc*>(&failure) != nullptr
                                          ? std::string("メモリが足りません")
                                          : std::string("評価できません：") + failure.what();
      outcome = BatchRecordOutcome{};
      outcome.Path = path;
      outcome.Unreadable = true;
      outcome.Groups.push_back(GroupOf({row}));
    }
    // Appended outside the summary's lock: the file has its own.
    AppendResult written;
    if (!outcome.Groups.empty()) written = out.Append(outcome.Groups);
    const std::lock_guard lock(mutex);
    if (!written.ok()) {
      if (!summary.WriteFailure) summary.WriteFailure = written;
      stop.store(true);
      return;
    }
    ++summary.Records;
    summary.Skipped += outcome.Skipped ? 1 : 0;
    summary.Unreadable += outcome.Unreadable ? 1 : 0;
    summary.Evaluations += outcome.Evaluations;
    summary.Accepted += outcome.Accepted;
    ++done;
    if (onRecord) onRecord(done, outcome);
  });
  return summary;
}
