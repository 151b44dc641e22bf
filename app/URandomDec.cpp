#include "app/URandomDec.h"

#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <string>

#include "analysis/RandomDecrement.h"
#include "app/Conversions.h"
#include "app/UCenter.h"
#include "components/qt/AccessibleNames.h"
#include "components/Platform.h"
#include "components/qt/ScreenCentre.h"
#include "io/NumberText.h"

TRandomDec::TRandomDec(Platform& platform, QWidget* parent) : QDialog(parent), platform_(platform) {
  setObjectName("RandomDec");
  setWindowTitle("RD法（ランダムデクリメント）");
  SetSettingsDialogLook(*this, {kOuterWidth, kOuterHeight});

  auto label = [this](const QString& text, int x, int y) {
    auto* l = new QLabel(text, this);
    l->move(x, y);
    l->adjustSize();
    return l;
  };
  auto edit = [this](const QString& text, const char* name, int x, int y, int width, const QString& what) {
    auto* box = new QLineEdit(text, this);
    box->setObjectName(name);
    box->setGeometry(x, y, width, 21);
    box->setAccessibleName(what);
    connect(box, &QLineEdit::editingFinished, this, [this] { ShowTriggers(); });
    return box;
  };
  label("トリガレベル（σ）", 16, 18);
  EdLevel = edit(QString::number(kDefaultTriggerLevel), "EdLevel", 172, 14, 65, "トリガレベル（σ）");
  label("信号の長さ", 16, 48);
  EdLength = edit(QString::number(kDefaultSignatureSeconds), "EdLength", 172, 44, 65, "信号の長さ（秒）");
  label("秒", 244, 48);

  label("対象とする範囲", 16, 78);
  RadioWhole = new QRadioButton("記録全体", this);
  RadioWhole->setObjectName("RadioWhole");
  RadioWhole->setGeometry(24, 98, 120, 20);
  RadioWhole->setChecked(true);
  RadioShown = new QRadioButton("表示区間", this);
  RadioShown->setObjectName("RadioShown");
  RadioShown->setGeometry(150, 98, 120, 20);
  RadioTyped = new QRadioButton("サンプル番号", this);
  RadioTyped->setObjectName("RadioTyped");
  RadioTyped->setGeometry(24, 122, 120, 20);
  auto* group = new QButtonGroup(this);
  for (QRadioButton* radio : {RadioWhole, RadioShown, RadioTyped}) group->addButton(radio);
  connect(group, &QButtonGroup::buttonToggled, this, [this](QAbstractButton*, bool on) {
    if (on) ShowTriggers();
  });
  EdFrom = edit("0", "EdFrom", 150, 122, 64, "範囲の開始サンプル");
  label("〜", 218, 125);
  EdTo = edit("", "EdTo", 236, 122, 64, "範囲の終了サンプル");

  LabelTriggers = new QLabel(this);
  LabelTriggers->setObjectName("LabelTriggers");
  LabelTriggers->setGeometry(16, 152, kOuterWidth - 40, 40);
  LabelTriggers->setWordWrap(true);

  Button1 = new QPushButton("OK", this);
  Button1->setObjectName("Button1");
  Button1->setGeometry(64, 200, 75, 25);
  Button1->setDefault(true);
  Button2 = new QPushButton("キャンセル", this);
  Button2->setObjectName("Button2");
  Button2->setGeometry(170, 200, 75, 25);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { reject(); });
  NameControls(*this);
}

void TRandomDec::SetRecord(double rate, std::span<const float> samples, std::int64_t shownFirst,
                           std::int64_t shownLast) {
  rate_ = rate;
  samples_ = samples;
  shownFirst_ = shownFirst;
  shownLast_ = shownLast;
  if (EdTo->text().isEmpty() || StrToIntOr(EdTo->text(), -1) >= static_cast<long long>(samples.size())) {
    EdTo->setText(QString::number(static_cast<long long>(samples.size()) - 1));
  }
  ShowTriggers();
}

bool TRandomDec::ChosenRange(std::int64_t& first, std::int64_t& last, std::string& problem) const {
  const auto count = static_cast<std::int64_t>(samples_.size());
  if (RadioShown->isChecked()) {
    first = shownFirst_;
    last = shownLast_;
  } else if (RadioTyped->isChecked()) {
    const long long from = StrToIntOr(EdFrom->text(), -1);
    const long long to = StrToIntOr(EdTo->text(), -1);
    if (from < 0 || to < from) {
      problem = "範囲は 0 以上の開始サンプルと、それ以上の終了サンプルで指定してください。";
      return false;
    }
    first = from;
    last = to;
  } else {
    first = 0;
    last = count - 1;
  }
  first = std::clamp<std::int64_t>(first, 0, std::max<std::int64_t>(count - 1, 0));
  last = std::clamp<std::int64_t>(last, first, std::max<std::int64_t>(count - 1, 0));
  return true;
}

void TRandomDec::ShowTriggers() {
  std::int64_t first = 0, last = 0;
  std::string problem;
  const double level = ParseDecimal(EdLevel->text().toStdString());
  const auto length = static_cast<float>(ParseDecimal(EdLength->text().toStdString()));
  if (!ChosenRange(first, last, problem)) {
    LabelTriggers->setText(QString::fromStdString(problem));
    return;
  }
  const std::span<const float> part = samples_.subspan(static_cast<std::size_t>(first),
                                                       static_cast<std::size_t>(last - first + 1));
  if (const auto refused = RandomDecrementSettingProblem(level, length, rate_, part.size())) {
    LabelTriggers->setStyleSheet("color: rgb(255, 0, 0);");
    LabelTriggers->setText(QString::fromStdString(refused->Message));
    return;
  }
  const std::optional<TriggerCount> count = CountTriggers(part, rate_, level, length);
  if (!count) {
    LabelTriggers->setStyleSheet("color: rgb(255, 0, 0);");
    LabelTriggers->setText("この範囲には数値でない値があります。");
    return;
  }
  QString text = QString("トリガ数 %1、σ = %2").arg(count->Triggers).arg(QString::fromStdString(FormatC("%.4g", count->Sigma)));
  const bool few = count->Triggers < kFewTriggers;
  if (few) text += QString("\nトリガが%1未満です。信号のばらつきが大きく、評価は不確かになります。").arg(kFewTriggers);
  LabelTriggers->setStyleSheet(few ? "color: rgb(255, 0, 0);" : QString());
  LabelTriggers->setText(text);
}

void TRandomDec::Button1Click() {
  RunGuarded(platform_, [this] {
    const double level = StrToFloat(EdLevel->text());
    // Seconds held in single precision, as the view holds its width.
    const auto length = static_cast<float>(StrToFloat(EdLength->text()));
    std::int64_t first = 0, last = 0;
    std::string problem;
    if (!ChosenRange(first, last, problem)) {
      platform_.ShowMessage(problem, kInputErrorTitle, MessageIcon::Warning);
      return;
    }
    if (const std::optional<RandomDecrementFailure> refused =
            RandomDecrementSettingProblem(level, length, rate_, static_cast<std::size_t>(last - first + 1))) {
      platform_.ShowMessage(refused->Message, kInputErrorTitle, MessageIcon::Warning);
      return;
    }
    level_ = level;
    length_ = length;
    first_ = first;
    last_ = last;
    accept();
  });
}

void TRandomDec::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  CentreOnScreen(*this);
}
