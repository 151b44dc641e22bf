#include "app/OverviewPicture.h"

#include <QMouseEvent>
#include <QPainter>

#include "components/qt/WindowLook.h"

OverviewPicture::OverviewPicture(int width, int height, QWidget* parent) : QWidget(parent), canvas_(width, height, ScreenPixelRatio()) {
  setFixedSize(width, height);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setCursor(Qt::PointingHandCursor);
}

void OverviewPicture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintExactPicture(painter, canvas_.Shown());
}

void OverviewPicture::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && OnClick) {
    const QPoint at = event->position().toPoint();
    OnClick(at.x(), at.y());
  }
  event->accept();
}
