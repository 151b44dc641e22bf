// An image control of the overview window: a picture of its own size on an
// exact canvas, shown as it stands, reporting where the left button was pressed
// and double-clicked. Whoever draws on the canvas calls Refresh.
#pragma once

#include <QWidget>
#include <functional>

#include "components/qt/DisplayCanvas.h"

class OverviewPicture final : public QWidget {
 public:
  OverviewPicture(int width, int height, QWidget* parent = nullptr);

  DisplayCanvas& Picture() { return canvas_; }
  const DisplayCanvas& Picture() const { return canvas_; }
  void Refresh() { update(); }

  // Called with the pixel under the mouse.
  std::function<void(int x, int y)> OnClick;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  DisplayCanvas canvas_;
};
