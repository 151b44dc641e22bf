#include "components/qt/TkBtn.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

void Frame3D(QPainter& painter, QRect& rect, const QColor& topLeft, const QColor& bottomRight, int width) {
  for (int ring = 0; ring < width && rect.width() > 0 && rect.height() > 0; ++ring) {
    const int x = rect.left();
    const int y = rect.top();
    const int w = rect.width();
    const int h = rect.height();
    // The top-right and bottom-left corner pixels belong to the dark side, so
    // a raised ring reads as lit from the top left.
    painter.fillRect(x, y, std::max(w - 1, 1), 1, topLeft);
    painter.fillRect(x, y, 1, std::max(h - 1, 1), topLeft);
    painter.fillRect(x + w - 1, y, 1, h, bottomRight);
    painter.fillRect(x, y + h - 1, w, 1, bottomRight);
    rect.adjust(1, 1, -1, -1);
  }
}

namespace {

void PaintBevel(QPainter& painter, QRect& rect, TPanelBevel bevel, int width, const QPalette& palette) {
  if (bevel == TPanelBevel::None) return;
  const QColor light = palette.color(QPalette::Light);
  const QColor dark = palette.color(QPalette::Dark);
  if (bevel == TPanelBevel::Raised) {
    Frame3D(painter, rect, light, dark, width);
  } else {
    Frame3D(painter, rect, dark, light, width);
  }
}

QColor LookColor(const TPanelLook& look, const QPalette& palette) {
  return look.Color.isValid() ? look.Color : palette.color(QPalette::Button);
}

}  // namespace

QRect PaintPanelFrame(QPainter& painter, QRect rect, const TPanelLook& look, const QPalette& palette) {
  const QColor color = LookColor(look, palette);
  PaintBevel(painter, rect, look.BevelOuter, look.BevelWidth, palette);
  Frame3D(painter, rect, color, color, look.BorderWidth);
  PaintBevel(painter, rect, look.BevelInner, look.BevelWidth, palette);
  return rect;
}

TTkBtn::TTkBtn(QWidget* parent) : QWidget(parent) { resize(kDefaultWidth, kDefaultHeight); }

void TTkBtn::Set_Picture(const QImage& picture) {
  picture_ = picture.copy();
  update();
}

void TTkBtn::SetCaption(const QString& caption) {
  caption_ = caption;
  update();
}

void TTkBtn::SetAlignment(Qt::Alignment alignment) {
  alignment_ = alignment;
  update();
}

void TTkBtn::SetBevelOuter(TPanelBevel bevel) {
  look_.BevelOuter = bevel;
  update();
}

void TTkBtn::SetBevelInner(TPanelBevel bevel) {
  look_.BevelInner = bevel;
  update();
}

void TTkBtn::SetBevelWidth(int width) {
  look_.BevelWidth = std::max(width, 1);
  update();
}

void TTkBtn::SetBorderWidth(int width) {
  look_.BorderWidth = std::max(width, 0);
  update();
}

void TTkBtn::SetColor(const QColor& color) {
  look_.Color = color;
  update();
}

QColor TTkBtn::PanelColor() const { return LookColor(look_, palette()); }

void TTkBtn::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  Paint(painter);
}

void TTkBtn::Paint(QPainter& painter) {
  const QRect client = rect();
  const bool plain = picture_.isNull();
  if (!plain) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(client, picture_);
  }
  QRect inside = PaintPanelFrame(painter, client, look_, palette());
  if (plain) painter.fillRect(inside, PanelColor());

  if (caption_.isEmpty()) return;
  // One line, vertically centred by the height of "W", over whatever lies
  // beneath (the picture shows through around the glyphs).
  painter.setFont(font());
  painter.setPen(palette().color(QPalette::ButtonText));
  const QFontMetrics metrics(font());
  const int lineHeight = metrics.height();
  const int top = (inside.top() + inside.bottom() + 1 - lineHeight) / 2;
  const QRect line(inside.left(), top, inside.width(), lineHeight);
  const Qt::Alignment horizontal = alignment_ & Qt::AlignHorizontal_Mask;
  painter.drawText(line, static_cast<int>(horizontal) | Qt::AlignTop | Qt::TextSingleLine | Qt::TextExpandTabs,
                   caption_);
}

void TTkBtn::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  leftHeld_ = true;
  SetBevelOuter(TPanelBevel::Lowered);
}

void TTkBtn::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !leftHeld_) return;
  leftHeld_ = false;
  SetBevelOuter(TPanelBevel::Raised);
  if (!rect().contains(event->position().toPoint())) return;
  emit clicked();
  if (onClick) onClick();
}
