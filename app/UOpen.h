// The main window TOpen: a view of the session (session/Session.h). Each
// control event has one handler, named after the control and the event; a
// handler reads what it needs from its controls, runs one operation of the
// session and hands the outcome to one Show… function, which maps it onto the
// controls. The handlers are spread over UOpen.cpp (layout, start-up, life
// cycle), UOpenLoad.cpp (loading), UOpenView.cpp (the view and its export),
// UOpenEval.cpp (the evaluation) and UOpenFilter.cpp (band-pass, signature and
// conversion).
//
// The controls are private; tests find them by their object names, the names
// the program has always given them (Button9, EdInitF, Label28, ...).
#pragma once

#include <QMainWindow>
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "components/DrawView.h"
#include "components/Platform.h"
#include "session/Session.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QShortcut;
class QSlider;
class Preferences;
class QMenu;
class TAbout;
class TCenter;
class TGFormat;
class TGraph;
class TModes;
class TOverview;
class TOtherFormat;
class TRandomDec;
class THowTo;
class TTkBtn;
class WavePlot;

// Shows why an evaluation failed in a warning box; the program goes on.
void ReportFitFailure(const FitFailure& failure, Platform& platform);

class TOpen : public QMainWindow {
  Q_OBJECT

 public:
  TOpen(Platform& platform, Session& session, QWidget* parent = nullptr);
  ~TOpen() override;

  // The secondary windows, created after the main window.
  void AttachWindows(THowTo* howTo, TAbout* about, TGraph* graph, TGFormat* format, TCenter* center);
  // What is remembered between runs (null: nothing is); restores the window
  // places and the folder of the last record.
  void AttachPreferences(Preferences* preferences);

  // Handlers, named after their control and event.
  void FormCreate();
  void RadioGroup1Click();
  void BtnFileClick();
  void N2Click() { BtnFileClick(); }
  void CSVClick();
  void SPC511Click();
  // A file dropped on the window or named on the command line: the file type
  // follows its extension (".dbl" in any case is SPC-51, anything else CSV),
  // set in the radio group, then the load flow runs as for the open dialog.
  // A file of another instrument (.wav, .uff, .unv, .mat, .txt, .asc, .dat,
  // .tsv) opens the dialog that says how to read it, preset to its format.
  void OpenFile(const std::string& path);
  // "他の形式のファイルを開く…": an open dialog for other instruments' files,
  // then the dialog that says how to read the one chosen, then the load flow.
  void OTHERClick();
  void N3Click();
  void Button1Click();
  void UpdateChannelBoxes();
  void N7Click();
  void N8Click();

  void Edit1Change();
  void TrackBar1Change();
  void Button4Click();
  void Button5Click();
  void RadioGroup2Click();
  void DIV1Click();
  void DIV10Click();
  void StepClick(int step);
  void GroupBox3Click();
  void Button8Click();
  void Button10Click();
  void Button2Click();
  void CBWhiteClick();
  void MyWave1MouseMove(int x, int y);
  void MyWave1Click();
  void Button3Click();
  void Button7Click();

  void Button6Click();
  void Button9Click() { Button6Click(); }
  void TkBtn1Click() { Button6Click(); }
  void Button11Click();

  void CenterPassClick();
  // The random-decrement signature of the one channel shown: its dialog, a
  // save dialog offering "<file>_ch<K>_rd.csv" in the record's folder, the
  // signature written there (away from the window, with "中止") and opened
  // as the user would open it.
  void RDClick();
  void BtnFilterClick() { CenterPassClick(); }
  // Several modes of the shown stretch fitted together, in their own dialog.
  void ModesClick();
  void CSVFClick();
  // ファイル menu: the records opened last, saved work, the operator's name,
  // and the settings back to the first start.
  void RecentMenuShow();
  void SaveWorkClick();
  void OpenWorkClick();
  void OpenWork(const std::string& path);
  void OperatorClick();
  void ResetSettingsClick();
  // "記録の概観…": the whole record, its decays and spectrum, in a window of its own.
  void OverviewClick();
  // The one-page report of the session's accepted evaluations, saved as PDF,
  // PNG or SVG (by the extension chosen).
  void ReportClick();

  // The one redraw routine of the view.
  void RedrawView();

  // What tests read besides the controls.
  const Session& Model() const { return session_; }
  const DrawViewResult& LastDraw() const { return lastDraw_; }
  int RedrawCount() const { return redrawCount_; }
  WavePlot* Plot() const { return plot_; }
  TOverview* OverviewWindow() const { return Overview; }

 signals:
  // The record was replaced: a load, or a re-read through the band-pass filter.
  void RecordChanged();
  // The view was redrawn: its start, width or channels may have changed.
  void ViewRedrawn();
  // An evaluation was shown; the store may have changed.
  void EvaluationShown();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The crosshair drawn over the plot in XOR mode, and where.
  struct Crosshair {
    bool Drawn = false;
    int X = 0;
    int Y = 0;
  };

  void BuildControls();
  void BuildMenu();
  QLabel* MakeLabel(const QString& text, int x, int y, const QString& name = QString());
  QPushButton* MakeButton(QWidget* parent, const QString& text, int x, int y, int w, int h,
                          const QString& name, const QString& hint = QString());
  // Runs a handler with the application's general error handler around it.
  // Every control reaches its handler through it (Connect); handlers do not
  // catch errors themselves.
  void Guard(const std::function<void()>& handler);
  template <typename Sender, typename Signal>
  void Connect(Sender* sender, Signal signal, std::function<void()> handler) {
    connect(sender, signal, this, [this, handler = std::move(handler)] { Guard(handler); });
  }

  // Reads a record away from the window with progress and "中止". A file that
  // cannot be read, or a band the record does not allow, is reported; then,
  // and after "中止", nothing is returned.
  std::optional<LoadOutcome> ReadRecord(const LoadRequest& request);
  // The file type selected in the radio group, then the load flow.
  void OpenFileAs(const std::string& path, FileKind kind);
  // The load flow from a chosen file on.
  void LoadPath(const std::string& path);
  // After a cancelled or failed load: the file type of the record still shown.
  void KeepShownFileType();
  // The load flow of a request: read away from the window, then shown.
  void LoadRequested(const LoadRequest& request);
  // The dialog for a file of another instrument, then, after its OK, the load.
  void OpenOtherFormat(const std::string& path, FileKind kind);

  // The outcomes of the session's operations on the controls.
  void ShowLoad(const LoadCommit& commit);
  void ShowRefilter(const LoadCommit& commit);
  void ShowEvaluation(const SessionEvaluation& outcome);
  // Evaluations recorded together (the overview's): the labels, the initial
  // values, the scatter plot and the picture as a series of "評　価" would
  // leave them, the view moved to the last evaluated stretch; failures are
  // not reported one by one.
  void ShowEvaluations(const std::vector<SessionEvaluation>& outcomes);
  // The overview window, its menu item and its links to this window.
  void BuildOverview(QMenu* edit);
  void ShowNotices(const std::vector<Notice>& notices);
  void ShowFlags(const std::vector<EvaluationFlag>& flags);
  // What a reader shows besides the record: time, slider range, channel boxes.
  void ShowReadResult(const std::string& timeLabel);

  void SetTimeScaleCaptions();
  // Moves the start by a number of samples, kept within the slider's range.
  void MoveStart(long long samples);
  // ←/→ move the view by the step, Home and End to the record's first and
  // last screenful, while the plot has the focus.
  bool PlotKey(int key);
  void EraseCursor();
  int CursorSample() const;

  // After a load: the record among the recent ones, its folder remembered.
  void RememberRecord();
  void RememberWindowPlaces();

  Platform& platform_;
  Session& session_;
  Preferences* preferences_ = nullptr;
  THowTo* howTo_ = nullptr;
  TAbout* about_ = nullptr;
  TGraph* graph_ = nullptr;
  TGFormat* format_ = nullptr;
  TCenter* center_ = nullptr;

  Crosshair cursor_;
  DrawViewResult lastDraw_;
  int redrawCount_ = 0;  // redraws since start-up
  int openFilterIndex_ = 1;
  // "file」の開始点 N": where the result in the red labels came from, until a
  // load makes it a result of the record before.
  QString resultOrigin_;
  std::string openFolder_;  // where the open dialog starts: the folder of the last file chosen

  QLabel* LabelFileName = nullptr;
  QLabel* LabelChannels = nullptr;
  QLabel* LabelData = nullptr;
  QLabel* LabelRate = nullptr;
  QLabel* LabelTime = nullptr;
  QLabel* LabelRecordTime = nullptr;
  QLabel* Label34 = nullptr;  // filter band or "なし"
  QGroupBox* RadioGroup1 = nullptr;
  QRadioButton* RadioCsv = nullptr;
  QRadioButton* RadioSpc51 = nullptr;
  QPushButton* BtnFile = nullptr;
  QPushButton* BtnFilter = nullptr;
  QGroupBox* GroupBox2 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QSlider* TrackBar1 = nullptr;
  QPushButton* Button4 = nullptr;
  QPushButton* Button5 = nullptr;
  QLabel* Label11 = nullptr;
  QLabel* Label12 = nullptr;
  QLabel* Label17 = nullptr;
  QGroupBox* RadioGroup2 = nullptr;
  std::array<QRadioButton*, kWidthChoices> WidthItems{};
  QButtonGroup* WidthGroup = nullptr;
  QGroupBox* GroupBox3 = nullptr;
  std::array<QCheckBox*, kMaxChannels> CB{};
  QPushButton* Button8 = nullptr;
  QPushButton* Button10 = nullptr;
  QPushButton* Button2 = nullptr;
  QPushButton* Button3 = nullptr;
  QPushButton* Button7 = nullptr;
  WavePlot* plot_ = nullptr;
  QLabel* Label16 = nullptr;
  QPushButton* Button9 = nullptr;
  QPushButton* Button6 = nullptr;
  TTkBtn* TkBtn1 = nullptr;
  QPushButton* Button11 = nullptr;
  QLabel* Label28 = nullptr;
  QLabel* Label29 = nullptr;
  QLabel* Label23 = nullptr;
  QLabel* Label24 = nullptr;
  QLabel* Label25 = nullptr;
  QLineEdit* EdInitF = nullptr;
  QLineEdit* EdInitH = nullptr;
  QLabel* Label15 = nullptr;
  QLabel* Label19 = nullptr;
  QLabel* LabelFlags = nullptr;  // the warnings of the last evaluation, beside its results
  QCheckBox* CBWhite = nullptr;
  QPushButton* Button1 = nullptr;

  QAction* N2 = nullptr;
  QAction* CSV = nullptr;
  QAction* SPC511 = nullptr;
  QAction* OTHER = nullptr;                // 他の形式のファイルを開く…
  TOtherFormat* OtherFormat = nullptr;     // its dialog
  QAction* CSVF = nullptr;
  QAction* ReportItem = nullptr;  // "報告書を保存…"
  QAction* N3 = nullptr;
  QMenu* RecentMenu = nullptr;       // 最近使ったファイル
  QAction* SaveWorkItem = nullptr;   // 作業を保存…
  QAction* OpenWorkItem = nullptr;   // 作業を開く…
  QAction* OperatorItem = nullptr;   // 報告者の名前…
  QAction* ResetSettingsItem = nullptr;  // 設定を初期化
  std::array<QAction*, kArrowSteps.size()> StepItems{};  // N2001, N5001, N10001, N20001
  QAction* CenterPass = nullptr;
  QAction* RD = nullptr;
  TRandomDec* RandomDec = nullptr;  // the dialog of RD
  QAction* ModesItem = nullptr;     // 複数モード評価…
  TModes* ModesDialog = nullptr;
  QAction* OverviewItem = nullptr;  // 記録の概観…
  TOverview* Overview = nullptr;
  QAction* TIMESCALE = nullptr;
  QAction* DIV1 = nullptr;
  QAction* DIV10 = nullptr;
  QAction* N7 = nullptr;
  QAction* N8 = nullptr;
  QShortcut* SaveShortcut = nullptr;  // Ctrl+S: "保　存"
  QShortcut* CopyShortcut = nullptr;  // Ctrl+Shift+C: "コピー" (Ctrl+C stays with the edit boxes)
};
