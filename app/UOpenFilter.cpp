// The band-pass dialog's after-close flow, the random-decrement signature and
// the conversion to standard CSV.
#include <QAction>
#include <QLabel>

#include "analysis/BandPass.h"
#include "analysis/RandomDecrement.h"
#include "app/UCenter.h"
#include "app/UOpen.h"
#include "app/ReplaceReadOnly.h"
#include "app/URandomDec.h"
#include "io/WriteCsv.h"

namespace {
const char kCsvFilter[] = "標準CSVファイル(*.csv)|*.csv|すべて(*.*)|*.*";
constexpr char kSignatureLabel[] = "RD法の計算中…";
constexpr char kWritingLabel[] = "書き込み中…";
constexpr char kConvertingLabel[] = "変換中…";
constexpr char kSignatureTitle[] = "RD法";
}

void TOpen::CenterPassClick() {
  if (center_ == nullptr) return;
  const bool wasOn = center_->BandOn();
  const bool confirmed = center_->exec() == QDialog::Accepted;
  // However the dialog was closed: the record comes back from its file,
  // filtered while the box is checked with the band of the last OK, and only
  // then replaces the loaded one. A re-read that fails or is stopped changes
  // nothing, the dialog's box included.
  std::optional<BandEdges> band;
  if (center_->BandOn()) band = confirmed && center_->ConfirmedEdges() ? *center_->ConfirmedEdges() : session_.Edges();
  if (session_.FilteredWith(band)) {
    // The record already is what the re-read would make of it: the same
    // picture, without reading a large file again.
    if (confirmed && center_->ConfirmedEdges()) session_.SetEdges(*center_->ConfirmedEdges());
    if (confirmed) Label34->setText(center_->Label34Text());
    UpdateChannelBoxes();
    RedrawView();
    return;
  }
  std::optional<LoadOutcome> read = ReadRecord(session_.RefilterRequest(band));
  if (!read) {
    center_->SetBandOn(wasOn);
    return;
  }
  if (confirmed) {
    // OK with the box checked stores the band; unchecked leaves the edges.
    if (center_->ConfirmedEdges()) session_.SetEdges(*center_->ConfirmedEdges());
    Label34->setText(center_->Label34Text());
  }
  ShowRefilter(session_.CommitRefilter(std::move(*read)));
}

void TOpen::ShowRefilter(const LoadCommit& commit) {
  emit RecordChanged();
  ShowReadResult(commit.TimeLabel);
  CSVF->setEnabled(session_.Record().SourceKind != FileKind::Csv);
  ShowNotices(commit.Notices);
  RedrawView();
}

void TOpen::RDClick() {
  const ViewWindow& view = session_.View();
  const WaveData& record = session_.Record();
  if (!session_.Loaded() || !view.SingleChannel || view.SingleIndex >= record.ChannelCount) return;
  const int channel = view.SingleIndex;
  const std::int64_t shownFirst = lastDraw_.Start;
  const std::int64_t shownLast = std::max<std::int64_t>(lastDraw_.Start, lastDraw_.End - 1);
  RandomDec->SetRecord(record.Rate, session_.ChannelSpan(channel), shownFirst, shownLast);
  if (RandomDec->exec() != QDialog::Accepted) return;
  const double level = RandomDec->Level();
  const float length = RandomDec->Length();
  const std::int64_t first = RandomDec->First();
  const std::int64_t last = RandomDec->Last();
  const std::string chosen =
      platform_.SaveFileName({kCsvFilter, 1, true, FolderOf(record.Path),
                              SignatureFileName(SlotText(record.FileName), channel + 1)});
  if (chosen.empty()) return;
  const std::string path = WithDefaultExtension(chosen, ".csv");
  if (!MayReplace(platform_, path)) return;

  // The work reads the session's record and nothing of the window.
  RandomDecrementSignature signature;
  std::optional<WriteResult> written;
  const Session& session = session_;
  platform_.RunLongWork(kSignatureLabel, [&signature, &written, &session, channel, level, length, first, last,
                                          path](WorkReporter& reporter) {
    signature = session.Signature(channel, level, length, &reporter.progress, first, last);
    if (signature.Ok() && !reporter.progress.Cancelled()) {
      reporter.Stage(kWritingLabel);
      WaveData file = SignatureRecord(session.Record(), channel, signature);
      file.Memo = SignatureMemo(level, length, first, last, signature.Triggers);
      // Every value as computed: "%f" would round a small signature to nothing.
      written = WriteCsv(path, file, &reporter.progress, CsvValues::Exact);
    }
  });
  // "中止" leaves nothing: no file was written, or the one begun was removed.
  if (signature.Ok() && (!written || written->cancelled)) return;
  if (!signature.Ok()) {
    if (signature.Failure->Kind != RandomDecrementFailureKind::Cancelled) {
      platform_.ShowMessage(signature.Failure->Message, kSignatureTitle, MessageIcon::Warning);
    }
    return;
  }
  if (!written->ok) {
    platform_.ShowMessage(written->message, kSignatureTitle, MessageIcon::Warning);
    return;
  }
  // Opening the signature starts a new results file, as every load does: the
  // rows of the record just evaluated would go from it (the log keeps them).
  // Asked first when there are any.
  if (session_.ResultsRowCount() > 0 &&
      !platform_.AskYesNo("信号を「" + path + "」に保存しました。\n信号を開くと、結果ファイル「" + session_.ResultsPath() +
                              "」は新しい記録の分になり、いまの記録の評価結果 " +
                              std::to_string(session_.ResultsRowCount()) +
                              " 件は消えます（評価記録にはすべて残っています）。\n信号を開きますか？",
                          kSignatureTitle)) {
    return;
  }
  // The signature is a standard CSV record like any other, opened as the user
  // would open it, whatever its name; the session keeps its triggers for the
  // intervals of its evaluations.
  session_.ExpectSignature(path, channel, first, last, signature);
  OpenFileAs(path, FileKind::Csv);
}

void TOpen::CSVFClick() {
  // Offered: the record's name as a standard CSV file, in the record's folder.
  const WaveData& record = session_.Record();
  const std::string chosen = platform_.SaveFileName(
      {kCsvFilter, 1, true, FolderOf(record.Path), StemOf(SlotText(record.FileName)) + ".csv"});
  if (chosen.empty()) return;
  const std::string path = WithDefaultExtension(chosen, ".csv");
  if (!MayReplace(platform_, path)) return;
  WriteResult result;
  const Session& session = session_;
  platform_.RunLongWork(kConvertingLabel, [&result, &session, path](WorkReporter& reporter) {
    result = session.Convert(path, &reporter.progress);
  });
  // "中止" leaves no file, and an earlier file of that name as it was.
  if (!result.ok && !result.cancelled) platform_.ShowMessage(result.message, "CSVファイルへ変換", MessageIcon::Warning);
}
