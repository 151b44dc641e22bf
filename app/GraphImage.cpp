#include "app/GraphImage.h"

#include <QMouseEvent>
#include <QPainter>

#include "components/qt/WindowLook.h"

TGraphImage::TGraphImage(Platform& platform, int width, int height, QWidget* parent)
    : QWidget(parent), canvas_(width, height, ScreenPixelRatio()), graph_(canvas_, platform) {
  setFixedSize(width, height);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TGraphImage::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintExactPicture(painter, canvas_.Shown());
}

void TGraphImage::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton && OnRightClick) {
    const QPoint at = event->position().toPoint();
    OnRightClick(at.x(), at.y());
    return;
  }
  if (OnMouseDown) OnMouseDown(event->button());
  event->accept();
}
