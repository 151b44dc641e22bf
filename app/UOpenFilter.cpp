// The band-pass dialog's after-close flow, the random-decrement signature and
// the conversion to standard CSV.
#include <QAction>
#include <QLabel>

#include "analysis/BandPass.h"
#include "analysis/RandomDecrement.h"
#include "app/UCenter.h"
#include "app/UOpen.h"
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
  RandomDec->SetRecord(record.Rate, record.SampleCount);
  if (RandomDec->exec() != QDialog::Accepted) return;
  const double level = RandomDec->Level();
  const float length = RandomDec->Length();
  const std::string chosen =
      platform_.SaveFileName({kCsvFilter, 1, true, FolderOf(SlotText(record.Path)),
                              SignatureFileName(SlotText(record.FileName), channel + 1)});
  if (chosen.empty()) return;
  const std::string path = WithDefaultExtension(chosen, ".csv");

  // The work reads the session's record and nothing of the window.
  RandomDecrementSignature signature;
  std::optional<WriteResult> written;
  const Session& session = session_;
  platform_.RunLongWork(kSignatureLabel, [&signature, &written, &session, channel, level, length,
                                          path](WorkReporter& reporter) {
    signature = session.Signature(channel, level, length, &reporter.progress);
    if (signature.Ok() && !reporter.progress.Cancelled()) {
      reporter.Stage(kWritingLabel);
      written = WriteCsv(path, SignatureRecord(session.Record(), channel, signature), &reporter.progress);
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
  // The signature is a standard CSV record like any other, opened as the user
  // would open it, whatever its name.
  OpenFileAs(path, FileKind::Csv);
}

void TOpen::CSVFClick() {
  const std::string chosen = platform_.SaveFileName({kCsvFilter, 1, true, {}, {}});
  if (chosen.empty()) return;
  const std::string path = WithDefaultExtension(chosen, ".csv");
  WriteResult result;
  const Session& session = session_;
  platform_.RunLongWork(kConvertingLabel, [&result, &session, path](WorkReporter& reporter) {
    result = session.Convert(path, &reporter.progress);
  });
  // "中止" leaves no file, and an earlier file of that name as it was.
  if (!result.ok && !result.cancelled) platform_.ShowMessage(result.message, "CSVファイルへ変換", MessageIcon::Warning);
}
