#include "session/Session.h"

#include "analysis/ResultRows.h"

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
  return LoadRecordFile(request.Path, request.Kind, request.Options, request.Band, progress, onStage);
}

LoadCommit Session::CommitLoad(LoadOutcome&& outcome) {
  LoadCommit commit;
  commit.TimeLabel = std::move(outcome.timeLabel);
  for (std::string& warning : outcome.warnings) commit.Notices.push_back({std::move(warning), kReadTitle});
  // Every load starts an empty results file.
  CreateResultsFile(commit.Notices);
  record_ = std::move(outcome.record);
  readOptions_ = std::move(outcome.options);
  loaded_ = true;
  band_ = outcome.band;
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
  return LoadRequest{std::string(SlotText(record_.Path)), record_.SourceKind, band, readOptions_};
}

bool Session::FilteredWith(const std::optional<BandEdges>& band) const {
  if (band.has_value() != band_.has_value()) return false;
  return !band || (band->Lower == band_->Lower && band->Upper == band_->Upper);
}

LoadCommit Session::CommitRefilter(LoadOutcome&& outcome) {
  LoadCommit commit;
  commit.TimeLabel = std::move(outcome.timeLabel);
  record_ = std::move(outcome.record);
  band_ = outcome.band;
  return commit;
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
  SessionEvaluation outcome;
  outcome.Result = EvaluateRecord(record_, band_, request, when);
  const Evaluation& evaluation = outcome.Result;
  if (evaluation.Accepted()) {
    outcome.Stored = AddPoint(evaluation.Acceptance.F, evaluation.Acceptance.H, outcome.Notices);
  }
  // The results row and the log row are on disk before the caller shows
  // anything, a failed evaluation's log row included.
  if (evaluation.Ok()) AppendResults(evaluation.ResultsRow, outcome.Notices);
  if (!evaluation.LogRow.empty()) AppendLog(evaluation.LogRow, outcome.Notices);
  return outcome;
}

bool Session::AddPoint(float f, float h, std::vector<Notice>& notices) {
  if (store_.AddPoint(f, h) == AddPointOutcome::Stored) return true;
  // Once per series: every later pair would only repeat the same notice.
  if (!storeFullNoticeGiven_) {
    storeFullNoticeGiven_ = true;
    notices.push_back({"散布図のデータは100点までです。\n"
                       "これ以降の評価結果は散布図と平均値に加えません（リセットで再開できます）。",
                       kStoreTitle, Notice::Kind::Information});
  }
  return false;
}

void Session::ResetStore() {
  store_.Reset();
  storeFullNoticeGiven_ = false;
}

WriteResult Session::Convert(const std::string& path, const Progress* progress) const {
  return WriteCsv(path, record_, progress);
}

RandomDecrementSignature Session::Signature(int channel, double levelSigmas, float lengthSeconds,
                                            const Progress* progress) const {
  return RandomDecrement(record_.Samples[static_cast<std::size_t>(channel)], record_.Rate, levelSigmas,
                         lengthSeconds, progress);
}

void Session::CreateResultsFile(std::vector<Notice>& notices) {
  if (resultsPath_.empty()) return;
  switch (resultsFile_.Create(resultsPath_, ResultsHeaderLine())) {
    case ResultsFile::CreateStatus::Created:
      return;
    case ResultsFile::CreateStatus::Failed:
      notices.push_back({"結果ファイル「" + resultsPath_ + "」を作成できません（" + resultsFile_.errorText() +
                             "）。\n評価はできますが、結果はファイルに記録されません。",
                         kResultsTitle});
      return;
    case ResultsFile::CreateStatus::Locked:
      // Another window started in this folder records its results there; this
      // one leaves the file alone. Said once: every later load would repeat it.
      if (!lockNoticeGiven_) {
        lockNoticeGiven_ = true;
        notices.push_back({"結果ファイル「" + resultsPath_ +
                               "」は、このフォルダで起動した別のウィンドウが記録に使っています。\n"
                               "評価はできますが、そのウィンドウが記録している間、このウィンドウの結果はファイルに"
                               "記録されません。",
                           kResultsTitle});
      }
      return;
  }
}

void Session::AppendResults(const std::string& row, std::vector<Notice>& notices) {
  if (!resultsFile_.IsOpen()) return;
  if (resultsFile_.Append(row)) return;
  resultsFile_.Close();
  notices.push_back({"結果ファイル「" + resultsPath_ + "」に書き込めません（" + resultsFile_.errorText() +
                         "）。\n評価はできますが、結果はファイルに記録されません。",
                     kResultsTitle});
}

void Session::AppendLog(const std::string& row, std::vector<Notice>& notices) {
  if (logPath_.empty()) return;
  const AppendResult appended = AppendLocked(logPath_, EvaluationLogHeader(), {row});
  // Evaluation goes on without the log; said once, as every later row would repeat it.
  if (!appended.ok() && !logNoticeGiven_) {
    logNoticeGiven_ = true;
    notices.push_back({"評価記録「" + logPath_ + "」に書き込めません（" + appended.cause +
                           "）。\n評価は続けられますが、評価記録には残りません。",
                       kLogTitle});
  }
}
