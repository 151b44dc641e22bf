#include "app/URandomDec.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "analysis/RandomDecrement.h"
#include "app/Conversions.h"
#include "app/UCenter.h"
#include "components/Platform.h"
#include "components/qt/ScreenCentre.h"

TRandomDec::TRandomDec(Platform& platform, QWidget* parent) : QDialog(parent), platform_(platform) {
  setObjectName("RandomDec");
  setWindowTitle("RD法（ランダムデクリメント）");
  SetSettingsDialogLook(*this, {kOuterWidth, kOuterHeight});

  // Laid out in the 269 x 116 client area, as the band-pass dialog is.
  auto label = [this](const QString& text, int x, int y) {
    auto* l = new QLabel(text, this);
    l->move(x, y);
    l->adjustSize();
  };
  label("トリガレベル（σ）", 16, 18);
  EdLevel = new QLineEdit(QString::number(kDefaultTriggerLevel), this);
  EdLevel->setObjectName("EdLevel");
  EdLevel->setGeometry(152, 14, 65, 21);
  label("信号の長さ", 16, 48);
  EdLength = new QLineEdit(QString::number(kDefaultSignatureSeconds), this);
  EdLength->setObjectName("EdLength");
  EdLength->setGeometry(152, 44, 65, 21);
  label("秒", 224, 48);

  Button1 = new QPushButton("OK", this);
  Button1->setObjectName("Button1");
  Button1->setGeometry(97, 80, 75, 25);
  Button1->setDefault(true);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
}

void TRandomDec::SetRecord(double rate, int sampleCount) {
  rate_ = rate;
  sampleCount_ = sampleCount;
}

void TRandomDec::Button1Click() {
  RunGuarded(platform_, [this] {
    const double level = StrToFloat(EdLevel->text());
    // Seconds held in single precision, as the view holds its width.
    const auto length = static_cast<float>(StrToFloat(EdLength->text()));
    if (const std::optional<RandomDecrementFailure> problem =
            RandomDecrementSettingProblem(level, length, rate_, static_cast<std::size_t>(std::max(sampleCount_, 0)))) {
      platform_.ShowMessage(problem->Message, kInputErrorTitle, MessageIcon::Warning);
      return;
    }
    level_ = level;
    length_ = length;
    accept();
  });
}

void TRandomDec::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  CentreOnScreen(*this);
}
