// A canvas that draws nothing and records every call, with the pen and brush
// in force at the time, so tests can assert exact geometry. Text is measured
// with a fixed rule: kCharWidth pixels per byte, kTextHeight pixels high.
#pragma once

#include <string>
#include <vector>

#include "components/Canvas.h"

struct CanvasCall {
  enum class Kind { MoveTo, LineTo, Ellipse, Polygon, FillRect, TextOut };
  Kind kind = Kind::MoveTo;
  // MoveTo: (x1, y1). LineTo: from (x1, y1) to (x2, y2). Ellipse, FillRect:
  // the box (x1, y1)-(x2, y2). TextOut: top-left (x1, y1).
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  std::vector<CanvasPoint> points;  // Polygon
  std::string text;                 // TextOut
  Rgb pen;
  int penWidth = 1;
  PenStyle penStyle = PenStyle::Solid;
  PenMode penMode = PenMode::Copy;
  Rgb brush;
};

class RecordingCanvas : public Canvas {
 public:
  static constexpr int kCharWidth = 6;
  static constexpr int kTextHeight = 12;

  RecordingCanvas(int width, int height) : width_(width), height_(height) {}

  int Width() const override { return width_; }
  int Height() const override { return height_; }

  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void Ellipse(int x1, int y1, int x2, int y2) override;
  void Polygon(const std::vector<CanvasPoint>& points) override;
  void FillRect(int left, int top, int right, int bottom) override;
  void TextOut(int x, int y, const std::string& text) override;
  int TextWidth(const std::string& text) override {
    return static_cast<int>(text.size()) * kCharWidth;
  }
  int TextHeight(const std::string&) override { return kTextHeight; }

  void SetPenColor(Rgb color) override { pen_ = color; }
  void SetPenWidth(int width) override { penWidth_ = width; }
  void SetPenStyle(PenStyle style) override { penStyle_ = style; }
  void SetPenMode(PenMode mode) override { penMode_ = mode; }
  void SetBrushColor(Rgb color) override { brush_ = color; }
  Rgb PenColor() const override { return pen_; }
  int PenWidth() const override { return penWidth_; }
  PenStyle Style() const override { return penStyle_; }
  Rgb BrushColor() const override { return brush_; }
  RgbImage Image() const override { return {}; }

  const std::vector<CanvasCall>& Calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }
  // The recorded calls of one kind, in order.
  std::vector<CanvasCall> Of(CanvasCall::Kind kind) const;
  // The recorded lines as (x1, y1, x2, y2).
  std::vector<CanvasCall> Lines() const { return Of(CanvasCall::Kind::LineTo); }
  std::vector<CanvasCall> Texts() const { return Of(CanvasCall::Kind::TextOut); }
  // The first text call with exactly this text, or nullptr.
  const CanvasCall* FindText(const std::string& text) const;
  // Whether a line (either direction) joins the two points.
  bool HasLine(int x1, int y1, int x2, int y2) const;

  CanvasPoint PenPosition() const { return {penX_, penY_}; }

 private:
  CanvasCall Stamp(CanvasCall::Kind kind) const;

  int width_, height_;
  int penX_ = 0, penY_ = 0;
  Rgb pen_{0, 0, 0};
  int penWidth_ = 1;
  PenStyle penStyle_ = PenStyle::Solid;
  PenMode penMode_ = PenMode::Copy;
  Rgb brush_{255, 255, 255};
  std::vector<CanvasCall> calls_;
};
