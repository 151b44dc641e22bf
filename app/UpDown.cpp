#include "app/UpDown.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <algorithm>

namespace {

constexpr int kWidth = 16;   // width of the arrow column
constexpr int kHeight = 21;  // height of the bound edit box

}  // namespace

TUpDown::TUpDown(int min, int max, int position, QWidget* parent)
    : QWidget(parent),
      min_(min),
      max_(std::max(min, max)),
      position_(std::clamp(position, min_, max_)),
      up_(new QToolButton(this)),
      down_(new QToolButton(this)) {
  setFixedSize(kWidth, kHeight);
  up_->setObjectName("Up");
  down_->setObjectName("Down");
  up_->setAccessibleName("1 増やす");
  down_->setAccessibleName("1 減らす");
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  const int half = kHeight / 2;
  up_->setGeometry(0, 0, kWidth, half);
  down_->setGeometry(0, half, kWidth, kHeight - half);
  for (QToolButton* button : {up_, down_}) {
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
  }
  connect(up_, &QToolButton::clicked, this, [this] { StepUp(); });
  connect(down_, &QToolButton::clicked, this, [this] { StepDown(); });
}

void TUpDown::SetAssociate(QLineEdit* edit) {
  associate_ = edit;
  if (!edit) return;
  edit->setText(QString::number(position_));
  edit->installEventFilter(this);
  connect(edit, &QLineEdit::textEdited, this, [this](const QString& text) { FollowText(text); });
}

void TUpDown::SetPosition(int position) {
  position_ = std::clamp(position, min_, max_);
  if (associate_) associate_->setText(QString::number(position_));
}

void TUpDown::FollowText(const QString& text) {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok);
  if (ok && value >= min_ && value <= max_) position_ = value;
}

bool TUpDown::eventFilter(QObject* watched, QEvent* event) {
  if (watched == associate_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Up) {
      StepUp();
      return true;
    }
    if (key == Qt::Key_Down) {
      StepDown();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}
