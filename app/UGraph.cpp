#include "app/UGraph.h"

#include <QAction>
#include <QFont>
#include <QLabel>
#include <QMenu>
#include <QUndoCommand>
#include <QUndoStack>
#include <functional>
#include <optional>
#include <QPalette>
#include <QPushButton>

#include "app/GraphImage.h"
#include "app/GraphNotices.h"
#include "app/UFormat.h"
#include "components/qt/AccessibleNames.h"
#include "components/MyGraph.h"
#include "components/Platform.h"
#include "components/qt/Fonts.h"
#include "components/qt/ScreenCentre.h"
#include "components/qt/WindowLook.h"
#include "session/Session.h"
#include "components/Markers.h"

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
constexpr int kPickRadius = 5;    // pixels from a marker's centre that still pick it

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
    : QWidget(parent, Qt::Window), platform_(platform), session_(session), undo_(new QUndoStack(this)) {
  setWindowTitle(QStringLiteral("振動特性散布図"));
  SetGraphWindowLook(*this, kOuterSize, kBackground);

  image_ = new TGraphImage(platform, kGraphSize, kGraphSize, this);
  image_->setObjectName("MyGraph1");
  image_->move(8, 8);
  image_->setToolTip(QStringLiteral("右クリックで書式呼び出し"));
  image_->OnMouseDown = [this](Qt::MouseButton button) { MyGraph1MouseDown(button); };
  image_->OnRightClick = [this](int x, int y) { MyGraph1RightClick(x, y); };
  // Ctrl+Z and Ctrl+Shift+Z take an exclusion back and make it again.
  QAction* undo = undo_->createUndoAction(this, QStringLiteral("元に戻す"));
  undo->setShortcut(QKeySequence::Undo);
  QAction* redo = undo_->createRedoAction(this, QStringLiteral("やり直し"));
  redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence::Redo});
  addAction(undo);
  addAction(redo);

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
  NameControls(*this);
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
  graph.PlotGraph(store.NData, store.DataF.data(), store.DataH.data(), kMarkerCircle, kPointMarkerRadius);
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
  background_ = plotBackground;
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
  ForgetExclusions();
}

void TGraph::Replot() {
  TMyGraph& graph = image_->Graph();
  graph.Clear(background_);
  graph.DrawWaku();
  PlotPoints();
  if (session_.Store().NData == 0) {
    for (QLabel* label : {labelAveF_.data(), labelAveH_.data(), labelCount_.data()}) {
      if (label != nullptr) label->clear();
    }
  }
}

int TGraph::PointAt(int x, int y) const {
  const TMyGraph& graph = const_cast<TGraphImage*>(image_)->Graph();
  const ResultStore& store = session_.Store();
  int best = -1;
  int bestDistance = kPickRadius * kPickRadius + 1;
  for (int i = 0; i < store.NData; ++i) {
    int px = 0, py = 0;
    if (!graph.MapPoint(store.DataF[static_cast<std::size_t>(i)], store.DataH[static_cast<std::size_t>(i)], px, py)) {
      continue;
    }
    const int distance = (px - x) * (px - x) + (py - y) * (py - y);
    if (distance < bestDistance) {
      best = i;
      bestDistance = distance;
    }
  }
  return best;
}

namespace {

// Taking a pair out of the store, undoably.
class ExcludeCommand final : public QUndoCommand {
 public:
  ExcludeCommand(Session& session, int index, std::function<void(const std::vector<Notice>&)> after)
      : QUndoCommand(QStringLiteral("この点を除外")), session_(session), index_(index), after_(std::move(after)) {}
  void redo() override {
    std::vector<Notice> notices;
    point_ = session_.ExcludePoint(index_, notices);
    after_(notices);
  }
  void undo() override {
    std::vector<Notice> notices;
    if (point_) session_.RestorePoint(*point_, notices);
    after_(notices);
  }

 private:
  Session& session_;
  int index_;
  std::optional<ExcludedPoint> point_;
  std::function<void(const std::vector<Notice>&)> after_;
};

}  // namespace

void TGraph::ExcludePoint(int index) {
  if (index < 0 || index >= session_.Store().NData) return;
  undo_->push(new ExcludeCommand(session_, index, [this](const std::vector<Notice>& notices) {
    Replot();
    for (const Notice& notice : notices) platform_.ShowMessage(notice.Text, notice.Title, MessageIcon::Warning);
  }));
}

void TGraph::ForgetExclusions() { undo_->clear(); }

void TGraph::MyGraph1RightClick(int x, int y) {
  const int index = PointAt(x, y);
  if (index < 0) {
    MyGraph1MouseDown(Qt::RightButton);
    return;
  }
  QMenu menu(this);
  QAction* exclude = menu.addAction(QStringLiteral("この点を除外"));
  QAction* format = menu.addAction(QStringLiteral("グラフ書式…"));
  format->setEnabled(!format_.isNull());
  QAction* chosen = menu.exec(image_->mapToGlobal(QPoint(x, y)));
  if (chosen == exclude) ExcludePoint(index);
  if (chosen == format) MyGraph1MouseDown(Qt::RightButton);
}

void TGraph::Button3Click() { image_->Graph().Copy(); }

void TGraph::MyGraph1MouseDown(Qt::MouseButton button) {
  if (button != Qt::RightButton || !format_) return;
  format_->show();
  format_->raise();
  format_->activateWindow();
}

TMyGraph& TGraph::MyGraph1() { return image_->Graph(); }

// Every drawing of the scatter graph ends here, so its notices are shown here.
void TGraph::RepaintGraph() {
  image_->Refresh();
  ShowGraphNotices(platform_, image_->Graph());
}
