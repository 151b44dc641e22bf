#include "app/WavePlot.h"

#include <QMouseEvent>
#include <QPainter>

#include "components/qt/WindowLook.h"

WavePlot::WavePlot(int width, int height, QWidget* parent)
    : QWidget(parent), canvas_(width, height, ScreenPixelRatio()), wave_(canvas_) {
  setFixedSize(width, height);
  setMouseTracking(true);
}

void WavePlot::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintExactPicture(painter, canvas_.Shown());
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
