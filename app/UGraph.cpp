#include "app/UGraph.h"

#include <QFont>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

#include "app/GraphImage.h"
#include "app/UFormat.h"
#include "components/MyGraph.h"
#include "components/Platform.h"
#include "components/qt/Fonts.h"
#include "components/qt/ScreenCentre.h"
#include "components/qt/WindowLook.h"
#include "session/Session.h"

namespace {

constexpr int kFontPixels = 13;

constexpr QSize kOuterSize{330, 392};
const QColor kBackground(211, 237, 252);
constexpr int kGraphSize = 300;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kMarkerPen{255, 0, 0};
constexpr int kMarkerPenWidth = 2;
constexpr int kCircle = 0;        // marker type of TMyGraph
constexpr int kCircleRadius = 3;  // pixels

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, int x, int y) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setGeometry(x, y, kButtonWidth, kButtonHeight);
  return button;
}

}  // namespace

void SetGraphWindowLook(QWidget& window, QSize outerSize, QColor background) {
  QFont font;
  font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                    QString::fromLatin1(kUiFontFamily), QStringLiteral("Noto Sans CJK JP")});
  font.setPixelSize(kFontPixels);
  font.setBold(true);
  window.setFont(font);

  QPalette palette = window.palette();
  const QColor green(0, 128, 0);
  palette.setColor(QPalette::Window, background);
  SetFormTextColour(palette, green);
  window.setPalette(palette);
  window.setAutoFillBackground(true);

  SetOuterSize(window, outerSize);
  CentreOnScreen(window);
}

TGraph::TGraph(Platform& platform, Session& session, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session) {
  setWindowTitle(QStringLiteral("振動特性散布図"));
  SetGraphWindowLook(*this, kOuterSize, kBackground);

  image_ = new TGraphImage(platform, kGraphSize, kGraphSize, this);
  image_->setObjectName("MyGraph1");
  image_->move(8, 8);
  image_->setToolTip(QStringLiteral("右クリックで書式呼び出し"));
  image_->OnMouseDown = [this](Qt::MouseButton button) { MyGraph1MouseDown(button); };

  TMyGraph& graph = image_->Graph();
  graph.NGridX = 5;
  graph.NGridY = 5;
  graph.WidthX = 250;
  graph.HeightY = 250;
  graph.OriginX = 35;
  graph.OriginY = 270;
  graph.VValueX = 1.0f;
  graph.VValueY = 0.02f;
  graph.SubX = 4;
  graph.SubY = 4;
  graph.TitleX = "固有振動数[Hz]";
  graph.TitleY = "減衰比";

  button2_ = MakeButton(this, "Button2", QStringLiteral("リセット"), 8, 320);
  button2_->setToolTip(QStringLiteral("グラフ削除/平均値リセット"));
  button3_ = MakeButton(this, "Button3", QStringLiteral("コピー"), 120, 320);
  button1_ = MakeButton(this, "Button1", QStringLiteral("閉じる"), 232, 320);
  connect(button1_, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(button2_, &QPushButton::clicked, this, [this] { Button2Click(); });
  connect(button3_, &QPushButton::clicked, this, [this] { Button3Click(); });

  FormCreate();
}

TGraph::~TGraph() = default;

void TGraph::FormCreate() {
  TMyGraph& graph = image_->Graph();
  graph.Clear(kWhite);
  graph.DrawWaku();
  RepaintGraph();
}

void TGraph::SetMainLabels(QLabel* aveF, QLabel* aveH, QLabel* count) {
  labelAveF_ = aveF;
  labelAveH_ = aveH;
  labelCount_ = count;
}

void TGraph::SetFormatDialog(TGFormat* format) { format_ = format; }

TGFormat* TGraph::FormatDialog() const { return format_.data(); }

void TGraph::PlotPoints() {
  TMyGraph& graph = image_->Graph();
  Canvas& canvas = graph.GetCanvas();
  canvas.SetPenColor(kMarkerPen);
  canvas.SetPenWidth(kMarkerPenWidth);
  const ResultStore& store = session_.Store();
  graph.PlotGraph(store.NData, store.DataF.data(), store.DataH.data(), kCircle, kCircleRadius);
  RepaintGraph();
  ShowAverages();
}

void TGraph::ShowAverages() {
  const AverageTexts texts = AverageLabels(session_.Store());
  if (!texts.Valid) return;
  if (labelAveF_) labelAveF_->setText(QString::fromStdString(texts.MeanF));
  if (labelAveH_) labelAveH_->setText(QString::fromStdString(texts.MeanH));
  if (labelCount_) labelCount_->setText(QString::fromStdString(texts.Count));
}

void TGraph::ShowPlot(Rgb plotBackground) {
  TMyGraph& graph = image_->Graph();
  graph.Clear(plotBackground);
  graph.DrawWaku();
  PlotPoints();
  show();
  raise();
}

void TGraph::Button1Click() { hide(); }

void TGraph::Button2Click() {
  TMyGraph& graph = image_->Graph();
  graph.Clear(kWhite);
  graph.DrawWaku();
  RepaintGraph();
  if (labelAveF_) labelAveF_->clear();
  if (labelAveH_) labelAveH_->clear();
  if (labelCount_) labelCount_->clear();
  session_.ResetStore();
}

void TGraph::Button3Click() { image_->Graph().Copy(); }

void TGraph::MyGraph1MouseDown(Qt::MouseButton button) {
  if (button != Qt::RightButton || !format_) return;
  format_->show();
  format_->raise();
  format_->activateWindow();
}

TMyGraph& TGraph::MyGraph1() { return image_->Graph(); }

void TGraph::RepaintGraph() { image_->Refresh(); }
