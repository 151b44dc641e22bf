#include "tests/support/RecordingCanvas.h"

CanvasCall RecordingCanvas::Stamp(CanvasCall::Kind kind) const {
  CanvasCall call;
  call.kind = kind;
  call.pen = pen_;
  call.penWidth = penWidth_;
  call.penStyle = penStyle_;
  call.penMode = penMode_;
  call.brush = brush_;
  return call;
}

void RecordingCanvas::MoveTo(int x, int y) {
  CanvasCall call = Stamp(CanvasCall::Kind::MoveTo);
  call.x1 = x;
  call.y1 = y;
  calls_.push_back(call);
  penX_ = x;
  penY_ = y;
}

void RecordingCanvas::LineTo(int x, int y) {
  CanvasCall call = Stamp(CanvasCall::Kind::LineTo);
  call.x1 = penX_;
  call.y1 = penY_;
  call.x2 = x;
  call.y2 = y;
  calls_.push_back(call);
  penX_ = x;
  penY_ = y;
}

void RecordingCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  CanvasCall call = Stamp(CanvasCall::Kind::Ellipse);
  call.x1 = x1;
  call.y1 = y1;
  call.x2 = x2;
  call.y2 = y2;
  calls_.push_back(call);
}

void RecordingCanvas::Polygon(const std::vector<CanvasPoint>& points) {
  CanvasCall call = Stamp(CanvasCall::Kind::Polygon);
  call.points = points;
  calls_.push_back(call);
}

void RecordingCanvas::FillRect(int left, int top, int right, int bottom) {
  CanvasCall call = Stamp(CanvasCall::Kind::FillRect);
  call.x1 = left;
  call.y1 = top;
  call.x2 = right;
  call.y2 = bottom;
  calls_.push_back(call);
}

void RecordingCanvas::TextOut(int x, int y, const std::string& text) {
  CanvasCall call = Stamp(CanvasCall::Kind::TextOut);
  call.x1 = x;
  call.y1 = y;
  call.text = text;
  calls_.push_back(call);
}

std::vector<CanvasCall> RecordingCanvas::Of(CanvasCall::Kind kind) const {
  std::vector<CanvasCall> out;
  for (const CanvasCall& call : calls_) {
    if (call.kind == kind) out.push_back(call);
  }
  return out;
}

const CanvasCall* RecordingCanvas::FindText(const std::string& text) const {
  for (const CanvasCall& call : calls_) {
    if (call.kind == CanvasCall::Kind::TextOut && call.text == text) return &call;
  }
  return nullptr;
}

bool RecordingCanvas::HasLine(int x1, int y1, int x2, int y2) const {
  for (const CanvasCall& call : calls_) {
    if (call.kind != CanvasCall::Kind::LineTo) continue;
    if ((call.x1 == x1 && call.y1 == y1 && call.x2 == x2 && call.y2 == y2) ||
        (call.x1 == x2 && call.y1 == y2 && call.x2 == x1 && call.y2 == y1)) {
      return true;
    }
  }
  return false;
}
