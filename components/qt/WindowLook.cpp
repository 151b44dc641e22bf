#include "components/qt/WindowLook.h"

#include <QGuiApplication>
#include <QPainter>
#include <QWidget>

QSize ClientSizeOf(QSize outer) { return {outer.width() - kFrameWidth, outer.height() - kFrameHeight}; }

void SetOuterSize(QWidget& window, QSize outer) { window.setFixedSize(ClientSizeOf(outer)); }

void SetLiveTextColour(QPalette& palette, QPalette::ColorRole role, const QColor& colour) {
  palette.setColor(QPalette::Active, role, colour);
  palette.setColor(QPalette::Inactive, role, colour);
}

void SetFormTextColour(QPalette& palette, const QColor& colour) {
  for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
    SetLiveTextColour(palette, role, colour);
  }
}

double ScreenPixelRatio() { return qGuiApp != nullptr ? qGuiApp->devicePixelRatio() : 1.0; }

void PaintExactPicture(QPainter& painter, const QImage& picture) {
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(QRectF(QPointF(0, 0), picture.deviceIndependentSize()), picture);
}
