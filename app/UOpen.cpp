#include "app/UOpen.h"

#include <QAction>
#include <QActionGroup>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <filesystem>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSlider>

#include "analysis/ResultRows.h"
#include "app/Conversions.h"
#include "app/UAbout.h"
#include "app/UCenter.h"
#include "app/UFormat.h"
#include "app/UGraph.h"
#include "app/UHowTo.h"
#include "app/UModes.h"
#include "app/UOverview.h"
#include "app/UOtherFormat.h"
#include "app/URandomDec.h"
#include "app/WavePlot.h"
#include "io/Version.h"
#include "components/qt/AccessibleNames.h"
#include "components/qt/Fonts.h"
#include "components/qt/FormulaPicture.h"
#include "components/qt/TkBtn.h"
#include "components/qt/WindowLook.h"

namespace {

constexpr QSize kOuterSize{816, 713};
const QColor kFormColour(211, 237, 252);
const QColor kMaroon(128, 0, 0);

QFont FormFont(int pixels = 13) {
  QFont font(QString::fromLatin1(kUiFontFamily));
  font.setPixelSize(pixels);
  font.setBold(true);
  return font;
}

}  // namespace

TOpen::TOpen(Platform& platform, Session& session, QWidget* parent)
    : QMainWindow(parent), platform_(platform), session_(session) {
  setObjectName("Open");
  setWindowTitle(kMainCaption);
  BuildControls();
  BuildMenu();
  setAcceptDrops(true);
  FormCreate();
  NameControls(*this, {{"MyWave1", "波形グラフ（←→で移動、Home・Endで先頭・末尾へ）"},
                       {"EdInitF", "振動数 f の初期値"},
                       {"EdInitH", "減衰比 h の初期値"},
                       {"TrackBar1", "表示位置"}});
}

TOpen::~TOpen() = default;

void TOpen::AttachWindows(THowTo* howTo, TAbout* about, TGraph* graph, TGFormat* format, TCenter* center) {
  howTo_ = howTo;
  about_ = about;
  graph_ = graph;
  format_ = format;
  center_ = center;
  if (graph_ != nullptr) graph_->SetMainLabels(Label23, Label24, Label25);
}

void TOpen::Guard(const std::function<void()>& handler) { RunGuarded(platform_, handler); }

QLabel* TOpen::MakeLabel(const QString& text, int x, int y, const QString& name) {
  auto* label = new QLabel(text, centralWidget());
  label->move(x, y);
  label->setObjectName(name);
  label->adjustSize();
  label->setMinimumWidth(label->width());
  return label;
}

QPushButton* TOpen::MakeButton(QWidget* parent, const QString& text, int x, int y, int w, int h, const QString& name,
                               const QString& hint) {
  auto* button = new QPushButton(text, parent);
  button->setGeometry(x, y, w, h);
  button->setObjectName(name);
  if (!hint.isEmpty()) button->setToolTip(hint);
  return button;
}

void TOpen::BuildControls() {
  auto* central = new QWidget(this);
  central->setObjectName("central");
  setCentralWidget(central);
  // The menu bar takes its height from the client area, as on the desktop
  // the window was laid out for.
  SetOuterSize(*this, kOuterSize);
  QPalette palette = central->palette();
  palette.setColor(QPalette::Window, kFormColour);
  SetFormTextColour(palette, kMaroon);
  setPalette(palette);
  setAutoFillBackground(true);
  setFont(FormFont());

  auto* title = MakeLabel("自由振動/減衰振動", 16, 16, "LabelTitle");
  title->setFont(FormFont(21));
  title->adjustSize();

  MakeLabel("ファイル", 12, 44);
  LabelFileName = MakeLabel("ファイル名", 76, 44, "LabelFileName");
  MakeLabel("チャンネル", 12, 62);
  LabelChannels = MakeLabel("", 100, 62, "LabelChannels");
  MakeLabel("データ", 12, 80);
  LabelData = MakeLabel("", 100, 80, "LabelData");
  MakeLabel("サンプリング", 12, 98);
  LabelRate = MakeLabel("", 100, 98, "LabelRate");
  MakeLabel("タイム", 12, 116);
  LabelTime = MakeLabel("", 100, 116, "LabelTime");
  MakeLabel("記録時間", 12, 136);
  LabelRecordTime = MakeLabel("", 100, 136, "LabelRecordTime");
  MakeLabel("フィルタ", 16, 160);
  Label34 = MakeLabel("なし", 96, 160, "Label34");
  Label34->setStyleSheet("color: rgb(255, 0, 0);");
  for (QLabel* value : {LabelFileName, LabelChannels, LabelData, LabelRate, LabelTime, LabelRecordTime, Label34}) {
    value->setMinimumWidth(120);
  }

  RadioGroup1 = new QGroupBox("ファイル形式", central);
  RadioGroup1->setObjectName("RadioGroup1");
  RadioGroup1->setGeometry(232, 24, 140, 64);
  RadioGroup1->setToolTip("ファイル形式の選択");
  RadioCsv = new QRadioButton("標準CSV(*.csv)", RadioGroup1);
  RadioCsv->setObjectName("RadioGroup1Item0");
  RadioCsv->setGeometry(8, 18, 128, 20);
  RadioCsv->setChecked(true);
  RadioSpc51 = new QRadioButton("SPC-51 (*.dbl)", RadioGroup1);
  RadioSpc51->setObjectName("RadioGroup1Item1");
  RadioSpc51->setGeometry(8, 40, 128, 20);
  Connect(RadioCsv, &QRadioButton::toggled, [this] { RadioGroup1Click(); });

  BtnFile = MakeButton(central, "ファイル", 382, 35, 75, 25, "BtnFile", "ファイルデータの読み込み");
  Connect(BtnFile, &QPushButton::clicked, [this] { BtnFileClick(); });
  BtnFilter = MakeButton(central, "フィルタ", 382, 68, 75, 25, "BtnFilter", "バンドパスフィルタON/OFF");
  BtnFilter->setEnabled(false);
  Connect(BtnFilter, &QPushButton::clicked, [this] { BtnFilterClick(); });

  // The position group: start, slider, arrows, step, width, channels, export.
  GroupBox2 = new QGroupBox("表示位置", central);
  GroupBox2->setObjectName("GroupBox2");
  GroupBox2->setGeometry(472, 8, 320, 172);
  GroupBox2->setEnabled(false);
  Edit1 = new QLineEdit("0", GroupBox2);
  Edit1->setObjectName("Edit1");
  Edit1->setGeometry(8, 20, 64, 22);
  Edit1->setToolTip("波形表示開始点");
  // The start is taken when the user is done with it (Return, or leaving the
  // box), so that an emptied box or a half-typed number is no error while
  // typing.
  Connect(Edit1, &QLineEdit::editingFinished, [this] { Edit1Change(); });
  Button4 = MakeButton(GroupBox2, "←", 76, 19, 28, 24, "Button4", "時刻を戻す");
  Connect(Button4, &QPushButton::clicked, [this] { Button4Click(); });
  Button5 = MakeButton(GroupBox2, "→", 106, 19, 28, 24, "Button5", "時刻を進める");
  Connect(Button5, &QPushButton::clicked, [this] { Button5Click(); });
  TrackBar1 = new QSlider(Qt::Horizontal, GroupBox2);
  TrackBar1->setObjectName("TrackBar1");
  TrackBar1->setGeometry(6, 48, 130, 22);
  TrackBar1->setRange(0, 100);
  TrackBar1->setValue(0);
  Connect(TrackBar1, &QSlider::valueChanged, [this] { TrackBar1Change(); });
  Label11 = new QLabel("ステップ", GroupBox2);
  Label11->setObjectName("Label11");
  Label11->setGeometry(8, 78, 56, 18);
  Label11->setToolTip("「編集」-「ステップ」で設定");
  Label12 = new QLabel(QString::number(kDefaultArrowStep), GroupBox2);
  Label12->setObjectName("Label12");
  Label12->setGeometry(66, 78, 36, 18);
  Label17 = new QLabel("2.5秒", GroupBox2);
  Label17->setObjectName("Label17");
  Label17->setGeometry(66, 98, 70, 18);

  RadioGroup2 = new QGroupBox("表示時間幅", GroupBox2);
  RadioGroup2->setObjectName("RadioGroup2");
  RadioGroup2->setGeometry(140, 12, 80, 120);
  WidthGroup = new QButtonGroup(this);
  for (int i = 0; i < 5; ++i) {
    WidthItems[i] = new QRadioButton(RadioGroup2);
    WidthItems[i]->setObjectName(QString("RadioGroup2Item%1").arg(i));
    WidthItems[i]->setGeometry(6, 16 + 20 * i, 72, 20);
    WidthGroup->addButton(WidthItems[i], i);
  }
  Connect(WidthGroup, &QButtonGroup::idClicked, [this] { RadioGroup2Click(); });

  GroupBox3 = new QGroupBox("表示チャンネル", GroupBox2);
  GroupBox3->setObjectName("GroupBox3");
  GroupBox3->setGeometry(224, 12, 90, 120);
  const char* digits[] = {"１", "２", "３", "４", "５", "６", "７", "８"};
  for (int k = 0; k < kMaxChannels; ++k) {
    CB[k] = new QCheckBox(digits[k], GroupBox3);
    CB[k]->setObjectName(QString("CB%1").arg(k + 1));
    CB[k]->setGeometry(6 + 42 * (k / 4), 16 + 18 * (k % 4), 40, 18);
  }
  Button8 = MakeButton(GroupBox3, "クリア", 4, 90, 40, 24, "Button8", "すべてのチェックをはずす");
  Connect(Button8, &QPushButton::clicked, [this] { Button8Click(); });
  Button10 = MakeButton(GroupBox3, "すべて", 46, 90, 40, 24, "Button10", "すべてのチェックを入れる");
  Connect(Button10, &QPushButton::clicked, [this] { Button10Click(); });
  GroupBox3->installEventFilter(this);

  Button2 = MakeButton(GroupBox2, "グラフ", 8, 138, 70, 26, "Button2", "波形グラフを描く");
  Connect(Button2, &QPushButton::clicked, [this] { Button2Click(); });
  Button3 = MakeButton(GroupBox2, "コピー", 84, 138, 70, 26, "Button3", "クリップボードへコピー");
  Connect(Button3, &QPushButton::clicked, [this] { Button3Click(); });
  Button7 = MakeButton(GroupBox2, "保　存", 160, 138, 70, 26, "Button7", "PNGファイルとして保存");
  Connect(Button7, &QPushButton::clicked, [this] { Button7Click(); });

  plot_ = new WavePlot(kViewWidth, kViewHeight, central);
  plot_->setObjectName("MyWave1");
  plot_->move(24, 216);
  plot_->onMouseMove = [this](int x, int y) { Guard([&] { MyWave1MouseMove(x, y); }); };
  plot_->onMouseDown = [this](int, int) { Guard([this] { MyWave1Click(); }); };
  plot_->onKey = [this](int key) {
    bool used = false;
    Guard([&] { used = PlotKey(key); });
    return used;
  };
  Label16 = MakeLabel("", 376, 624, "Label16");
  Label16->setMinimumWidth(320);

  Button9 = MakeButton(central, "評　価", 200, 184, 75, 25, "Button9", "減衰曲線の評価");
  Button9->setEnabled(false);
  Connect(Button9, &QPushButton::clicked, [this] { Button9Click(); });
  Button6 = MakeButton(central, "実行(削除不可)", 0, 0, 90, 25, "Button6");
  Button6->setVisible(false);
  Connect(Button6, &QPushButton::clicked, [this] { Button6Click(); });
  TkBtn1 = new TTkBtn(central);
  TkBtn1->setObjectName("TkBtn1");
  TkBtn1->setGeometry(192, 552, 388, 52);
  TkBtn1->setToolTip("減衰曲線の評価");
  TkBtn1->SetPicture(FormulaPicture(devicePixelRatioF()));
  TkBtn1->SetBevelWidth(3);
  TkBtn1->setEnabled(false);
  TkBtn1->setVisible(false);
  TkBtn1->onClick = [this] { Guard([this] { TkBtn1Click(); }); };
  Button11 = MakeButton(central, "散布図", 32, 184, 75, 25, "Button11", "振動数-減衰比");
  Button11->setEnabled(false);
  Connect(Button11, &QPushButton::clicked, [this] { Button11Click(); });

  MakeLabel("振動数 f(Hz)", 208, 138);
  MakeLabel("減衰比 h", 232, 160);
  MakeLabel("初期値", 299, 116);
  MakeLabel("平均値", 408, 116);
  Label28 = MakeLabel("", 352, 138, "Label28");
  Label29 = MakeLabel("", 352, 160, "Label29");
  for (QLabel* red : {Label28, Label29}) {
    red->setStyleSheet("color: rgb(255, 0, 0);");
    red->setMinimumWidth(52);
  }
  Label23 = MakeLabel("", 408, 138, "Label23");
  Label24 = MakeLabel("", 408, 160, "Label24");
  Label25 = MakeLabel("", 360, 116, "Label25");
  for (QLabel* value : {Label23, Label24}) value->setMinimumWidth(60);
  Label25->setMinimumWidth(44);
  EdInitF = new QLineEdit("3.0", central);
  EdInitF->setObjectName("EdInitF");
  EdInitF->setGeometry(296, 136, 52, 20);
  EdInitH = new QLineEdit(QString::number(kDefaultInitialDamping), central);
  EdInitH->setObjectName("EdInitH");
  EdInitH->setGeometry(296, 160, 52, 20);
  for (QLineEdit* box : {EdInitF, EdInitH}) {
    box->setStyleSheet("background-color: rgb(211, 211, 211); color: rgb(128, 0, 0);");
  }

  MakeLabel("繰返回数", 408, 192);
  MakeLabel("近似度", 296, 192);
  Label15 = MakeLabel("", 472, 192, "Label15");
  Label19 = MakeLabel("", 352, 192, "Label19");
  Label15->setMinimumWidth(60);
  Label19->setMinimumWidth(52);
  // In the free space right of the results: the evaluation's warnings, short;
  // the hint says what each means.
  LabelFlags = MakeLabel("", 540, 192, "LabelFlags");
  LabelFlags->setStyleSheet("color: rgb(255, 0, 0);");
  LabelFlags->setMinimumWidth(124);
  LabelFlags->setMaximumWidth(128);

  CBWhite = new QCheckBox("白地グラフ", central);
  CBWhite->setObjectName("CBWhite");
  CBWhite->setGeometry(672, 192, 110, 20);
  CBWhite->setToolTip("グラフ地色指定");
  Connect(CBWhite, &QCheckBox::clicked, [this] { CBWhiteClick(); });

  Button1 = MakeButton(central, "終　了", 704, 624, 75, 25, "Button1");
  Connect(Button1, &QPushButton::clicked, [this] { Button1Click(); });
}

void TOpen::BuildMenu() {
  auto action = [this](QMenu* menu, const QString& text, const char* name, std::function<void()> handler) {
    QAction* item = menu->addAction(text);
    item->setObjectName(name);
    Connect(item, &QAction::triggered, std::move(handler));
    return item;
  };
  QMenu* file = menuBar()->addMenu("ファイル");
  N2 = action(file, "開く", "N2", [this] { N2Click(); });
  N2->setShortcut(QKeySequence::Open);
  CSV = action(file, "CSVファイル読込", "CSV", [this] { CSVClick(); });
  SPC511 = action(file, "SPC-51ファイル読込", "SPC511", [this] { SPC511Click(); });
  OTHER = action(file, "他の形式のファイルを開く…", "OTHER", [this] { OTHERClick(); });
  RecentMenu = file->addMenu("最近使ったファイル");
  RecentMenu->setObjectName("RecentMenu");
  connect(RecentMenu, &QMenu::aboutToShow, this, [this] { Guard([this] { RecentMenuShow(); }); });
  file->addSeparator();
  OpenWorkItem = action(file, "作業を開く…", "OpenWorkItem", [this] { OpenWorkClick(); });
  SaveWorkItem = action(file, "作業を保存…", "SaveWorkItem", [this] { SaveWorkClick(); });
  SaveWorkItem->setEnabled(false);
  file->addSeparator();
  OtherFormat = new TOtherFormat(platform_, this);
  CSVF = action(file, "CSVファイルへ変換", "CSVF", [this] { CSVFClick(); });
  CSVF->setEnabled(false);
  ReportItem = action(file, "報告書を保存…", "ReportItem", [this] { ReportClick(); });
  ReportItem->setEnabled(false);
  file->addSeparator();
  OperatorItem = action(file, "報告者の名前…", "OperatorItem", [this] { OperatorClick(); });
  ResetSettingsItem = action(file, "設定を初期化", "ResetSettingsItem", [this] { ResetSettingsClick(); });
  file->addSeparator();
  N3 = action(file, "終了", "N3", [this] { N3Click(); });
  N3->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

  QMenu* edit = menuBar()->addMenu("編集");
  QMenu* steps = edit->addMenu("波形表示ステップ");
  for (std::size_t i = 0; i < kArrowSteps.size(); ++i) {
    const int step = kArrowSteps[i];
    const QString name = QString("N%1").arg(step) + "1";  // N2001, N5001, N10001, N20001
    StepItems[i] = action(steps, QString::number(step), name.toLatin1().constData(), [this, step] { StepClick(step); });
    StepItems[i]->setCheckable(true);
    StepItems[i]->setChecked(step == kDefaultArrowStep);
  }
  CenterPass = action(edit, "バンドパスフィルタ", "CenterPass", [this] { CenterPassClick(); });
  CenterPass->setEnabled(false);
  RD = action(edit, "RD法（ランダムデクリメント）…", "RD", [this] { RDClick(); });
  RD->setEnabled(false);
  RandomDec = new TRandomDec(platform_, this);
  RandomDec->setObjectName("RandomDec");
  ModesItem = action(edit, "複数モード評価…", "ModesItem", [this] { ModesClick(); });
  ModesItem->setEnabled(false);
  ModesDialog = new TModes(platform_, session_, this);
  BuildOverview(edit);
  QMenu* scale = edit->addMenu("表示時間幅");
  TIMESCALE = scale->menuAction();
  TIMESCALE->setObjectName("TIMESCALE");
  TIMESCALE->setEnabled(false);
  DIV1 = action(scale, "標準", "DIV1", [this] { DIV1Click(); });
  DIV10 = action(scale, "短時間", "DIV10", [this] { DIV10Click(); });
  DIV1->setCheckable(true);
  DIV10->setCheckable(true);
  DIV1->setChecked(true);

  QMenu* help = menuBar()->addMenu("ヘルプ");
  N7 = action(help, "使い方", "N7", [this] { N7Click(); });
  N7->setShortcut(QKeySequence(Qt::Key_F1));

  // The picture's export has no menu item; its keys work while its buttons do.
  auto shortcut = [this](QKeySequence keys, QPushButton* button) {
    auto* key = new QShortcut(keys, this);
    Connect(key, &QShortcut::activated, [button] {
      if (button->isEnabled()) button->click();
    });
    return key;
  };
  SaveShortcut = shortcut(QKeySequence(Qt::CTRL | Qt::Key_S), Button7);
  CopyShortcut = shortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C), Button3);
  N8 = action(help, "バージョン情報", "N8", [this] { N8Click(); });
}

void TOpen::FormCreate() {
  ViewWindow& view = session_.View();
  view = ViewWindow{};
  session_.SelectKind(FileKind::Csv);
  openFilterIndex_ = 1;
  plot_->Wave().Clear(view.PlotBackground);
  plot_->Refresh();
  Label16->setText("");
  // The results file and the log stay in the folder the program started in,
  // wherever the file dialogs go later.
  std::error_code unknown;
  session_.RecordIn(std::filesystem::current_path(unknown).string());
  for (QLabel* label : {LabelChannels, LabelData, LabelRate, Label15, Label19, Label23, Label24, Label25, LabelTime,
                        Label28, Label29, LabelRecordTime}) {
    label->setText("");
  }
  cursor_ = Crosshair{};
  SetTimeScaleCaptions();
  WidthItems[kDefaultWidthIndex]->setChecked(true);
}

// The two ways out of the program; no failure ends it.
void TOpen::N3Click() {
  close();
  platform_.RequestQuit();
}

void TOpen::Button1Click() {
  session_.CloseResultsFile();
  close();
  platform_.RequestQuit();
}

void TOpen::closeEvent(QCloseEvent* event) {
  // The secondary windows go with the main one; the results file is complete
  // on disk already (every row is flushed) and is closed here.
  session_.CloseResultsFile();
  RememberWindowPlaces();
  for (QWidget* window : std::initializer_list<QWidget*>{howTo_, about_, graph_, format_, center_, Overview}) {
    if (window != nullptr) window->hide();
  }
  event->accept();
}

void TOpen::N7Click() {
  if (howTo_ != nullptr) howTo_->ShowWindow();
}

void TOpen::N8Click() {
  if (about_ != nullptr) about_->ShowWindow();
}

void TOpen::Button11Click() {
  if (graph_ != nullptr) graph_->ShowPlot(session_.View().PlotBackground);
}
