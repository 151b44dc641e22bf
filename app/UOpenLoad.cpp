// Loading a record: the file type, the open dialog, the readers and the
// window's state after a load.
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include "analysis/ResultRows.h"
#include "app/UCenter.h"
#include "app/UFormat.h"
#include "app/UGraph.h"
#include "app/UOpen.h"
#include "app/WaitCursor.h"
#include "app/WavePlot.h"
#include "components/qt/DisplayText.h"
#include "io/NumberText.h"
#include "io/ReadCsv.h"
#include "io/ReadSpc51.h"

namespace {

const char kOpenFilter[] = "標準CSVファイル(*.csv)|*.csv|SPC-51ファイル(*.dbl)|*.dbl|すべて(*.*)|*.*";

QString Bytes(std::string_view text) { return DisplayText(std::string(text)); }

}  // namespace

void TOpen::RadioGroup1Click() {
  record_.SourceKind = RadioSpc51->isChecked() ? FileKind::Spc51 : FileKind::Csv;
  openFilterIndex_ = record_.SourceKind == FileKind::Spc51 ? 2 : 1;
  BtnFilter->setEnabled(false);
  CenterPass->setEnabled(false);
}

void TOpen::CSVClick() {
  RadioCsv->setChecked(true);
  BtnFileClick();
}

void TOpen::SPC511Click() {
  RadioSpc51->setChecked(true);
  BtnFileClick();
}

std::optional<ReadResult> TOpen::ReadRecordFile(const std::string& path, WaveData& target) {
  ReadResult result;
  {
    WaitCursor wait;
    result = target.SourceKind == FileKind::Spc51 ? ReadSpc51(path, target) : ReadCsv(path, target);
  }
  if (!result.ok()) {
    // A file that cannot be opened or read ends nothing: the loaded record,
    // the view, the scatter store and the results file stay as they were.
    platform_.ShowMessage(result.message, result.title, MessageIcon::Warning);
    return std::nullopt;
  }
  target.Dt = static_cast<float>(1.0 / target.Rate);
  return result;
}

void TOpen::ShowReadResult(const ReadResult& result) {
  LabelTime->setText(QString::fromStdString(DisplayTextUtf8(result.timeLabel)));
  LabelTime->adjustSize();
  TrackBar1->setMaximum(result.sliderMax);
  if (record_.SourceKind == FileKind::Spc51) {
    // The SPC-51 reader shows the header's numbers as they are; a load then
    // rewrites them with their units, a re-read does not.
    LabelChannels->setText(QString::number(record_.ChannelCount));
    LabelData->setText(QString::number(record_.SampleCount));
    LabelRate->setText(QString::number(record_.Rate));
  }
  UpdateChannelBoxes();
}

void TOpen::UpdateChannelBoxes() {
  for (int k = 0; k < kMaxChannels; ++k) CB[k]->setEnabled(k < record_.ChannelCount);
  // A single channel that the record no longer has (a re-read file with
  // fewer channels) gives way to all channels.
  if (view_.SingleChannel && view_.SingleIndex >= record_.ChannelCount) view_.SingleChannel = false;
  if (view_.SingleChannel) {
    for (QCheckBox* box : CB) box->setChecked(false);
    CB[view_.SingleIndex]->setChecked(true);
  } else {
    for (int k = 0; k < record_.ChannelCount; ++k) CB[k]->setChecked(true);
  }
}

void TOpen::WarnResultsFile(bool writing) {
  platform_.ShowMessage("結果ファイル「" + resultsPath_ + (writing ? "」に書き込めません（" : "」を作成できません（") +
                            resultsFile_.errorText() + "）。\n評価はできますが、結果はファイルに記録されません。",
                        "結果ファイル", MessageIcon::Warning);
}

void TOpen::CreateResultsFile() {
  switch (resultsFile_.Create(resultsPath_, ResultsHeaderLine())) {
    case ResultsFile::CreateStatus::Created:
      return;
    case ResultsFile::CreateStatus::Failed:
      WarnResultsFile();
      return;
    case ResultsFile::CreateStatus::Locked:
      // Another window started in this folder records its results there; this
      // one leaves the file alone. Said once: every later load would repeat it.
      if (!lockWarningGiven_) {
        lockWarningGiven_ = true;
        platform_.ShowMessage("結果ファイル「" + resultsPath_ +
                                  "」は、このフォルダで起動した別のウィンドウが記録に使っています。\n"
                                  "評価はできますが、そのウィンドウが記録している間、このウィンドウの結果はファイルに"
                                  "記録されません。",
                              "結果ファイル", MessageIcon::Warning);
      }
      return;
  }
}

void TOpen::BtnFileClick() {
  // 1. The reader follows the file-type selection.
  record_.SourceKind = RadioSpc51->isChecked() ? FileKind::Spc51 : FileKind::Csv;
  // 2. The open dialog, in the folder of the last file chosen.
  const std::string path = platform_.OpenFileName({kOpenFilter, openFilterIndex_, false, openFolder_});
  if (path.empty()) return;
  openFolder_ = FolderOf(path);

  // The file is read into a fresh record first, so that a refused file leaves
  // the loaded record, its view and its results file exactly as they were.
  WaveData fresh;
  fresh.SourceKind = record_.SourceKind;
  if (!SetRecordPath(fresh, path)) {
    platform_.ShowMessage("ファイルのパスが長すぎます（255バイトまで）", "読み込みエラー", MessageIcon::Warning);
    return;
  }
  const std::optional<ReadResult> read = ReadRecordFile(path, fresh);
  if (!read) return;

  // 3. Path and file name.
  record_.Path = fresh.Path;
  record_.FileName = fresh.FileName;
  LabelFileName->setText(Bytes(SlotText(record_.FileName)));
  LabelFileName->adjustSize();
  // 4. No channel is checked while the record changes.
  for (QCheckBox* box : CB) box->setChecked(false);
  // 5. The results file starts afresh for every load.
  CreateResultsFile();
  // 6. Back to the first sample (redraws an empty plot when the slider moves).
  TrackBar1->setValue(0);
  // 7.
  GroupBox2->setEnabled(true);
  // 8. The record itself.
  record_ = std::move(fresh);
  if (center_ != nullptr) center_->SetRate(record_.Rate);
  ShowReadResult(*read);
  CSVF->setEnabled(record_.SourceKind == FileKind::Spc51);
  // 9.
  loaded_ = true;
  // 10, 11. The scatter plot and the averages start afresh.
  if (graph_ != nullptr) graph_->ResetCount();
  Button11->setEnabled(true);
  Label23->setText("");
  Label24->setText("");
  Label25->setText("");
  // 12.
  LabelChannels->setText(QString::number(record_.ChannelCount));
  LabelData->setText(QString::number(record_.SampleCount));
  LabelRate->setText(QString::number(record_.Rate) + "/sec");
  // 13. The step's duration.
  Label17->setText(QString::fromStdString(FormatFixed(static_cast<double>(view_.ArrowStep) / record_.Rate, 1)) +
                   "sec");
  // 14 (Dt, set with the read), 15.
  LabelRecordTime->setText(
      QString::fromStdString(FormatFixed(static_cast<double>(record_.SampleCount * record_.Dt), 1)) + "sec");
  // 16. The initial frequency: a fiftieth of the sampling rate, in three places.
  const QString initialF = QString::fromStdString(FormatFixed(record_.Rate * 0.02, 1));
  EdInitF->setText(initialF);
  if (center_ != nullptr) center_->SetCenterText(initialF);
  if (format_ != nullptr) {
    format_->SetMaxXText(initialF);
    format_->Button1Click();
  }
  // 17, 18. The read-out of the previous record's crosshair goes with it.
  view_.CursorDrawn = false;
  Label16->setText("");
  BtnFilter->setEnabled(true);
  CenterPass->setEnabled(true);
  TIMESCALE->setEnabled(true);
  // 19. A new record starts unfiltered.
  if (center_ != nullptr) center_->SetBandOn(false);
  Label34->setText("なし");
  // 20, 21. All channels, drawn from the first sample.
  Button10Click();
  Button2Click();
}
