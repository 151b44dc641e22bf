// TTkBtn: a push button that shows a picture. It is a panel (caption,
// alignment, outer and inner bevels, border, colour) that paints its picture
// stretched over the whole client area before the bevels and the caption, and
// that lowers its outer bevel while the left mouse button is held on it.
// The panel painting is shared with the plain panels of the windows.
#pragma once

#include <QColor>
#include <QImage>
#include <QPalette>
#include <QRect>
#include <QString>
#include <QWidget>
#include <functional>

class QPainter;

enum class TPanelBevel { None, Lowered, Raised };

// How a panel looks: bevels, border and colour (an invalid colour stands for
// the palette's button face).
struct TPanelLook {
  TPanelBevel BevelOuter = TPanelBevel::Raised;
  TPanelBevel BevelInner = TPanelBevel::None;
  int BevelWidth = 1;   // pixels per bevel
  int BorderWidth = 0;  // pixels of panel colour between the bevels
  QColor Color;
};

// Draws `width` one-pixel rings inside `rect`, top and left edges in topLeft,
// bottom and right edges in bottomRight, and shrinks `rect` by `width` on
// every side.
void Frame3D(QPainter& painter, QRect& rect, const QColor& topLeft, const QColor& bottomRight, int width);

// Outer bevel, border frame and inner bevel of a panel on `rect`, in this
// order; returns the rectangle left inside them. A raised bevel is light on
// the top-left and dark on the bottom-right (the palette's Light and Dark
// colours); a lowered one the other way round.
QRect PaintPanelFrame(QPainter& painter, QRect rect, const TPanelLook& look, const QPalette& palette);

class TTkBtn : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kDefaultWidth = 75;
  static constexpr int kDefaultHeight = 25;

  explicit TTkBtn(QWidget* parent = nullptr);

  // PictureImg: the button keeps its own copy. An empty picture makes the
  // button paint as a plain panel.
  const QImage& PictureImg() const { return picture_; }
  void Set_Picture(const QImage& picture);
  void SetPicture(const QImage& picture) { Set_Picture(picture); }

  const QString& Caption() const { return caption_; }
  void SetCaption(const QString& caption);
  // Qt::AlignLeft, Qt::AlignRight or Qt::AlignHCenter (the default).
  Qt::Alignment Alignment() const { return alignment_; }
  void SetAlignment(Qt::Alignment alignment);

  const TPanelLook& Look() const { return look_; }
  TPanelBevel BevelOuter() const { return look_.BevelOuter; }
  void SetBevelOuter(TPanelBevel bevel);
  void SetBevelInner(TPanelBevel bevel);
  void SetBevelWidth(int width);
  void SetBorderWidth(int width);
  void SetColor(const QColor& color);
  // The panel colour in effect (the button face while none was set).
  QColor PanelColor() const;

  // The click of the panel: a left press and release on the button.
  std::function<void()> onClick;

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void Paint(QPainter& painter);

  QImage picture_;
  QString caption_;
  Qt::Alignment alignment_ = Qt::AlignHCenter;
  TPanelLook look_;
  bool leftHeld_ = false;
};
