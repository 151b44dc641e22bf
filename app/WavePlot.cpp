#include "app/WavePlot.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "components/qt/WindowLook.h"

WavePlot::WavePlot(int width, int height, QWidget* parent)
    : QWidget(parent), canvas_(width, height, ScreenPixelRatio()), wave_(canvas_) {
  setFixedSize(width, height);
  setMouseTracking(true);
  // A click or Tab gives the plot the keys that move the view.
  setFocusPolicy(Qt::StrongFocus);
}

void WavePlot::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintExactPicture(painter, canvas_.Shown());
  if (hasFocus()) {
    // On the screen only: the picture that is copied or saved has no frame.
    painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

void WavePlot::keyPressEvent(QKeyEvent* event) {
  if (onKey && onKey(event->key())) {
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void WavePlot::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  update();
}

void WavePlot::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  update();
}

void WavePlot::mouseMoveEvent(QMouseEvent* event) {
  if (onMouseMove) onMouseMove(event->position().toPoint().x(), event->position().toPoint().y());
  update();
}

void WavePlot::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && onMouseDown) {
    onMouseDown(event->position().toPoint().x(), event->position().toPoint().y());
  }
  update();
}
