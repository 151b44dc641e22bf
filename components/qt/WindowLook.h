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

// Shows an exact picture (a plot) at the top left of a widget of its size. On
// a screen with more device pixels than logical ones each picture pixel
// becomes a block of whole device pixels, never a blurred mixture: the
// picture stays the exact one that is copied and saved.
void PaintExactPicture(QPainter& painter, const QImage& picture);
