#include "analysis/RecordLoading.h"

#include <algorithm>
#include <atomic>
#include <future>

#include "io/ReadRecordFile.h"
#include "io/Sha256.h"

namespace {

constexpr char kFilterTitle[] = "バンドパスフィルタ";

LoadOutcome Failed(LoadOutcome::Status status, std::string message, std::string title, std::string detail = {}) {
  LoadOutcome outcome;
  outcome.status = status;
  outcome.message = std::move(message);
  outcome.title = std::move(title);
  outcome.detail = std::move(detail);
  return outcome;
}

}  // namespace

LoadOutcome LoadRecordFile(const std::string& path, FileKind kind, const ReadOptions& options,
                           const std::optional<BandEdges>& band, const Progress* progress,
                           const std::function<void(LoadStage)>& onStage, bool digest) {
  LoadOutcome outcome;
  WaveData& record = outcome.record;
  record.SourceKind = kind;
  if (!SetRecordPath(record, path)) {
    return Failed(LoadOutcome::Status::CannotOpen, kCannotOpenMessage, kCannotOpenTitle,
                  "ファイル名に使えない文字（NUL）が含まれています。");
  }
  if (onStage) onStage(LoadStage::Reading);
  // The file's digest, taken beside the reader on a thread of its own: the
  // bytes come from the cache the reader fills, and a record traced to its
  // file costs no pass after the read.
  std::atomic<bool> readFailed{false};
  std::future<std::optional<std::string>> hashing;
  if (digest) {
    hashing = std::async(std::launch::async, [&path, &readFailed, progress] {
      // Stopped with the read: the digest of a record not taken is not needed.
      return FileSha256(path, [&readFailed, progress] {
        return readFailed.load() || (progress != nullptr && progress->Cancelled());
      });
    });
  }
  const ReadResult read = ReadRecordFile(path, kind, options, record, progress);
  if (!read.ok()) readFailed.store(true);
  if (hashing.valid()) {
    if (std::optional<std::string> sha = hashing.get()) outcome.sha256 = std::move(*sha);
  }
  switch (read.status) {
    case ReadStatus::Ok:
      break;
    case ReadStatus::Cancelled:
      return Failed(LoadOutcome::Status::Cancelled, {}, {});
    case ReadStatus::CannotOpen:
      return Failed(LoadOutcome::Status::CannotOpen, read.message, read.title, read.detail);
    case ReadStatus::Refused:
      return Failed(LoadOutcome::Status::Refused, read.message, read.title, read.detail);
  }
  outcome.timeLabel = read.timeLabel;
  for (int k = 0; k < std::min(record.ChannelCount, kMaxChannels); ++k) {
    const std::vector<float>& samples = record.Samples[static_cast<std::size_t>(k)];
    const std::size_t count = std::min(samples.size(), static_cast<std::size_t>(std::max(record.SampleCount, 0)));
    outcome.clipping[static_cast<std::size_t>(k)] = SummarizeClipping(std::span<const float>(samples.data(), count));
  }
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
