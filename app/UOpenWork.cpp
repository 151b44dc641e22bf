// What the window keeps between runs and pieces of work: the preferences
// (last folder, recent records, window places, the operator's name) and the
// session files of "作業を保存…" / "作業を開く…".
#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QSlider>
#include <filesystem>
#include <fstream>

#include "app/Preferences.h"
#include "app/ReplaceReadOnly.h"
#include "app/UCenter.h"
#include "app/UGraph.h"
#include "app/UOpen.h"
#include "components/qt/DisplayText.h"
#include "io/ReplacingFile.h"
#include "session/SessionFile.h"

namespace {

constexpr char kWorkFilter[] = "作業ファイル(*.oscalyx.json)|*.json|すべて(*.*)|*.*";
constexpr char kWorkTitle[] = "作業ファイル";
constexpr char kSettingsTitle[] = "設定";

std::string ReadWholeFile(const std::string& path, bool& ok) {
  std::ifstream in(path, std::ios::binary);
  ok = static_cast<bool>(in);
  return ok ? std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()) : std::string();
}

}  // namespace

void TOpen::AttachPreferences(Preferences* preferences) {
  preferences_ = preferences;
  if (preferences_ == nullptr) return;
  if (const std::string folder = preferences_->LastFolder(); !folder.empty()) openFolder_ = folder;
  if (const QByteArray geometry = preferences_->MainGeometry(); !geometry.isEmpty()) restoreGeometry(geometry);
  if (graph_ != nullptr) {
    if (const QByteArray geometry = preferences_->ScatterGeometry(); !geometry.isEmpty()) {
      graph_->restoreGeometry(geometry);
    }
  }
}

void TOpen::RememberWindowPlaces() {
  if (preferences_ == nullptr) return;
  preferences_->SetMainGeometry(saveGeometry());
  if (graph_ != nullptr) preferences_->SetScatterGeometry(graph_->saveGeometry());
}

void TOpen::RememberRecord() {
  if (preferences_ == nullptr) return;
  preferences_->AddRecentFile(session_.Record().Path);
  preferences_->SetLastFolder(FolderOf(session_.Record().Path));
}

void TOpen::RecentMenuShow() {
  RecentMenu->clear();
  const std::vector<std::string> files = preferences_ != nullptr ? preferences_->RecentFiles() : std::vector<std::string>{};
  if (files.empty()) {
    RecentMenu->addAction("（まだありません）")->setEnabled(false);
    return;
  }
  int number = 1;
  for (const std::string& path : files) {
    QAction* item = RecentMenu->addAction(QString("&%1 %2").arg(number++).arg(DisplayText(FileNameOf(path))));
    item->setToolTip(DisplayText(path));
    // A record that is no longer there is shown greyed.
    item->setEnabled(std::filesystem::is_regular_file(std::filesystem::path(path)));
    Connect(item, &QAction::triggered, [this, path] { OpenFile(path); });
  }
}

void TOpen::OperatorClick() {
  if (preferences_ == nullptr) return;
  const std::optional<std::string> name =
      platform_.AskText("報告書に載せる報告者の名前（空欄で載せません）：", kSettingsTitle,
                        preferences_->Operator().toStdString());
  if (name) preferences_->SetOperator(QString::fromStdString(*name).trimmed());
}

void TOpen::ResetSettingsClick() {
  if (preferences_ == nullptr) return;
  if (!platform_.AskYesNo("覚えているフォルダ、最近使ったファイル、ウィンドウの位置と報告者の名前を消して、"
                          "最初に起動したときの状態に戻します。よろしいですか？",
                          kSettingsTitle)) {
    return;
  }
  preferences_->Clear();
  openFolder_.clear();
}

void TOpen::SaveWorkClick() {
  if (!session_.Loaded()) return;
  const WaveData& record = session_.Record();
  const std::string chosen =
      platform_.SaveFileName({kWorkFilter, 1, true, FolderOf(record.Path),
                              StemOf(SlotText(record.FileName)) + kSessionFileExtension});
  if (chosen.empty()) return;
  const std::string path = WithDefaultExtension(chosen, kSessionFileExtension);
  if (!MayReplace(platform_, path)) return;
  const std::string text = SessionFileText(session_.Snapshot());
  ReplacingFile file(path);
  bool written = file.ok() && std::fwrite(text.data(), 1, text.size(), file.stream()) == text.size();
  written = written && file.Commit();
  if (!written) {
    platform_.ShowMessage("作業ファイル「" + path + "」を保存できません：" + file.errorText() + "。", kWorkTitle,
                          MessageIcon::Warning);
  }
}

void TOpen::OpenWorkClick() {
  const std::string path = platform_.OpenFileName({kWorkFilter, 1, false, openFolder_, {}});
  if (!path.empty()) OpenWork(path);
}

void TOpen::OpenWork(const std::string& path) {
  bool read = false;
  const std::string text = ReadWholeFile(path, read);
  std::string problem;
  const std::optional<SessionSnapshot> snapshot =
      read ? ParseSessionFile(text, problem) : std::optional<SessionSnapshot>();
  if (!snapshot) {
    platform_.ShowMessage("作業ファイル「" + path + "」を開けません：" + (read ? problem : "読めません。"), kWorkTitle,
                          MessageIcon::Warning);
    return;
  }
  // The record is read as a load reads it, through the same flow; nothing of
  // the window changes when it cannot be.
  (snapshot->Kind == FileKind::Spc51 ? RadioSpc51 : RadioCsv)->setChecked(true);
  session_.SelectKind(snapshot->Kind);
  std::optional<LoadOutcome> loaded =
      ReadRecord({snapshot->RecordPath, snapshot->Kind, snapshot->Band, snapshot->Options});
  if (!loaded) {
    KeepShownFileType();
    return;
  }
  for (QCheckBox* box : CB) box->setChecked(false);
  ShowLoad(session_.CommitLoad(std::move(*loaded)));
  RememberRecord();

  // The filter, as it was confirmed.
  session_.SetEdges(snapshot->Edges);
  if (session_.Band()) {
    if (center_ != nullptr) center_->SetBandOn(true);
    Label34->setText(TCenter::BandText(session_.Band()->Lower, session_.Band()->Upper));
  }
  // The view: mode, width, step, channels, background and start.
  const ViewWindow& view = snapshot->View;
  if (view.ScaleMode == TimeScaleMode::Short) DIV10Click(); else DIV1Click();
  const WidthChoice* table = view.ScaleMode == TimeScaleMode::Standard ? kStandardWidths : kShortWidths;
  for (int i = 0; i < kWidthChoices; ++i) {
    if (table[i].Divisions == view.Divisions && table[i].SecondsPerDivision == view.SecondsPerDivision) {
      WidthItems[i]->setChecked(true);
      RadioGroup2Click();
    }
  }
  StepClick(view.ArrowStep);
  CBWhite->setChecked(view.PlotBackground == kWhitePlotBackground);
  session_.View().PlotBackground = view.PlotBackground;
  for (int k = 0; k < kMaxChannels; ++k) {
    CB[k]->setChecked(k < session_.Record().ChannelCount && view.Channels[static_cast<std::size_t>(k)]);
  }
  TrackBar1->setValue(std::clamp(view.Start, 0, TrackBar1->maximum()));
  RedrawView();
  // The accepted results, their averages and the scatter plot.
  session_.RestoreStore(snapshot->Store);
  if (graph_ != nullptr) {
    graph_->ForgetExclusions();
    graph_->PlotPoints();
  }
  if (!snapshot->Sha256.empty() && snapshot->Sha256 != session_.RecordSha256()) {
    platform_.ShowMessage("記録「" + snapshot->RecordPath +
                              "」は、作業を保存したときから変わっています（SHA-256 が違います）。\n"
                              "散布図の結果は保存したときのものです。",
                          kWorkTitle, MessageIcon::Warning);
  }
}
