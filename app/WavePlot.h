// The waveform plot control MyWave1: a TMyWave drawing on a canvas of the
// control's size, shown as it stands (at the screen's pixel ratio). Mouse movement and clicks go to the
// window's handlers.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "components/MyWave.h"
#include "components/qt/DisplayCanvas.h"

class WavePlot : public QWidget {
  Q_OBJECT

 public:
  WavePlot(int width, int height, QWidget* parent = nullptr);

  TMyWave& Wave() { return wave_; }
  DisplayCanvas& PlotCanvas() { return canvas_; }

  // Called after drawing, so the control shows the new picture.
  void Refresh() { update(); }

  std::function<void(int x, int y)> onMouseMove;
  std::function<void(int x, int y)> onMouseDown;
  // A key pressed while the plot has the focus; true when it was used.
  std::function<bool(int key)> onKey;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  DisplayCanvas canvas_;
  TMyWave wave_;
};
