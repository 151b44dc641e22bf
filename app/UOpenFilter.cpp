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
  // What the dialog may change, so that a re-read or filter that fails leaves
  // the window exactly as it was: record, picture, label, edges and box.
  const bool wasOn = center_->BandOn();
  const QString previousLabel = Label34->text();
  const float previousLow = bandLow_;
  const float previousHigh = bandHigh_;
  auto restore = [&] {
    center_->SetBandOn(wasOn);
    Label34->setText(previousLabel);
    bandLow_ = previousLow;
    bandHigh_ = previousHigh;
  };

  if (center_->exec() == QDialog::Accepted) {
    // OK with the box checked stores the band; unchecked leaves the edges.
    if (center_->BandOn()) {
      bandLow_ = center_->LowerEdge();
      bandHigh_ = center_->UpperEdge();
    }
    Label34->setText(center_->Label34Text());
  }

  // However the dialog was closed: the record comes back from its file into
  // a fresh record, is filtered there while the box is checked, and only then
  // replaces the loaded one.
  std::optional<BandEdges> band;
  if (center_->BandOn()) band = BandEdges{bandLow_, bandHigh_};
  std::optional<LoadOutcome> loaded = LoadFile(std::string(SlotText(record_.Path)), record_.SourceKind, band);
  if (!loaded) {
    restore();
    return;
  }
  record_ = std::move(loaded->record);
  recordBand_ = band;
  center_->SetRate(record_.Rate);
  ShowReadResult(loaded->timeLabel);
  CSVF->setEnabled(record_.SourceKind == FileKind::Spc51);
  RedrawView();
}

void TOpen::RDClick() {
  if (!loaded_ || !view_.SingleChannel || view_.SingleIndex >= record_.ChannelCount) return;
  const int channel = view_.SingleIndex;
  RandomDec->SetRecord(record_.Rate, record_.SampleCount);
  if (RandomDec->exec() != QDialog::Accepted) return;
  const std::string chosen =
      platform_.SaveFileName({kCsvFilter, 1, true, FolderOf(SlotText(record_.Path)),
                              SignatureFileName(SlotText(record_.FileName), channel + 1)});
  if (chosen.empty()) return;
  const std::string path = WithDefaultExtension(chosen, ".csv");

  RandomDecrementSignature signature;
  std::optional<WriteResult> written;
  platform_.RunLongWork(kSignatureLabel, [&](WorkReporter& reporter) {
    signature = RandomDecrement(record_.Samples[static_cast<std::size_t>(channel)], record_.Rate,
                                RandomDec->Level(), RandomDec->Length(), &reporter.progress);
    if (signature.Ok() && !reporter.progress.Cancelled()) {
      reporter.Stage(kWritingLabel);
      written = WriteCsv(path, SignatureRecord(record_, channel, signature), &reporter.progress);
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
  platform_.RunLongWork(kConvertingLabel, [&](WorkReporter& reporter) {
    result = WriteCsv(path, record_, &reporter.progress);
  });
  // "中止" leaves no file, and an earlier file of that name as it was.
  if (!result.ok && !result.cancelled) platform_.ShowMessage(result.message, "CSVファイルへ変換", MessageIcon::Warning);
}
