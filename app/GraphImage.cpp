#include "app/GraphImage.h"

#include <QMouseEvent>
#include <QPainter>

TGraphImage::TGraphImage(Platform& platform, int width, int height, QWidget* parent)
    : QWidget(parent), canvas_(width, height), graph_(canvas_, platform) {
  setFixedSize(width, height);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TGraphImage::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, canvas_.Bitmap());
}

void TGraphImage::mousePressEvent(QMouseEvent* event) {
  if (OnMouseDown) OnMouseDown(event->button());
  event->accept();
}
