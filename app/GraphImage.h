// The image control of the scatter window and of the format preview: a widget
// that owns a picture of its own size and a TMyGraph drawing on it. The graph
// draws on request only; whoever draws calls Refresh so the window shows the
// new picture.
#pragma once

#include <QWidget>
#include <functional>

#include "components/MyGraph.h"
#include "components/qt/DisplayCanvas.h"

class Platform;

class TGraphImage final : public QWidget {
 public:
  TGraphImage(Platform& platform, int width, int height, QWidget* parent = nullptr);

  TMyGraph& Graph() { return graph_; }
  const DisplayCanvas& Picture() const { return canvas_; }
  // Shows the picture as it now stands.
  void Refresh() { update(); }

  // Called with the pressed mouse button.
  std::function<void(Qt::MouseButton)> OnMouseDown;
  // Called for a right click instead, with the pixel under the mouse.
  std::function<void(int x, int y)> OnRightClick;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  DisplayCanvas canvas_;
  TMyGraph graph_;
};
