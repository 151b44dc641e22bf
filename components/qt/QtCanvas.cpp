#include "components/qt/QtCanvas.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <utility>

#include "components/qt/DisplayText.h"
#include "components/qt/Fonts.h"

namespace {

using Wide = __int128;  // products of two coordinate differences fit here

constexpr const char* kFontFamily = kUiFontFamily;
// Allowance for rounding when a pixel centre lies exactly on an ellipse.
constexpr double kEllipseSlack = 1e-9;

std::uint32_t ToPixel(Rgb c) {
  return 0xFF000000u | (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b;
}

void Apply(std::uint32_t& pixel, std::uint32_t color, PenMode mode) {
  if (mode == PenMode::Xor)
    pixel ^= color & 0x00FFFFFFu;
  else
    pixel = color;
}

long long Sign(long long v) { return (v > 0) - (v < 0); }

// Pixels x0 ... x1 of one row of an ellipse, empty when x0 > x1.
struct RowSpan {
  long long x0 = 0, x1 = -1;
  bool Empty() const { return x0 > x1; }
};

}  // namespace

QtCanvas::QtCanvas(int width, int height)
    : image_(std::max(width, 0), std::max(height, 0), QImage::Format_RGB32) {
  image_.fill(0xFFFFFFFFu);
}

QtCanvas::QtCanvas(const QImage& picture) { SetBitmap(picture); }

void QtCanvas::SetBitmap(const QImage& picture) {
  image_ = picture.format() == QImage::Format_RGB32 ? picture
                                                    : picture.convertToFormat(QImage::Format_RGB32);
}

QFont QtCanvas::DefaultFont() {
  QFont font(QString::fromLatin1(kFontFamily));
  font.setPixelSize(kFontPixelSize);
  font.setStyleStrategy(QFont::NoAntialias);
  // Named, not left to the default: on a screen scaled above 100 % Qt turns
  // the default hinting off, which would change the glyphs and widths of the
  // exact picture. Without antialiasing every hinting but none renders the
  // same monochrome glyphs, so this is the picture of an unscaled screen.
  font.setHintingPreference(QFont::PreferVerticalHinting);
  return font;
}

const QFont& QtCanvas::Font() {
  if (!font_) {
    font_ = DefaultFont();
    font_->setPixelSize(fontPixelSize_);
  }
  return *font_;
}

void QtCanvas::SetFontPixelSize(int pixelSize) {
  fontPixelSize_ = std::max(pixelSize, 1);
  font_.reset();
}

void QtCanvas::Span(std::uint32_t* bits, qsizetype stride, int y, long long x0, long long x1,
                    std::uint32_t color, PenMode mode) {
  if (y < 0 || y >= image_.height()) return;
  x0 = std::max<long long>(x0, 0);
  x1 = std::min<long long>(x1, image_.width() - 1);
  std::uint32_t* row = bits + y * stride;
  for (long long x = x0; x <= x1; ++x) Apply(row[x], color, mode);
}

template <typename Plot>
void QtCanvas::RasterLine(long long x0, long long y0, long long x1, long long y1, int clipW,
                          int clipH, Plot plot) const {
  const int width = penWidth_;
  const bool wide = width > 1;
  const bool dotted = width <= dotScale_ && penStyle_ == PenStyle::Dot;
  const long long dx = x1 - x0, dy = y1 - y0;
  const bool xMajor = std::llabs(dx) >= std::llabs(dy);
  const long long major = xMajor ? std::llabs(dx) : std::llabs(dy);
  const long long minor = xMajor ? std::llabs(dy) : std::llabs(dx);
  const long long count = wide ? major + 1 : major;  // a wide pen covers the end pixel too
  if (count == 0) return;

  const long long m0 = xMajor ? x0 : y0, mStep = Sign(xMajor ? dx : dy);
  const long long c0 = xMajor ? y0 : x0, cStep = Sign(xMajor ? dy : dx);
  const long long mLimit = xMajor ? clipW : clipH, cLimit = xMajor ? clipH : clipW;
  const int below = -(width / 2), above = (width - 1) / 2;  // widening offsets across the line

  // Minor-axis offset of step i: i * minor / major rounded, halves away from
  // the start. Never decreases with i, so the visible steps form one range.
  auto offset = [&](long long i) -> long long {
    if (major == 0) return 0;
    return static_cast<long long>((Wide{2} * i * minor + major) / (Wide{2} * major));
  };

  // Steps whose major coordinate is inside the clip box.
  long long first = 0, last = count - 1;
  if (mStep >= 0) {
    first = std::max(first, -m0);
    last = std::min(last, mLimit - 1 - m0);
  } else {
    first = std::max(first, m0 - (mLimit - 1));
    last = std::min(last, m0);
  }
  if (first > last) return;
  // Steps whose widened minor coordinate reaches into the clip box.
  const long long cLow = -above, cHigh = cLimit - 1 - below;
  const long long oLow = cStep >= 0 ? cLow - c0 : c0 - cHigh;
  const long long oHigh = cStep >= 0 ? cHigh - c0 : c0 - cLow;
  auto firstAtLeast = [&](long long lo, long long hi, long long target) {
    while (lo < hi) {  // first step in [lo, hi] with offset >= target, hi if none before it
      const long long mid = lo + (hi - lo) / 2;
      if (offset(mid) >= target) hi = mid; else lo = mid + 1;
    }
    return lo;
  };
  first = firstAtLeast(first, last + 1, oLow);
  last = firstAtLeast(first, last + 1, oHigh + 1) - 1;

  for (long long i = first; i <= last; ++i) {
    if (dotted && i % ((kDotOn + kDotOff) * dotScale_) >= kDotOn * dotScale_) continue;
    const long long m = m0 + mStep * i;
    const long long c = c0 + cStep * offset(i);
    for (int k = below; k <= above; ++k) {
      const long long cc = c + k;
      if (cc < 0 || cc >= cLimit) continue;
      if (xMajor)
        plot(static_cast<int>(m), static_cast<int>(cc));
      else
        plot(static_cast<int>(cc), static_cast<int>(m));
    }
  }
}

void QtCanvas::MoveTo(int x, int y) {
  penX_ = x;
  penY_ = y;
}

void QtCanvas::LineTo(int x, int y) {
  if (!image_.isNull()) {
    std::uint32_t* bits = reinterpret_cast<std::uint32_t*>(image_.bits());
    const qsizetype stride = image_.bytesPerLine() / 4;
    const std::uint32_t color = ToPixel(penColor_);
    const PenMode mode = penMode_;
    RasterLine(penX_, penY_, x, y, image_.width(), image_.height(),
               [&](int px, int py) { Apply(bits[py * stride + px], color, mode); });
  }
  penX_ = x;
  penY_ = y;
}

void QtCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  long long left = std::min(x1, x2), right = std::max(x1, x2);
  long long top = std::min(y1, y2), bottom = std::max(y1, y2);
  const long long boxW = right - left, boxH = bottom - top;
  if (boxW <= 0 || boxH <= 0 || image_.isNull()) return;
  const double cx = static_cast<double>(left) + static_cast<double>(boxW - 1) / 2.0;
  const double cy = static_cast<double>(top) + static_cast<double>(boxH - 1) / 2.0;
  const double a = static_cast<double>(boxW) / 2.0, b = static_cast<double>(boxH) / 2.0;

  auto rowSpan = [&](long long y) -> RowSpan {
    if (y < top || y >= bottom) return {};
    const double t = (static_cast<double>(y) - cy) / b;
    const double q = 1.0 - t * t;
    if (q < 0.0) return {};
    const double half = a * std::sqrt(q);
    RowSpan s{static_cast<long long>(std::ceil(cx - half - kEllipseSlack)),
              static_cast<long long>(std::floor(cx + half + kEllipseSlack))};
    s.x0 = std::max(s.x0, left);
    s.x1 = std::min(s.x1, right - 1);
    return s;
  };

  std::uint32_t* bits = reinterpret_cast<std::uint32_t*>(image_.bits());
  const qsizetype stride = image_.bytesPerLine() / 4;
  const std::uint32_t pen = ToPixel(penColor_), brush = ToPixel(brushColor_);
  const int w = penWidth_;
  const long long yFirst = std::max<long long>(top, 0);
  const long long yLast = std::min<long long>(bottom, image_.height()) - 1;
  for (long long y = yFirst; y <= yLast; ++y) {
    const RowSpan s = rowSpan(y);
    if (s.Empty()) continue;
    // Inside pixels farther than w four-neighbour steps from the outside:
    // on row y + dy the span shrunk by w - |dy| on each side, for every dy.
    RowSpan inner = s;
    for (int dy = -w; dy <= w && !inner.Empty(); ++dy) {
      const RowSpan r = rowSpan(y + dy);
      if (r.Empty()) {
        inner = {};
        break;
      }
      const int shrink = w - std::abs(dy);
      inner.x0 = std::max(inner.x0, r.x0 + shrink);
      inner.x1 = std::min(inner.x1, r.x1 - shrink);
    }
    const int row = static_cast<int>(y);
    if (inner.Empty()) {
      Span(bits, stride, row, s.x0, s.x1, pen, penMode_);
      continue;
    }
    Span(bits, stride, row, s.x0, inner.x0 - 1, pen, penMode_);
    Span(bits, stride, row, inner.x0, inner.x1, brush, penMode_);
    Span(bits, stride, row, inner.x1 + 1, s.x1, pen, penMode_);
  }
}

void QtCanvas::Polygon(const std::vector<CanvasPoint>& points) {
  if (points.size() < 2 || image_.isNull()) return;
  // Work box: the corners' bounding box widened by the pen, inside the picture.
  long long minX = points[0].x, maxX = points[0].x, minY = points[0].y, maxY = points[0].y;
  for (const CanvasPoint& p : points) {
    minX = std::min<long long>(minX, p.x);
    maxX = std::max<long long>(maxX, p.x);
    minY = std::min<long long>(minY, p.y);
    maxY = std::max<long long>(maxY, p.y);
  }
  const long long bx0 = std::max<long long>(minX - penWidth_, 0);
  const long long by0 = std::max<long long>(minY - penWidth_, 0);
  const long long bx1 = std::min<long long>(maxX + penWidth_, image_.width() - 1);
  const long long by1 = std::min<long long>(maxY + penWidth_, image_.height() - 1);
  if (bx0 > bx1 || by0 > by1) return;
  const long long bw = bx1 - bx0 + 1, bh = by1 - by0 + 1;

  // Each pixel is decided once (0 untouched, 1 brush, 2 pen), so XOR inverts it once.
  enum : std::uint8_t { kUntouched = 0, kFill = 1, kOutline = 2 };
  std::vector<std::uint8_t> mask(static_cast<std::size_t>(bw * bh), kUntouched);

  const std::size_t n = points.size();
  std::vector<double> crossings;
  crossings.reserve(n);
  const long long fillTop = std::max(minY, by0), fillBottom = std::min(maxY - 1, by1);
  for (long long y = fillTop; y <= fillBottom; ++y) {
    crossings.clear();
    for (std::size_t i = 0; i < n; ++i) {
      const CanvasPoint& p = points[i];
      const CanvasPoint& q = points[(i + 1) % n];
      if (p.y == q.y) continue;
      // Half-open in y, so a corner shared by two edges counts once.
      if (y < std::min(p.y, q.y) || y >= std::max(p.y, q.y)) continue;
      crossings.push_back(p.x + static_cast<double>(y - p.y) * (static_cast<double>(q.x) - p.x) /
                                      (static_cast<double>(q.y) - p.y));
    }
    std::sort(crossings.begin(), crossings.end());
    for (std::size_t k = 0; k + 1 < crossings.size(); k += 2) {
      // Pixel centres from the left crossing on, right crossing excluded.
      const long long xa = std::max<long long>(static_cast<long long>(std::ceil(crossings[k])), bx0);
      const long long xb = std::min<long long>(static_cast<long long>(std::ceil(crossings[k + 1])) - 1, bx1);
      std::uint8_t* row = mask.data() + (y - by0) * bw;
      for (long long x = xa; x <= xb; ++x) row[x - bx0] = kFill;
    }
  }

  auto mark = [&](int x, int y) {
    if (x < bx0 || x > bx1 || y < by0 || y > by1) return;
    mask[static_cast<std::size_t>((y - by0) * bw + (x - bx0))] = kOutline;
  };
  for (std::size_t i = 0; i < n; ++i) {
    const CanvasPoint& p = points[i];
    const CanvasPoint& q = points[(i + 1) % n];
    RasterLine(p.x, p.y, q.x, q.y, image_.width(), image_.height(), mark);
  }

  std::uint32_t* bits = reinterpret_cast<std::uint32_t*>(image_.bits());
  const qsizetype stride = image_.bytesPerLine() / 4;
  const std::uint32_t pen = ToPixel(penColor_), brush = ToPixel(brushColor_);
  for (long long y = by0; y <= by1; ++y) {
    const std::uint8_t* m = mask.data() + (y - by0) * bw;
    std::uint32_t* row = bits + y * stride;
    for (long long x = bx0; x <= bx1; ++x) {
      if (m[x - bx0] == kOutline)
        Apply(row[x], pen, penMode_);
      else if (m[x - bx0] == kFill)
        Apply(row[x], brush, penMode_);
    }
  }
}

void QtCanvas::FillRect(int left, int top, int right, int bottom) {
  if (image_.isNull() || right <= left || bottom <= top) return;
  std::uint32_t* bits = reinterpret_cast<std::uint32_t*>(image_.bits());
  const qsizetype stride = image_.bytesPerLine() / 4;
  const std::uint32_t brush = ToPixel(brushColor_);
  const int yFirst = std::max(top, 0), yLast = std::min(bottom, image_.height()) - 1;
  for (int y = yFirst; y <= yLast; ++y)
    Span(bits, stride, y, left, static_cast<long long>(right) - 1, brush, PenMode::Copy);
}

void QtCanvas::TextOut(int x, int y, const std::string& text) {
  const QString shown = DisplayText(text);
  if (shown.isEmpty() || image_.isNull()) return;
  const QFontMetrics metrics(Font());
  const int w = metrics.horizontalAdvance(shown);
  const int h = metrics.height();
  FillRect(x, y, x + w, y + h);
  QPainter painter(&image_);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::TextAntialiasing, false);
  painter.setFont(Font());
  painter.setPen(QColor(0, 0, 0));
  painter.drawText(QPoint(x, y + metrics.ascent()), shown);
}

int QtCanvas::TextWidth(const std::string& text) {
  return QFontMetrics(Font()).horizontalAdvance(DisplayText(text));
}

int QtCanvas::TextHeight(const std::string& /*text*/) {
  // The line height of the font, whatever the text (an empty text included).
  return QFontMetrics(Font()).height();
}

RgbImage QtCanvas::Image() const {
  RgbImage out;
  out.width = image_.width();
  out.height = image_.height();
  out.pixels.resize(static_cast<std::size_t>(out.width) * out.height * 3);
  std::uint8_t* dst = out.pixels.data();
  for (int y = 0; y < out.height; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(image_.constScanLine(y));
    for (int x = 0; x < out.width; ++x) {
      *dst++ = static_cast<std::uint8_t>(row[x] >> 16);
      *dst++ = static_cast<std::uint8_t>(row[x] >> 8);
      *dst++ = static_cast<std::uint8_t>(row[x]);
    }
  }
  return out;
}
