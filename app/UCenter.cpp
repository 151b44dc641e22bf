#include "app/UCenter.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cstdio>
#include <optional>
#include <string>

#include "analysis/BandPass.h"
#include "app/Conversions.h"
#include "io/NumberText.h"
#include "components/qt/AccessibleNames.h"
#include "components/Platform.h"
#include "session/Session.h"
#include "components/qt/Fonts.h"
#include "components/qt/ScreenCentre.h"
#include "components/qt/WindowLook.h"

namespace {

const QColor kBackground(255, 244, 255);
const QColor kTextColour(0, 128, 0);  // green
constexpr int kFontPixels = 13;

}  // namespace

void SetSettingsDialogLook(QDialog& dialog, QSize outerSize) {
  dialog.setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  SetOuterSize(dialog, outerSize);
  dialog.setModal(true);
  QFont font(QString::fromLatin1(kUiFontFamily));
  font.setPixelSize(kFontPixels);
  font.setBold(true);
  dialog.setFont(font);
  QPalette colours = dialog.palette();
  colours.setColor(QPalette::Window, kBackground);
  SetLiveTextColour(colours, QPalette::WindowText, kTextColour);
  dialog.setPalette(colours);
  dialog.setAutoFillBackground(true);
}

TCenter::TCenter(Platform& platform, const Session& session, QWidget* parent)
    : QDialog(parent), platform_(platform), session_(session) {
  setObjectName("Center");
  setWindowTitle("バンドパスフィルタ特性");
  SetSettingsDialogLook(*this, {kOuterWidth, kOuterHeight});

  auto label = [this](const QString& text, int x, int y) {
    auto* l = new QLabel(text, this);
    l->move(x, y);
    l->adjustSize();
    return l;
  };
  // Laid out in the 269 x 151 client area of the 277 x 185 window.
  label("中央振動数", 40, 18);
  EdCenter = new QLineEdit("2.5", this);
  EdCenter->setObjectName("EdCenter");
  EdCenter->setGeometry(152, 14, 65, 21);
  label("Hz", 224, 18);

  label("帯域幅率（１未満）", 16, 48);
  EdRatio = new QLineEdit("0.1", this);
  EdRatio->setObjectName("EdRatio");
  EdRatio->setGeometry(152, 44, 65, 21);

  CBBand = new QCheckBox("バンドパス　ON/OFF", this);
  CBBand->setObjectName("CBBand");
  CBBand->move(72, 78);
  CBBand->adjustSize();

  Button1 = new QPushButton("OK", this);
  Button1->setObjectName("Button1");
  Button1->setGeometry(97, 112, 75, 25);
  Button1->setDefault(true);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  NameControls(*this, {{"EdCenter", "中央振動数（Hz）"}, {"EdRatio", "帯域幅率（１未満）"}});
}

bool TCenter::BandOn() const { return CBBand->isChecked(); }
void TCenter::SetBandOn(bool on) { CBBand->setChecked(on); }
QString TCenter::CenterText() const { return EdCenter->text(); }
void TCenter::SetCenterText(const QString& text) { EdCenter->setText(text); }
QString TCenter::RatioText() const { return EdRatio->text(); }
void TCenter::SetRatioText(const QString& text) { EdRatio->setText(text); }

QString TCenter::BandText(float lower, float upper) {
  // The C library's rounding of "%.2f" (an exact tie goes to the even digit),
  // as every other number the program prints.
  return QString::fromStdString(FormatC("%.2f-%.2fHz", static_cast<double>(lower), static_cast<double>(upper)));
}

void TCenter::Button1Click() {
  RunGuarded(platform_, [this] {
    QString label;
    std::optional<BandEdges> confirmed;
    if (CBBand->isChecked()) {
      const auto centre = static_cast<float>(StrToFloat(EdCenter->text()));
      const auto ratio = static_cast<float>(StrToFloat(EdRatio->text()));
      // The record's sampling interval as the filter gets it; 0 before a load.
      const float dt = session_.Loaded() ? session_.Record().Dt : 0.0f;
      if (const std::optional<std::string> problem = BandSettingProblem(centre, ratio, dt)) {
        platform_.ShowMessage(*problem, kInputErrorTitle, MessageIcon::Warning);
        return;
      }
      confirmed = EdgesFromCentre(centre, ratio);
      label = BandText(confirmed->Lower, confirmed->Upper);
    } else {
      label = "なし";
    }
    confirmed_ = confirmed;
    label34Text_ = label;
    accept();
  });
}

void TCenter::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  confirmed_.reset();
  CentreOnScreen(*this);
}
