#include "app/UFormat.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cfloat>
#include <optional>
#include <string>

#include "app/Conversions.h"
#include "app/GraphImage.h"
#include "app/GraphNotices.h"
#include "app/UGraph.h"
#include "app/UpDown.h"
#include "components/qt/AccessibleNames.h"
#include "components/MyGraph.h"
#include "components/Platform.h"

namespace {

constexpr QSize kOuterSize{349, 359};
const QColor kBackground(255, 244, 255);
constexpr int kPreviewSize = 250;
constexpr int kEditHeight = 21;
constexpr int kCountEditWidth = 25;
constexpr int kValueEditWidth = 41;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;

constexpr int kGridMin = 1;
constexpr int kGridMax = 10;
constexpr int kSubMin = 0;
constexpr int kSubMax = 10;

constexpr Rgb kWhite{255, 255, 255};

void MakeLabel(QWidget* parent, const char* caption, int x, int y) {
  auto* label = new QLabel(QString::fromUtf8(caption), parent);
  label->move(x, y);
  label->adjustSize();
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, const char* text, int x, int y, int width) {
  auto* edit = new QLineEdit(QString::fromUtf8(text), parent);
  edit->setObjectName(name);
  edit->setGeometry(x, y, width, kEditHeight);
  return edit;
}

TUpDown* MakeUpDown(QWidget* parent, const char* name, QLineEdit* edit, int min, int max,
                    int position, int x, int y) {
  auto* upDown = new TUpDown(min, max, position, parent);
  upDown->setObjectName(name);
  upDown->move(x, y);
  upDown->SetAssociate(edit);
  return upDown;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, int x, int y) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  button->setObjectName(name);
  button->setGeometry(x, y, kButtonWidth, kButtonHeight);
  button->setAutoDefault(false);
  return button;
}

std::optional<double> NumberOrNothing(const QString& text) {
  try {
    return StrToFloat(text);
  } catch (const ConversionError&) {
    return std::nullopt;
  }
}

// The graph keeps a full scale as its value per division, in single precision,
// and labels its last tick with that value times the divisions, also in single
// precision: the full scale, the value per division and the last tick must all
// be finite and above 0 there. The same rule for both axes.
bool FitsSinglePrecision(double fullScale, int divisions) {
  if (!(fullScale <= FLT_MAX)) return false;
  const auto perDivision = static_cast<float>(fullScale / divisions);
  return perDivision > 0.0f && static_cast<double>(perDivision) * divisions <= FLT_MAX;
}

}  // namespace

TGFormat::TGFormat(Platform& platform, TGraph& graph, QWidget* parent)
    : QDialog(parent), platform_(platform), graph_(graph) {
  setWindowTitle(QStringLiteral("グラフ書式"));
  SetGraphWindowLook(*this, kOuterSize, kBackground);
  setModal(false);

  preview_ = new TGraphImage(platform, kPreviewSize, kPreviewSize, this);
  preview_->setObjectName("MyGraph1");
  preview_->move(80, 8);
  TMyGraph& preview = preview_->Graph();
  preview.NGridX = 5;
  preview.NGridY = 5;
  preview.WidthX = 200;
  preview.HeightY = 200;
  preview.OriginX = 35;
  preview.OriginY = 220;
  preview.VValueX = 1.0f;
  preview.VValueY = 0.02f;
  preview.TitleX = "固有振動数　[Hz]";
  preview.TitleY = "減衰比";

  MakeLabel(this, "MaxY", 24, 8);
  edMaxY_ = MakeEdit(this, "EdMaxY", "0.1", 24, 24, kValueEditWidth);
  MakeLabel(this, "NGridY", 18, 64);
  edGridY_ = MakeEdit(this, "EdGridY", "5", 24, 80, kCountEditWidth);
  upDown1_ = MakeUpDown(this, "UpDown1", edGridY_, kGridMin, kGridMax, 5, 49, 80);
  MakeLabel(this, "SubY", 25, 120);
  edSubY_ = MakeEdit(this, "EdSubY", "4", 24, 136, kCountEditWidth);
  upDown2_ = MakeUpDown(this, "UpDown2", edSubY_, kSubMin, kSubMax, 4, 49, 136);
  MakeLabel(this, "NGridX", 120, 272);
  edGridX_ = MakeEdit(this, "EdGridX", "5", 168, 264, kCountEditWidth);
  upDown3_ = MakeUpDown(this, "UpDown3", edGridX_, kGridMin, kGridMax, 5, 193, 264);
  MakeLabel(this, "SubX", 131, 304);
  edSubX_ = MakeEdit(this, "EdSubX", "4", 168, 296, kCountEditWidth);
  upDown4_ = MakeUpDown(this, "UpDown4", edSubX_, kSubMin, kSubMax, 4, 193, 296);
  MakeLabel(this, "MaxX", 240, 272);
  edMaxX_ = MakeEdit(this, "EdMaxX", "5.0", 280, 264, kValueEditWidth);

  button1_ = MakeButton(this, "Button1", "設　定", 8, 296);
  button1_->setToolTip(QStringLiteral("書式変更"));
  button2_ = MakeButton(this, "Button2", "閉じる", 256, 296);
  connect(button1_, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(button2_, &QPushButton::clicked, this, [this] { Button2Click(); });

  graph_.SetFormatDialog(this);
  FormCreate();
  NameControls(*this, {{"EdMaxY", "縦軸の最大値 MaxY"},
                       {"EdGridY", "縦軸の目盛り数 NGridY"},
                       {"EdSubY", "縦軸の補助目盛り数 SubY"},
                       {"EdGridX", "横軸の目盛り数 NGridX"},
                       {"EdSubX", "横軸の補助目盛り数 SubX"},
                       {"EdMaxX", "横軸の最大値 MaxX"}});
}

// The scatter window holds this dialog through a guarded pointer, so nothing
// needs undoing here whichever of the two goes first.
TGFormat::~TGFormat() = default;

void TGFormat::FormCreate() {
  TMyGraph& preview = preview_->Graph();
  preview.Clear(kWhite);
  preview.DrawWaku();
  preview_->Refresh();
  ShowGraphNotices(platform_, preview);
}

bool TGFormat::FullScalesAcceptable() {
  struct FullScale {
    const char* name;
    const QLineEdit* edit;
    const TUpDown* grid;
  };
  for (const FullScale& scale : {FullScale{"MaxX", edMaxX_, upDown3_},
                                 FullScale{"MaxY", edMaxY_, upDown1_}}) {
    const std::optional<double> value = NumberOrNothing(scale.edit->text());
    if (!value) continue;
    std::string message;
    if (*value <= 0.0) {
      message = std::string(scale.name) + " は 0 より大きい値にしてください。";
    } else if (!FitsSinglePrecision(*value, scale.grid->Position())) {
      message = std::string(scale.name) + " の値が範囲外です（単精度の数で表せる大きさにしてください）。";
    }
    if (!message.empty()) {
      platform_.ShowMessage(message, "書式設定エラー", MessageIcon::Warning);
      return false;
    }
  }
  return true;
}

void TGFormat::AssignScale(TMyGraph& graph) {
  graph.NGridX = upDown3_->Position();
  graph.SubX = upDown4_->Position();
  graph.NGridY = upDown1_->Position();
  graph.SubY = upDown2_->Position();
  graph.VValueX = static_cast<float>(StrToFloat(edMaxX_->text()) / upDown3_->Position());
  graph.VValueY = static_cast<float>(StrToFloat(edMaxY_->text()) / upDown1_->Position());
}

void TGFormat::Button1Click() {
  RunGuarded(platform_, [this] {
    if (!FullScalesAcceptable()) return;

    TMyGraph& scatter = graph_.MyGraph1();
    AssignScale(scatter);
    scatter.Clear(kWhite);
    scatter.DrawWaku();
    graph_.PlotPoints();  // also repaints the scatter graph

    TMyGraph& preview = preview_->Graph();
    AssignScale(preview);
    preview.Clear(kWhite);
    preview.DrawWaku();
    preview_->Refresh();
    ShowGraphNotices(platform_, preview);
  });
}

void TGFormat::Button2Click() { hide(); }

void TGFormat::SetMaxXText(const QString& text) { edMaxX_->setText(text); }

TMyGraph& TGFormat::MyGraph1() { return preview_->Graph(); }
