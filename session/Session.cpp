#include "session/Session.h"

#include <algorithm>
#include <charconv>

#include "analysis/ResultRows.h"
#include "analysis/SignatureInterval.h"
#include "analysis/StretchSpectrum.h"
#include "io/LogVersions.h"
#include "io/NumberText.h"

namespace {

constexpr char kResultsTitle[] = "結果ファイル";
constexpr char kLogTitle[] = "評価記録";
constexpr char kStoreTitle[] = "散布図";
constexpr char kReadTitle[] = "ファイルの読み込み";

}  // namespace

void Session::RecordIn(const std::string& folder) {
  resultsPath_ = ResultsFilePath(folder);
  logPath_ = folder + "/" + kEvaluationLogName;
}

LoadOutcome Session::Read(const LoadRequest& request, const Progress* progress,
                          const std::function<void(LoadStage)>& onStage) {
  return LoadRecordFile(request.Path, request.Kind, request.Options, request.Band, progress, onStage, request.Digest);
}

LoadCommit Session::CommitLoad(LoadOutcome&& outcome) {
  LoadCommit commit;
  commit.TimeLabel = std::move(outcome.timeLabel);
  for (std::string& warning : outcome.warnings) commit.Notices.push_back({std::move(warning), kReadTitle});
  // Every load starts an empty results file.
  CreateResultsFile(commit.Notices);
  record_ = std::move(outcome.record);
  clipping_ = std::move(outcome.clipping);
  detections_ = {};
  sha256_ = std::move(outcome.sha256);
  readOptions_ = std::move(outcome.options);
  loaded_ = true;
  loadedKind_ = record_.SourceKind;
  band_ = outcome.band;
  signatureSource_.reset();
  if (expectedSignature_ && expectedSignature_->Path == record_.Path && !band_) {
    signatureSource_ = std::move(expectedSignature_);
  }
  expectedSignature_.reset();
  ResetStore();
  view_.Start = 0;
  view_.SingleChannel = false;
  for (int k = 0; k < kMaxChannels; ++k) view_.Channels[static_cast<std::size_t>(k)] = k < record_.ChannelCount;
  return commit;
}

LoadOutcome Session::Load(const LoadRequest& request, const Progress* progress, LoadCommit* commit) {
  LoadOutcome outcome = Read(request, progress);
  if (!outcome.ok()) return outcome;
  LoadOutcome done;
  done.timeLabel = outcome.timeLabel;
  done.warnings = outcome.warnings;
  LoadCommit committed = CommitLoad(std::move(outcome));
  if (commit != nullptr) *commit = std::move(committed);
  return done;
}

LoadRequest Session::RefilterRequest(const std::optional<BandEdges>& band) const {
  return LoadRequest{record_.Path, record_.SourceKind, band, readOptions_};
}

bool Session::FilteredWith(const std::optional<BandEdges>& band) const {
  if (band.has_value() != band_.has_value()) return false;
  return !band || (band->Lower == band_->Lower && band->Upper == band_->Upper);
}

LoadCommit Session::CommitRefilter(LoadOutcome&& outcome) {
  LoadCommit commit;
  commit.TimeLabel = std::move(outcome.timeLabel);
  record_ = std::move(outcome.record);
  clipping_ = std::move(outcome.clipping);
  detections_ = {};
  sha256_ = std::move(outcome.sha256);
  band_ = outcome.band;
  // A filtered signature is no longer the mean of those segments.
  if (band_) signatureSource_.reset();
  return commit;
}

DetectionSettings Session::DetectionSettingsNow() const {
  DetectionSettings settings;
  if (band_) {
    settings.CentreHz = 0.5 * (static_cast<double>(band_->Lower) + band_->Upper);
    settings.SettlingSamples = kFilterHalfLength;
  }
  return settings;
}

const DecayDetection& Session::Detection(int channel, const Progress* progress) {
  std::optional<DecayDetection>& cached = detections_[static_cast<std::size_t>(std::clamp(channel, 0, kMaxChannels - 1))];
  if (cached) return *cached;
  const std::vector<float>& samples = record_.Samples[static_cast<std::size_t>(std::clamp(channel, 0, kMaxChannels - 1))];
  const std::size_t count = std::min(samples.size(), static_cast<std::size_t>(std::max(record_.SampleCount, 0)));
  DecayDetection found = DetectDecays(std::span<const float>(samples.data(), count), record_.Rate,
                                      DetectionSettingsNow(), progress);
  if (found.Failure && found.Failure->Kind == DetectionFailureKind::Cancelled) {
    static const DecayDetection kCancelled = [] {
      DecayDetection cancelled;
      cancelled.Failure = DetectionFailure{DetectionFailureKind::Cancelled, {}};
      return cancelled;
    }();
    return kCancelled;
  }
  cached = std::move(found);
  return *cached;
}

std::string Session::DetectionTrace(int channel) const {
  std::string text = DetectionSettingsText(DetectionSettingsNow());
  const std::optional<DecayDetection>& cached =
      detections_[static_cast<std::size_t>(std::clamp(channel, 0, kMaxChannels - 1))];
  if (cached && cached->Ok() && cached->CentreHz > 0.0) {
    char digits[32];
    const auto written =
        std::to_chars(digits, digits + sizeof digits, cached->CentreHz, std::chars_format::general, 6);
    text += " 中心" + std::string(digits, written.ptr) + "Hz";
  }
  return text;
}

bool Session::DetectionKnown(int channel) const {
  return detections_[static_cast<std::size_t>(std::clamp(channel, 0, kMaxChannels - 1))].has_value();
}

Spectrum Session::SpectrumOf(int channel, std::int64_t first, std::int64_t last, const Progress* progress) const {
  const std::vector<float>& samples = record_.Samples[static_cast<std::size_t>(std::clamp(channel, 0, kMaxChannels - 1))];
  const auto count = static_cast<std::int64_t>(
      std::min(samples.size(), static_cast<std::size_t>(std::max(record_.SampleCount, 0))));
  first = std::clamp<std::int64_t>(first, 0, count);
  last = std::clamp<std::int64_t>(last, first - 1, count - 1);
  return StretchSpectrum(std::span<const float>(samples.data() + first, static_cast<std::size_t>(last - first + 1)),
                         record_.Rate, progress);
}

ChannelFacts Session::Facts(int channel) const {
  const auto k = static_cast<std::size_t>(std::clamp(channel, 0, kMaxChannels - 1));
  ChannelFacts facts;
  facts.Clipping = &clipping_[k];
  if (detections_[k] && detections_[k]->Ok()) facts.Decays = detections_[k]->Decays;
  facts.Sha256 = sha256_;
  return facts;
}

EvaluationRequest Session::RequestAt(std::int64_t start, double f0, double h0) const {
  EvaluationRequest request;
  request.Channel = view_.SingleIndex;
  request.Start = start;
  request.WidthSeconds = view_.WidthSeconds;
  request.F0 = f0;
  request.H0 = h0;
  return request;
}

SessionEvaluation Session::Evaluate(const EvaluationRequest& request, std::time_t when) {
  return Record(WithSignatureInterval(EvaluateRecord(record_, band_, request, when, Facts(request.Channel)), when));
}

Evaluation Session::WithSignatureInterval(Evaluation evaluation, std::time_t when) const {
  if (!signatureSource_ || !evaluation.Ok() || evaluation.Request.Channel != 0) return evaluation;
  // Without enough trigger groups there is no interval that holds: none rather
  // than the residuals' one.
  evaluation.Interval = SignatureInterval(signatureSource_->Samples, signatureSource_->Signature, evaluation.Fit);
  evaluation.LogRow = EvaluationLogRow(record_, band_, evaluation, when, Facts(0).Sha256);
  return evaluation;
}

void Session::ExpectSignature(const std::string& path, int channel, std::int64_t first, std::int64_t last,
                              const RandomDecrementSignature& signature) {
  const std::span<const float> samples = ChannelSpan(channel, first, last);
  expectedSignature_ = SignatureSource{path, std::vector<float>(samples.begin(), samples.end()), signature};
}

std::vector<const Evaluation*> Session::StoredEvaluations() const {
  std::vector<const Evaluation*> out;
  for (const PointSource& source : sources_) out.push_back(source.Source ? &*source.Source : nullptr);
  return out;
}

SessionEvaluation Session::Record(Evaluation made) {
  SessionEvaluation outcome;
  outcome.Result = std::move(made);
  const Evaluation& evaluation = outcome.Result;
  if (evaluation.Accepted()) {
    outcome.Stored = AddPoint(evaluation.Acceptance.F, evaluation.Acceptance.H, outcome.Notices);
    if (outcome.Stored) sources_.back() = {evaluation, band_};
  }
  // The results row and the log row are on disk before the caller shows
  // anything, a failed evaluation's log row included.
  if (evaluation.Ok()) AppendResults(evaluation.ResultsRow, outcome.Notices);
  if (!evaluation.LogRow.empty()) AppendLog(evaluation.LogRow, outcome.Notices);
  return outcome;
}

ModesFit Session::Modes(int channel, std::int64_t start, float widthSeconds, int count) const {
  const std::vector<float>& samples = record_.Samples[static_cast<std::size_t>(std::clamp(channel, 0, kMaxChannels - 1))];
  const auto stored = static_cast<std::int64_t>(std::min(samples.size(), static_cast<std::size_t>(std::max(record_.SampleCount, 0))));
  const long long width = WindowSamples(record_.Rate, widthSeconds);
  if (start < 0 || start >= stored || width < 1) {
    ModesFit refused;
    refused.Failure = "区間がデータの範囲外です。";
    return refused;
  }
  const std::int64_t end = std::min<std::int64_t>(stored, start + width);
  ModeOptions options;
  options.Offset = !band_.has_value();
  return FitModes(std::span<const float>(samples.data() + start, static_cast<std::size_t>(end - start)), record_.Rate,
                  count, options);
}

bool Session::AddPoint(float f, float h, std::vector<Notice>& notices) {
  if (store_.AddPoint(f, h) == AddPointOutcome::Stored) {
    sources_.resize(static_cast<std::size_t>(store_.NData));
    sources_.back() = {};
    return true;
  }
  // Once per series: every later pair would only repeat the same notice.
  if (!storeFullNoticeGiven_) {
    storeFullNoticeGiven_ = true;
    notices.push_back(
        {"散布図のデータは100点までです。\n"
         "これ以降の評価結果は散布図と平均値に加えません（リセットで再開できます）。",
         kStoreTitle, Notice::Kind::Information});
  }
  return false;
}

void Session::ResetStore() {
  store_.Reset();
  storeFullNoticeGiven_ = false;
  sources_.clear();
  excluded_.clear();
}

std::optional<ExcludedPoint> Session::ExcludePoint(int index, std::vector<Notice>& notices, std::time_t when) {
  if (index < 0 || index >= store_.NData) return std::nullopt;
  const ExcludedPoint point{index, store_.DataF[static_cast<std::size_t>(index)],
                            store_.DataH[static_cast<std::size_t>(index)]};
  store_.Remove(index);
  sources_.resize(static_cast<std::size_t>(store_.NData) + 1);
  PointSource source = std::move(sources_[static_cast<std::size_t>(index)]);
  sources_.erase(sources_.begin() + index);
  if (source.Source) AppendLog(EvaluationLogRow(record_, source.Band, *source.Source, when, sha256_, "除外"), notices);
  excluded_.push_back(std::move(source));
  return point;
}

bool Session::RestorePoint(const ExcludedPoint& point, std::vector<Notice>& notices, std::time_t when) {
  if (!store_.Insert(point.Index, point.F, point.H)) return false;
  PointSource source;
  if (!excluded_.empty()) {
    source = std::move(excluded_.back());
    excluded_.pop_back();
  }
  if (source.Source) {
    AppendLog(EvaluationLogRow(record_, source.Band, *source.Source, when, sha256_, "除外取消"), notices);
  }
  sources_.insert(sources_.begin() + std::min<std::ptrdiff_t>(point.Index, static_cast<std::ptrdiff_t>(sources_.size())),
                  std::move(source));
  return true;
}

SessionSnapshot Session::Snapshot() const {
  SessionSnapshot snapshot;
  snapshot.RecordPath = record_.Path;
  snapshot.Kind = loadedKind_;
  snapshot.Options = readOptions_;
  snapshot.Sha256 = sha256_;
  snapshot.Band = band_;
  snapshot.Edges = edges_;
  snapshot.View = view_;
  for (int i = 0; i < store_.NData; ++i) {
    SessionSnapshot::StoredPair pair;
    pair.F = store_.DataF[static_cast<std::size_t>(i)];
    pair.H = store_.DataH[static_cast<std::size_t>(i)];
    if (static_cast<std::size_t>(i) < sources_.size() && sources_[static_cast<std::size_t>(i)].Source) {
      pair.Source = sources_[static_cast<std::size_t>(i)].Source->Request;
    }
    snapshot.Store.push_back(pair);
  }
  return snapshot;
}

void Session::RestoreStore(const std::vector<SessionSnapshot::StoredPair>& pairs) {
  ResetStore();
  for (const SessionSnapshot::StoredPair& pair : pairs) {
    if (store_.AddPoint(pair.F, pair.H) != AddPointOutcome::Stored) break;
    PointSource source;
    if (pair.Source && pair.Source->Channel >= 0 && pair.Source->Channel < record_.ChannelCount) {
      source.Source = EvaluateRecord(record_, band_, *pair.Source, 0, Facts(pair.Source->Channel));
      source.Band = band_;
    }
    sources_.push_back(std::move(source));
  }
}

WriteResult Session::Convert(const std::string& path, const Progress* progress) const {
  return WriteCsv(path, record_, progress);
}

RandomDecrementSignature Session::Signature(int channel, double levelSigmas, float lengthSeconds,
                                            const Progress* progress, std::int64_t first, std::int64_t last) const {
  return RandomDecrement(ChannelSpan(channel, first, last), record_.Rate, levelSigmas, lengthSeconds, progress);
}

std::span<const float> Session::ChannelSpan(int channel, std::int64_t first, std::int64_t last) const {
  const std::vector<float>& samples = record_.Samples[static_cast<std::size_t>(std::clamp(channel, 0, kMaxChannels - 1))];
  const auto count = static_cast<std::int64_t>(
      std::min(samples.size(), static_cast<std::size_t>(std::max(record_.SampleCount, 0))));
  first = std::clamp<std::int64_t>(first, 0, count);
  last = std::clamp<std::int64_t>(last, first - 1, count - 1);
  return std::span<const float>(samples.data() + first, static_cast<std::size_t>(last - first + 1));
}

void Session::CreateResultsFile(std::vector<Notice>& notices) {
  resultsRows_ = 0;
  resultsRetry_ = false;
  pendingRows_.clear();
  if (resultsPath_.empty()) return;
  switch (resultsFile_.Create(resultsPath_, ResultsHeaderLine(), resultsLockWait_)) {
    case ResultsFile::CreateStatus::Created:
      return;
    case ResultsFile::CreateStatus::Failed:
      notices.push_back({"結果ファイル「" + resultsPath_ + "」を作成できません（" + resultsFile_.errorText() +
                             "）。\n評価はできますが、結果はファイルに記録されません。",
                         kResultsTitle});
      return;
    case ResultsFile::CreateStatus::Locked:
      // Another program (a command line appending, a window started in this
      // folder) kept its lock past the wait. The file is left alone, and
      // every evaluation tries again. Said once: every later load would
      // repeat it.
      resultsRetry_ = true;
      if (!lockNoticeGiven_) {
        lockNoticeGiven_ = true;
        notices.push_back(
            {"結果ファイル「" + resultsPath_ + "」は別のプログラムがロックしています（" +
                 FormatC("%g", static_cast<double>(resultsLockWait_.count()) / 1000.0) +
                 "秒待っても解除されませんでした）。\n"
                 "評価はできます。ロックが解除されると、次の評価のときにこの記録の結果をまとめて記録します。",
             kResultsTitle});
      }
      return;
  }
}

void Session::AppendResults(const std::string& row, std::vector<Notice>& notices) {
  if (resultsFile_.IsOpen()) {
    AppendResultsRow(row, notices);
    return;
  }
  if (!resultsRetry_) return;
  // No waiting here: a holder that kept the lock through the load's wait is
  // likely to keep it, and the evaluation must not stall for it.
  pendingRows_.push_back(row);
  if (resultsFile_.Create(resultsPath_, ResultsHeaderLine(), std::chrono::milliseconds(0)) !=
      ResultsFile::CreateStatus::Created) {
    return;
  }
  resultsRetry_ = false;
  std::vector<std::string> rows;
  rows.swap(pendingRows_);
  for (const std::string& pending : rows) {
    if (!AppendResultsRow(pending, notices)) return;
  }
}

bool Session::AppendResultsRow(const std::string& row, std::vector<Notice>& notices) {
  const bool appended = resultsFile_.Append(row);
  if (appended) ++resultsRows_;
  switch (resultsFile_.LastAppend()) {
    case ResultsFile::AppendStatus::Appended:
      return true;
    case ResultsFile::AppendStatus::Recreated:
      if (!recreateNoticeGiven_) {
        recreateNoticeGiven_ = true;
        notices.push_back({"結果ファイル「" + resultsPath_ +
                               "」が削除されていたため、作り直しました。\nこの記録のこれまでの結果も書き直してあります。",
                           kResultsTitle, Notice::Kind::Information});
      }
      return appended;
    case ResultsFile::AppendStatus::Replaced:
      notices.push_back({"結果ファイル「" + resultsPath_ +
                             "」は別のファイルに置き換えられました。置き換えたファイルには書き込みません。\n"
                             "評価はできますが、次に読み込むまで結果はファイルに記録されません。",
                         kResultsTitle});
      return false;
    case ResultsFile::AppendStatus::Failed:
      break;
  }
  resultsFile_.Close();
  notices.push_back({"結果ファイル「" + resultsPath_ + "」に書き込めません（" + resultsFile_.errorText() +
                         "）。\n評価はできますが、結果はファイルに記録されません。",
                     kResultsTitle});
  return false;
}

void Session::AppendLog(const std::string& row, std::vector<Notice>& notices) {
  if (logPath_.empty()) return;
  // A log of an older version is kept as it is; the rows go beside it.
  const std::string path = CurrentLogPath(logPath_, EvaluationLogHeader());
  if (path != logPath_ && path != logMovedTo_) {
    logMovedTo_ = path;
    notices.push_back({"評価記録「" + logPath_ + "」は以前の版の形式なので、そのまま残し、これからの評価は「" + path +
                           "」に記録します。",
                       kLogTitle, Notice::Kind::Information});
  }
  const AppendResult appended = AppendLocked(path, EvaluationLogHeader(), {row});
  // Evaluation goes on without the log; said once, as every later row would repeat it.
  if (!appended.ok() && !logNoticeGiven_) {
    logNoticeGiven_ = true;
    notices.push_back({"評価記録「" + path + "」に書き込めません（" + appended.cause +
                           "）。\n評価は続けられますが、評価記録には残りません。",
                       kLogTitle});
  }
}
