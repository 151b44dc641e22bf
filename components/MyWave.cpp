#include "components/MyWave.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "components/Platform.h"
#include "io/NumberText.h"

namespace {

// A coordinate this far from the frame lies outside any picture. Clamping to
// it before truncating keeps huge values, infinities and NaN from an
// undefined float-to-int conversion and leaves every visible pixel as it is.
constexpr double kPixelLimit = 1.0e6;

// Truncation toward zero, the rule for every computed coordinate. NaN goes to
// the negative limit: a NaN sample is drawn like +infinity, far above the frame.
int TruncPixel(double v) {
  if (!(v > -kPixelLimit)) return -static_cast<int>(kPixelLimit);
  if (v > kPixelLimit) return static_cast<int>(kPixelLimit);
  return static_cast<int>(v);
}

// Shortest general decimal form with up to 15 significant digits, the text
// of the origin values.
std::string GeneralText(float value) {
  if (value == 0.0f) return "0";
  return FormatC("%.15g", static_cast<double>(value));
}

// A tick value: computed in double precision, labelled in single precision.
float TickValue(int i, float perDivision, float start) {
  return static_cast<float>(i * static_cast<double>(perDivision) + static_cast<double>(start));
}

// The vertical segments drawn so far in one pixel column, as (from, to) rows:
// open addressing over a fixed table, emptied in O(1) by a new generation.
class ColumnSegments {
 public:
  ColumnSegments() { stamps_.fill(0); }

  void Reset() {
    ++generation_;
    count_ = 0;
    if (generation_ == 0) {  // wrapped: old stamps could look current
      stamps_.fill(0);
      generation_ = 1;
    }
  }

  // True when the segment is new to the column (and is now recorded). A full
  // table answers true: the segment is then simply drawn again.
  bool Insert(int from, int to) {
    if (count_ >= kMaxCount) return true;
    const std::uint64_t key = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(from)) << 32) |
                              static_cast<std::uint32_t>(to);
    std::size_t slot = static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 56) & (kSlots - 1);
    while (stamps_[slot] == generation_) {
      if (keys_[slot] == key) return false;
      slot = (slot + 1) & (kSlots - 1);
    }
    stamps_[slot] = generation_;
    keys_[slot] = key;
    ++count_;
    return true;
  }

 private:
  static constexpr std::size_t kSlots = 256;
  static constexpr int kMaxCount = 192;  // keeps probe chains short
  std::array<std::uint64_t, kSlots> keys_{};
  std::array<std::uint32_t, kSlots> stamps_{};
  std::uint32_t generation_ = 1;
  int count_ = 0;
};

}  // namespace

TMyWave::TMyWave(Canvas& canvas) : canvas_(&canvas) {}

TMyWave::TMyWave(std::unique_ptr<Canvas> canvas) : owned_(std::move(canvas)), canvas_(owned_.get()) {}

WaveFrame TMyWave::Frame() const {
  return {OriginX, OriginY, UnitLenX, UnitLenY, NGridX, VValueX, VValueY};
}

int TMyWave::ValueToY(double value) const {
  return TruncPixel(OriginY - value / VValueY * UnitLenY);
}

void TMyWave::Clear(Rgb color) {
  canvas_->SetBrushColor(color);
  canvas_->FillRect(0, 0, canvas_->Width(), canvas_->Height());
}

void TMyWave::DrawScale() {
  Canvas& c = *canvas_;
  const int w = NGridX * UnitLenX;
  const int yTop = OriginY - NGridY * UnitLenY;
  const int yBottom = OriginY + NGridY * UnitLenY;

  c.SetPenWidth(2);
  c.MoveTo(OriginX, OriginY);
  c.LineTo(OriginX + w, OriginY);
  c.MoveTo(OriginX, OriginY);
  c.LineTo(OriginX, yTop);
  if (!PlusOnly) {
    c.MoveTo(OriginX, OriginY);
    c.LineTo(OriginX, yBottom);
  }

  for (int i = 1; i <= NGridX; ++i) {
    const int x = OriginX + i * UnitLenX;
    c.MoveTo(x, OriginY - 5);
    c.LineTo(x, OriginY + 5);
    const std::string label = _round_number(TickValue(i, VValueX, SValueX));
    c.TextOut(x - c.TextWidth(label) / 2, OriginY + 5, label);
  }

  // Labels of the y ticks stand right-aligned 5 pixels left of the axis,
  // centred on their tick.
  auto yTick = [&](int y, const std::string& label) {
    c.MoveTo(OriginX, y);
    c.LineTo(OriginX + 5, y);
    c.TextOut(OriginX - c.TextWidth(label) - 5, y - c.TextHeight(label) / 2, label);
  };
  for (int i = 1; i <= NGridY; ++i) {
    yTick(OriginY - i * UnitLenY, _round_number(TickValue(i, VValueY, SValueY)));
  }
  if (!PlusOnly) {
    for (int i = 1; i <= NGridY; ++i) {
      const float below = static_cast<float>(-static_cast<double>(SValueY) -
                                             i * static_cast<double>(VValueY));
      yTick(OriginY + i * UnitLenY, _round_number(below));
    }
  }

  c.SetPenWidth(1);
  if (SubX != 0) {
    const int s = UnitLenX / SubX;
    for (int d = 0; d < NGridX; ++d) {
      for (int j = 1; j < SubX; ++j) {
        const int x = OriginX + d * UnitLenX + j * s;
        c.MoveTo(x, OriginY - 3);
        c.LineTo(x, OriginY + 3);
      }
    }
  }
  if (SubY != 0) {
    const int s = UnitLenY / SubY;
    for (int d = 0; d < NGridY; ++d) {
      for (int j = 1; j < SubY; ++j) {
        const int up = OriginY - d * UnitLenY - j * s;
        c.MoveTo(OriginX, up);
        c.LineTo(OriginX + 3, up);
        if (!PlusOnly) {
          const int down = OriginY + d * UnitLenY + j * s;
          c.MoveTo(OriginX, down);
          c.LineTo(OriginX + 3, down);
        }
      }
    }
  }

  const int spaceHeight = c.TextHeight(" ");
  c.TextOut(OriginX + 3, OriginY + 5, GeneralText(SValueX));
  const std::string originY = GeneralText(SValueY);
  c.TextOut(OriginX - 5 - c.TextWidth(originY), OriginY - spaceHeight / 2, originY);

  const int titleY = PlusOnly ? OriginY + spaceHeight + 10 : yBottom - spaceHeight;
  c.TextOut(OriginX + w / 2 - c.TextWidth(Title) / 2, titleY, Title);
  c.TextOut(OriginX + w - c.TextWidth(UnitX) / 2, OriginY + spaceHeight + 10, UnitX);
  c.TextOut(OriginX - c.TextWidth(UnitY) - 5, yTop - spaceHeight - 5, UnitY);
}

void TMyWave::DrawWave1(int n, const float* values, float dt) {
  Canvas& c = *canvas_;
  // With no sample at all the pen still moves to the start of the frame; no
  // value is read.
  if (n <= 0) {
    c.MoveTo(OriginX, OriginY);
    return;
  }
  int penX = OriginX;
  int penY = ValueToY(values[0]);
  c.MoveTo(penX, penY);
  const std::int64_t w = static_cast<std::int64_t>(NGridX) * UnitLenX;
  ColumnSegments drawn;
  bool penBehind = false;  // segments were left out since the canvas pen last moved
  for (int i = 1; i < n; ++i) {
    const int dx = TruncPixel(i * static_cast<double>(dt) / VValueX * UnitLenX);
    if (dx > w) break;
    const int x = OriginX + dx;
    const int y = ValueToY(values[i]);
    if (SkipRepeatedSegments) {
      if (x != penX) {
        drawn.Reset();
      } else if (!drawn.Insert(penY, y)) {
        penY = y;
        penBehind = true;
        continue;
      }
    }
    if (penBehind) {
      c.MoveTo(penX, penY);
      penBehind = false;
    }
    c.LineTo(x, y);
    penX = x;
    penY = y;
  }
  if (penBehind) c.MoveTo(penX, penY);
}

void TMyWave::DrawWave(int n, const float* values, int sampleStep, int pixelStep) {
  Canvas& c = *canvas_;
  if (n <= 0) {
    c.MoveTo(OriginX, OriginY);
    return;
  }
  c.MoveTo(OriginX, ValueToY(values[0]));
  // A step below one would never advance: only the first sample is drawn.
  if (sampleStep < 1) return;
  const std::int64_t right = OriginX + static_cast<std::int64_t>(NGridX) * UnitLenX;
  std::int64_t x = OriginX;
  for (std::int64_t i = sampleStep; i < n; i += sampleStep) {
    x += pixelStep;
    if (x > right) break;
    c.LineTo(static_cast<int>(x), ValueToY(values[i]));
  }
}

void TMyWave::PlotWave1(int n, const float* values, float dt, int shape, int size) {
  for (int i = 0; i < n; ++i) {
    const int x = TruncPixel(i * static_cast<double>(dt) / VValueX * UnitLenX + OriginX);
    DrawMarker(x, ValueToY(values[i]), shape, size);
  }
}

void TMyWave::PlotWave(int n, const float* values, int sampleStep, int markInterval, int shape,
                       int size) {
  const std::int64_t right = OriginX + static_cast<std::int64_t>(NGridX) * UnitLenX;
  // A step below one would never advance: only the first sample is visited.
  const std::int64_t step = sampleStep < 1 ? static_cast<std::int64_t>(n) : sampleStep;
  std::int64_t k = 0;
  for (std::int64_t i = 0; i < n; i += step) {
    const std::int64_t x = OriginX + k;
    if (x > right) break;
    // k is a multiple of 0 only when it is 0.
    const bool mark = markInterval == 0 ? k == 0 : k % markInterval == 0;
    if (mark) DrawMarker(static_cast<int>(x), ValueToY(values[i]), shape, size);
    ++k;
  }
}

void TMyWave::DrawMarker(int x, int y, int shape, int size) {
  Canvas& c = *canvas_;
  const int r = size;
  switch (shape) {
    case 0:
      c.Ellipse(x - r, y - r, x + r, y + r);
      break;
    case 1: {
      const int base = TruncPixel(y + r / 2.0);
      c.Polygon({{x, y - r}, {x - r, base}, {x + r, base}});
      c.MoveTo(x, y - r);
      c.LineTo(x - r, base);
      c.LineTo(x + r, base);
      c.LineTo(x, y - r);
      break;
    }
    case 2:
      c.FillRect(x - r, y - r, x + r, y + r);
      c.MoveTo(x - r, y - r);
      c.LineTo(x - r, y + r);
      c.LineTo(x + r, y + r);
      c.LineTo(x + r, y - r);
      c.LineTo(x - r, y - r);
      break;
    case 3:
      c.Polygon({{x, y - r}, {x - r, y}, {x, y + r}, {x + r, y}});
      c.MoveTo(x, y - r);
      c.LineTo(x - r, y);
      c.LineTo(x, y + r);
      c.LineTo(x + r, y);
      c.LineTo(x, y - r);
      break;
    case 4:
      c.MoveTo(x - r, y - r);
      c.LineTo(x + r, y + r);
      c.MoveTo(x + r, y - r);
      c.LineTo(x - r, y + r);
      break;
    case 5:
      c.MoveTo(x, y - r);
      c.LineTo(x, y + r);
      c.MoveTo(x + r, y);
      c.LineTo(x - r, y);
      break;
    default:
      break;
  }
}

void TMyWave::Copy(Platform& platform) const {
  platform.CopyImageToClipboard(canvas_->Image());
}

std::string TMyWave::_round_number(float value) {
  if (value == 0.0f) return "0";
  const float a = std::fabs(value);
  const double ad = a;
  // The thresholds are compared in double precision: 0.00001 as a float lies
  // just below 1e-5 and is written in exponent form.
  if (ad < 0.00001 || ad > 100000.0) return FormatC(value > 0.0f ? "%.1e" : "-%.1e", ad);
  std::string t = FormatC("%.4f", ad);
  if (!t.empty() && t.back() == '9') t = FormatC("%.4f", ad + 0.0001);
  while (!t.empty() && t.back() == '0') t.pop_back();
  if (!t.empty() && t.back() == '.') t.pop_back();
  return value > 0.0f ? t : "-" + t;
}
