#include "analysis/RecordLoading.h"

#include "io/ReadRecordFile.h"

namespace {

constexpr char kFilterTitle[] = "バンドパスフィルタ";

LoadOutcome Failed(LoadOutcome::Status status, std::string message, std::string title) {
  LoadOutcome outcome;
  outcome.status = status;
  outcome.message = std::move(message);
  outcome.title = std::move(title);
  return outcome;
}

}  // namespace

LoadOutcome LoadRecordFile(const std::string& path, FileKind kind, const ReadOptions& options,
                           const std::optional<BandEdges>& band, const Progress* progress,
                           const std::function<void(LoadStage)>& onStage) {
  LoadOutcome outcome;
  WaveData& record = outcome.record;
  record.SourceKind = kind;
  if (!SetRecordPath(record, path)) {
    return Failed(LoadOutcome::Status::Refused, "ファイルのパスが長すぎます（255バイトまで）。", kReadRefusedTitle);
  }
  if (onStage) onStage(LoadStage::Reading);
  const ReadResult read = ReadRecordFile(path, kind, options, record, progress);
  switch (read.status) {
    case ReadStatus::Ok:
      break;
    case ReadStatus::Cancelled:
      return Failed(LoadOutcome::Status::Cancelled, {}, {});
    case ReadStatus::CannotOpen:
      return Failed(LoadOutcome::Status::CannotOpen, read.message, read.title);
    case ReadStatus::Refused:
      return Failed(LoadOutcome::Status::Refused, read.message, read.title);
  }
  outcome.timeLabel = read.timeLabel;
  outcome.warnings = read.warnings;
  outcome.options = options;
  if (band) {
    // The band is judged against this record's rate, known only now.
    if (const std::optional<std::string> problem = BandEdgesProblem(band->Lower, band->Upper, record.Dt)) {
      return Failed(LoadOutcome::Status::BandRefused, *problem, kFilterTitle);
    }
    if (onStage) onStage(LoadStage::Filtering);
    // The fresh record is filtered in place; stopped halfway, it is thrown away.
    const FilterResult filtered = FilterAllChannels(record, band->Lower, band->Upper, progress);
    if (filtered.Cancelled) return Failed(LoadOutcome::Status::Cancelled, {}, {});
    if (!filtered.Ok) return Failed(LoadOutcome::Status::FilterFailed, filtered.Message, kFilterTitle);
    outcome.band = band;
  }
  return outcome;
}
