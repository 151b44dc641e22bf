// The band-pass dialog's after-close flow and the conversion to standard CSV.
#include <QAction>
#include <QLabel>

#include "analysis/BandPass.h"
#include "app/UCenter.h"
#include "app/UOpen.h"
#include "app/WaitCursor.h"
#include "io/WriteCsv.h"

namespace {
const char kCsvFilter[] = "標準CSVファイル(*.csv)|*.csv|すべて(*.*)|*.*";
}

void TOpen::CenterPassClick() {
  if (center_ == nullptr) return;
  if (center_->exec() == QDialog::Accepted) {
    // OK with the box checked stores the band; unchecked leaves the edges.
    if (center_->BandOn()) {
      bandLow_ = center_->LowerEdge();
      bandHigh_ = center_->UpperEdge();
    }
    Label34->setText(center_->Label34Text());
  }

  // However the dialog was closed: the record comes back from its file, and
  // is filtered while the box is checked.
  WaveData fresh = record_;
  const std::string path(SlotText(record_.Path));
  const std::optional<ReadResult> read = ReadRecordFile(path, fresh);
  if (!read) return;
  record_ = std::move(fresh);
  record_.Dt = static_cast<float>(1.0 / record_.Rate);
  ShowReadResult(*read);
  CSVF->setEnabled(record_.SourceKind == FileKind::Spc51);
  if (center_->BandOn()) {
    FilterResult filtered;
    {
      WaitCursor wait;
      filtered = FilterAllChannels(record_, bandLow_, bandHigh_);
    }
    if (!filtered.Ok) {
      platform_.ShowMessage(filtered.Message, "バンドパスフィルタ", MessageIcon::Warning);
      return;
    }
  }
  RedrawView();
}

void TOpen::CSVFClick() {
  const std::string chosen = platform_.SaveFileName({kCsvFilter, 1, true});
  if (chosen.empty()) return;
  WriteResult result;
  {
    WaitCursor wait;
    result = WriteCsv(WithDefaultExtension(chosen, ".csv"), record_);
  }
  if (!result.ok) platform_.ShowMessage(result.message, "CSVファイルへ変換", MessageIcon::Warning);
}
