// Loading a record: the file type, the open dialog, the readers and the
// window's state after a load.
#include <QAction>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QUrl>
#include <filesystem>

#include "io/SystemErrorText.h"
#include "analysis/Acceptance.h"
#include "analysis/RecordLoading.h"
#include "analysis/ResultRows.h"
#include "app/UCenter.h"
#include "app/UFormat.h"
#include "app/UGraph.h"
#include "app/UOpen.h"
#include "app/UOtherFormat.h"
#include "app/WavePlot.h"
#include "components/qt/DisplayText.h"
#include "components/qt/FileNames.h"
#include "io/NumberText.h"

namespace {

constexpr char kReadingLabel[] = "読み込み中…";
constexpr char kFilteringLabel[] = "フィルタ処理中…";

const char kOpenFilter[] = "標準CSVファイル(*.csv)|*.csv|SPC-51ファイル(*.dbl)|*.dbl|すべて(*.*)|*.*";
const char kOtherFilter[] =
    "他の形式のファイル(*.txt *.asc *.dat *.tsv *.wav *.uff *.unv *.mat)|*.txt;*.asc;*.dat;*.tsv;*.wav;*.uff;*.unv;*.mat|"
    "テキスト(*.txt *.asc *.dat *.tsv)|*.txt;*.asc;*.dat;*.tsv|WAV(*.wav)|*.wav|UFF(*.uff *.unv)|*.uff;*.unv|"
    "MATLAB(*.mat)|*.mat|すべて(*.*)|*.*";

// Whether a file of this kind is read through the dialog for other formats.
bool IsOtherFormat(FileKind kind) { return kind != FileKind::Csv && kind != FileKind::Spc51; }

QString Bytes(std::string_view text) { return DisplayText(text); }

}  // namespace

void TOpen::RadioGroup1Click() {
  session_.SelectKind(RadioSpc51->isChecked() ? FileKind::Spc51 : FileKind::Csv);
  openFilterIndex_ = RadioSpc51->isChecked() ? 2 : 1;
  BtnFilter->setEnabled(false);
  CenterPass->setEnabled(false);
}

void TOpen::KeepShownFileType() {
  // A load that did not happen leaves the record shown, and with it its file
  // type: the radio, the view's units and the filter go back to it.
  if (!session_.Loaded()) return;
  const FileKind shown = session_.LoadedKind();
  {
    const QSignalBlocker csv(RadioCsv);
    const QSignalBlocker spc51(RadioSpc51);
    (shown == FileKind::Spc51 ? RadioSpc51 : RadioCsv)->setChecked(true);
  }
  session_.SelectKind(shown);
  openFilterIndex_ = shown == FileKind::Spc51 ? 2 : 1;
  BtnFilter->setEnabled(true);
  CenterPass->setEnabled(true);
}

void TOpen::CSVClick() {
  RadioCsv->setChecked(true);
  BtnFileClick();
}

void TOpen::SPC511Click() {
  RadioSpc51->setChecked(true);
  BtnFileClick();
}

std::optional<LoadOutcome> TOpen::ReadRecord(const LoadRequest& request) {
  LoadOutcome outcome;
  const bool completed = platform_.RunLongWork(kReadingLabel, [&outcome, request](WorkReporter& reporter) {
    outcome = Session::Read(request, &reporter.progress, [&reporter](LoadStage stage) {
      reporter.Stage(stage == LoadStage::Reading ? kReadingLabel : kFilteringLabel);
    });
  });
  // "中止": nothing was read as far as the window is concerned.
  if (!completed || outcome.status == LoadOutcome::Status::Cancelled) return std::nullopt;
  if (!outcome.ok()) {
    // Nothing ends here: the loaded record, the view, the scatter store and
    // the results file stay as they were.
    platform_.ShowMessage(WithDetail(outcome.message, outcome.detail), outcome.title, MessageIcon::Warning);
    return std::nullopt;
  }
  return outcome;
}

void TOpen::ShowReadResult(const std::string& timeLabel) {
  const WaveData& record = session_.Record();
  LabelTime->setText(DisplayText(timeLabel));
  LabelTime->adjustSize();
  TrackBar1->setMaximum(record.SampleCount);
  if (record.SourceKind == FileKind::Spc51) {
    // The SPC-51 reader shows the header's numbers as they are; a load then
    // rewrites them with their units, a re-read does not.
    LabelChannels->setText(QString::number(record.ChannelCount));
    LabelData->setText(QString::number(record.SampleCount));
    LabelRate->setText(QString::fromStdString(RateText(record.Rate)));
  }
  UpdateChannelBoxes();
}

void TOpen::UpdateChannelBoxes() {
  const int channels = session_.Record().ChannelCount;
  ViewWindow& view = session_.View();
  for (int k = 0; k < kMaxChannels; ++k) CB[k]->setEnabled(k < channels);
  // A single channel that the record no longer has (a re-read file with
  // fewer channels) gives way to all channels.
  if (view.SingleChannel && view.SingleIndex >= channels) view.SingleChannel = false;
  if (view.SingleChannel) {
    for (QCheckBox* box : CB) box->setChecked(false);
    CB[view.SingleIndex]->setChecked(true);
  } else {
    for (int k = 0; k < channels; ++k) CB[k]->setChecked(true);
  }
}

void TOpen::ShowNotices(const std::vector<Notice>& notices) {
  for (const Notice& notice : notices) {
    platform_.ShowMessage(notice.Text, notice.Title,
                          notice.Level == Notice::Kind::Information ? MessageIcon::Information
                                                                    : MessageIcon::Warning);
  }
}

void TOpen::BtnFileClick() {
  // The reader follows the file-type selection, never the file's extension.
  session_.SelectKind(RadioSpc51->isChecked() ? FileKind::Spc51 : FileKind::Csv);
  const std::string path = platform_.OpenFileName({kOpenFilter, openFilterIndex_, false, openFolder_, {}});
  if (path.empty()) {
    KeepShownFileType();
    return;
  }
  openFolder_ = FolderOf(path);
  LoadPath(path);
}

void TOpen::OpenFile(const std::string& path) {
  const FileKind kind = KindFromExtension(path);
  if (IsOtherFormat(kind)) {
    openFolder_ = FolderOf(path);
    OpenOtherFormat(path, kind);
    return;
  }
  OpenFileAs(path, kind);
}

void TOpen::OTHERClick() {
  const std::string path = platform_.OpenFileName({kOtherFilter, 1, false, openFolder_, {}});
  if (path.empty()) return;
  openFolder_ = FolderOf(path);
  const FileKind kind = KindFromExtension(path);
  // A name the extensions do not tell is offered as text columns.
  OpenOtherFormat(path, IsOtherFormat(kind) ? kind : FileKind::Text);
}

void TOpen::OpenOtherFormat(const std::string& path, FileKind kind) {
  const std::optional<LoadRequest> request = OtherFormat->Ask(path, kind);
  if (request) LoadRequested(*request);
}

void TOpen::OpenFileAs(const std::string& path, FileKind kind) {
  // Selecting the item runs RadioGroup1Click, as a click on it would.
  (kind == FileKind::Spc51 ? RadioSpc51 : RadioCsv)->setChecked(true);
  session_.SelectKind(kind);
  openFolder_ = FolderOf(path);
  LoadPath(path);
}

namespace {

// The first dropped file that is a file: folders and other kinds of address
// are passed over without a word.
std::optional<std::string> DroppedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return std::nullopt;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) continue;
    // The name's own bytes: a Shift-JIS name is no valid UTF-8 text.
    const std::string path = LocalPathBytes(url);
    if (std::filesystem::is_directory(path)) continue;
    return path;
  }
  return std::nullopt;
}

}  // namespace

void TOpen::dragEnterEvent(QDragEnterEvent* event) {
  if (DroppedFile(event->mimeData())) event->acceptProposedAction();
}

void TOpen::dropEvent(QDropEvent* event) {
  const std::optional<std::string> path = DroppedFile(event->mimeData());
  if (!path) return;
  event->acceptProposedAction();
  Guard([this, &path] { OpenFile(*path); });
}

void TOpen::LoadPath(const std::string& path) { LoadRequested({path, session_.Record().SourceKind, std::nullopt}); }

void TOpen::LoadRequested(const LoadRequest& request) {
  // The file is read first, so that a file that cannot be read leaves the
  // loaded record, its view and its results file as they were.
  std::optional<LoadOutcome> read = ReadRecord(request);
  if (!read) {
    KeepShownFileType();
    return;
  }
  // No channel is checked while the record changes, so the slider's move to
  // the first sample below only clears the plot.
  for (QCheckBox* box : CB) box->setChecked(false);
  ShowLoad(session_.CommitLoad(std::move(*read)));
  RememberRecord();
}

void TOpen::ShowLoad(const LoadCommit& commit) {
  emit RecordChanged();
  const WaveData& record = session_.Record();
  LabelFileName->setText(Bytes(SlotText(record.FileName)));
  LabelFileName->adjustSize();
  ShowNotices(commit.Notices);
  TrackBar1->setValue(0);
  GroupBox2->setEnabled(true);
  ShowReadResult(commit.TimeLabel);
  // Every record not read from a standard CSV file can be written as one.
  CSVF->setEnabled(record.SourceKind != FileKind::Csv);
  ReportItem->setEnabled(true);
  SaveWorkItem->setEnabled(true);
  // The last result's labels stay, but their hints say they belong to the
  // record before.
  if (!resultOrigin_.isEmpty()) {
    const QString origin = "前の記録「" + resultOrigin_ + " の評価結果です。";
    for (QLabel* label : {Label28, Label29}) {
      label->setToolTip(label->toolTip().isEmpty() ? origin : origin + "\n" + label->toolTip());
    }
    resultOrigin_.clear();
  }
  // The scatter plot and the averages start afresh with the record, and what
  // was excluded from the last one can no longer be taken back.
  if (graph_ != nullptr) graph_->ForgetExclusions();
  Button11->setEnabled(true);
  Label23->setText("");
  Label24->setText("");
  Label25->setText("");
  LabelChannels->setText(QString::number(record.ChannelCount));
  LabelData->setText(QString::number(record.SampleCount));
  LabelRate->setText(QString::fromStdString(RateText(record.Rate)) + "/sec");
  Label17->setText(
      QString::fromStdString(FormatFixed(static_cast<double>(session_.View().ArrowStep) / record.Rate, 1)) + "sec");
  LabelRecordTime->setText(
      QString::fromStdString(FormatFixed(static_cast<double>(record.SampleCount * record.Dt), 1)) + "sec");
  // The first guess of the frequency goes to the evaluation, the band-pass
  // centre and the scatter plot's X full scale alike; the damping ratio keeps
  // what the last accepted evaluation left.
  const QString initialF = QString::fromStdString(InitialFrequencyText(record.Rate));
  EdInitF->setText(initialF);
  if (center_ != nullptr) center_->SetCenterText(initialF);
  if (format_ != nullptr) {
    format_->SetMaxXText(initialF);
    format_->Button1Click();
  }
  // The previous record's crosshair and its read-out go with it.
  cursor_.Drawn = false;
  Label16->setText("");
  BtnFilter->setEnabled(true);
  CenterPass->setEnabled(true);
  TIMESCALE->setEnabled(true);
  // A new record starts unfiltered.
  if (center_ != nullptr) center_->SetBandOn(false);
  Label34->setText("なし");
  // All channels, drawn from the first sample.
  Button10Click();
  Button2Click();
}
