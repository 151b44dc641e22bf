// What the program's windows share in their look: sizes given as outer sizes
// (the desktop's frame included) and text colours that only apply to live
// controls, so that a disabled control is greyed as the style draws it.
#pragma once

#include <QColor>
#include <QImage>
#include <QPalette>
#include <QSize>

class QPainter;
class QWidget;

// The frame the desktop puts around a window's client area: a sizing border
// of 4 pixels on each side, and the caption bar with the borders above and
// below, 34 pixels in all.
inline constexpr int kFrameWidth = 8;
inline constexpr int kFrameHeight = 34;

// The client area of a window whose outer size is `outer`.
QSize ClientSizeOf(QSize outer);

// Fixes the window's client area so that, framed, it is `outer` in size.
void SetOuterSize(QWidget& window, QSize outer);

// Sets a text role for the active and inactive states only: the disabled
// state keeps the style's grey, so a control that does nothing looks it.
void SetLiveTextColour(QPalette& palette, QPalette::ColorRole role, const QColor& colour);

// WindowText, ButtonText and Text of a window's palette, as above.
void SetFormTextColour(QPalette& palette, const QColor& colour);

// Shows a plot's picture at the top left of a widget of its logical size. A
// picture drawn at the screen's device pixel ratio (DisplayCanvas::Shown)
// lands pixel on pixel; a picture of fewer pixels than the screen has is
// never blurred: each of its pixels becomes a block of device pixels.
void PaintExactPicture(QPainter& painter, const QImage& picture);

// The device pixel ratio plots are drawn at: the highest of the screens' when
// the program starts (2 under QT_SCALE_FACTOR=2). A window moved later to a
// screen of another ratio shows the same picture, scaled.
double ScreenPixelRatio();
