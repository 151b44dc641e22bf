#include "components/qt/FormulaPicture.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <algorithm>
#include <cmath>

namespace {

constexpr const char* kSerifFamily = "DejaVu Serif";
constexpr int kLargestEm = 26;  // pixels per em tried first
constexpr int kSmallestEm = 10;
constexpr int kMarginX = 8;     // white kept left and right, pixels
constexpr int kMarginY = 4;

// Type sizes relative to the em of the main line.
constexpr double kScriptScale = 0.70;        // exponent, subscripts of the line
constexpr double kScriptScriptScale = 0.52;  // subscript inside the exponent
constexpr double kDelimiterScale = 1.22;     // parentheses that enclose the radical

enum class Shape { Upright, Italic };

// Lays the formula out from left to right. The same sequence of calls runs
// twice: once without a painter to measure it, once to draw it at the
// position the measurement gave.
class Typesetter {
 public:
  Typesetter(QPainter* painter, int em, double x, double baseline)
      : painter_(painter), em_(em), x_(x), baseline_(baseline) {}

  // `scale` is the type size relative to the em; `rise` (in ems of the main
  // line, up is positive) moves the baseline of the symbol. `correct` adds
  // the overhang of a slanted last glyph, so that what follows does not run
  // into it (not wanted before a subscript).
  void Sym(const QString& text, Shape shape, double scale = 1.0, double rise = 0.0, bool correct = true) {
    const QFont font = Font(shape, scale);
    const QFontMetricsF metrics(font);
    const double y = baseline_ - rise * em_;
    const QRectF ink = metrics.tightBoundingRect(text).translated(x_, y);
    Extend(ink.top(), ink.bottom());
    contentTop_ = std::min(contentTop_, ink.top());
    if (painter_ != nullptr) {
      painter_->setFont(font);
      painter_->drawText(QPointF(x_, y), text);
    }
    double advance = metrics.horizontalAdvance(text);
    if (shape == Shape::Italic && correct && !text.isEmpty()) {
      advance += std::max(0.0, -metrics.rightBearing(text.back()));
    }
    x_ += advance;
  }

  void Space(double ems) { x_ += ems * em_; }

  // A middle dot for products, with a little air either side.
  void Dot(double scale = 1.0, double rise = 0.0) {
    Space(0.06 * scale);
    Sym(QStringLiteral("\u00B7"), Shape::Upright, scale, rise);
    Space(0.06 * scale);
  }

  // A binary operator of the main line with medium spaces.
  void Operator(const QString& text) {
    Space(0.20);
    Sym(text, Shape::Upright);
    Space(0.20);
  }

  // A parenthesis a little larger than the text, centred on the same axis.
  void Delimiter(const QString& text) {
    const double drop = (kDelimiterScale - 1.0) * 0.30;
    Sym(text, Shape::Upright, kDelimiterScale, -drop);
    Space(0.03);
  }

  // The radical sign is drawn when the radicand is complete, because its
  // height depends on the radicand.
  void BeginRadical() {
    radicalX_ = x_;
    x_ += kSignWidth * em_;
    contentTop_ = baseline_;
  }

  void EndRadical() {
    const double barY = contentTop_ - kBarGap * em_;
    const double bottom = baseline_ + kSignDepth * em_;
    const double end = x_ + kBarOverhang * em_;
    const double height = bottom - barY;
    const double thin = std::max(1.0, 0.055 * em_);
    const double heavy = std::max(1.4, 0.095 * em_);
    Extend(barY - thin, bottom + thin);
    if (painter_ != nullptr) {
      const QPointF tickStart(radicalX_ + 0.04 * em_, barY + 0.62 * height);
      const QPointF tickTop(radicalX_ + 0.14 * em_, barY + 0.55 * height);
      const QPointF foot(radicalX_ + 0.30 * em_, bottom);
      const QPointF top(radicalX_ + 0.56 * em_, barY);
      const QPointF barEnd(end, barY);
      painter_->setBrush(Qt::NoBrush);
      painter_->setPen(QPen(Qt::black, thin, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
      painter_->drawLine(tickStart, tickTop);
      painter_->setPen(QPen(Qt::black, heavy, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
      painter_->drawLine(tickTop, foot);
      QPainterPath rise;
      rise.moveTo(foot);
      rise.lineTo(top);
      rise.lineTo(barEnd);
      painter_->setPen(QPen(Qt::black, thin, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
      painter_->drawPath(rise);
    }
    x_ = end + 0.06 * em_;
  }

  double X() const { return x_; }
  double Top() const { return top_; }
  double Bottom() const { return bottom_; }

 private:
  static constexpr double kSignWidth = 0.64;   // ems from the sign's start to the radicand
  static constexpr double kBarGap = 0.14;      // ems between the radicand and the bar
  static constexpr double kSignDepth = 0.16;   // ems the sign reaches below the baseline
  static constexpr double kBarOverhang = 0.06; // ems the bar runs past the radicand

  QFont Font(Shape shape, double scale) const {
    QFont font(QString::fromLatin1(kSerifFamily));
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(em_ * scale))));
    font.setItalic(shape == Shape::Italic);
    return font;
  }

  void Extend(double top, double bottom) {
    top_ = std::min(top_, top);
    bottom_ = std::max(bottom_, bottom);
  }

  QPainter* painter_;
  int em_;
  double x_;
  double baseline_;
  double top_ = 1e9;
  double bottom_ = -1e9;
  double radicalX_ = 0.0;
  double contentTop_ = 0.0;
};

// y = A·e^(−h·ωn·t)·cos(√(1 − h²)·ωn·t + φ)
void SetFormula(Typesetter& t) {
  const QString minus = QStringLiteral("\u2212");
  const QString omega = QStringLiteral("\u03C9");
  const QString phi = QStringLiteral("\u03C6");
  constexpr double kExponentRise = 0.44;
  constexpr double kSubscriptDrop = -0.16;
  constexpr double kExponentSubscriptRise = kExponentRise - 0.11;

  t.Sym("y", Shape::Italic);
  t.Space(0.26);
  t.Sym("=", Shape::Upright);
  t.Space(0.26);
  t.Sym("A", Shape::Italic);
  t.Dot();
  t.Sym("e", Shape::Italic);
  t.Space(0.04);
  // Exponent −h·ωn·t.
  t.Sym(minus, Shape::Upright, kScriptScale, kExponentRise);
  t.Sym("h", Shape::Italic, kScriptScale, kExponentRise);
  t.Dot(kScriptScale, kExponentRise);
  t.Sym(omega, Shape::Italic, kScriptScale, kExponentRise, false);
  t.Sym("n", Shape::Italic, kScriptScriptScale, kExponentSubscriptRise);
  t.Dot(kScriptScale, kExponentRise);
  t.Sym("t", Shape::Italic, kScriptScale, kExponentRise);
  t.Space(0.04);
  t.Dot();
  t.Sym("cos", Shape::Upright);
  t.Space(0.04);
  t.Delimiter("(");
  t.BeginRadical();
  t.Sym("1", Shape::Upright);
  t.Operator(minus);
  t.Sym("h", Shape::Italic);
  t.Sym("2", Shape::Upright, kScriptScale, kExponentRise);
  t.EndRadical();
  t.Dot();
  t.Sym(omega, Shape::Italic, 1.0, 0.0, false);
  t.Sym("n", Shape::Italic, kScriptScale, kSubscriptDrop);
  t.Dot();
  t.Sym("t", Shape::Italic);
  t.Operator("+");
  t.Sym(phi, Shape::Italic);
  t.Space(0.02);
  t.Delimiter(")");
}

}  // namespace

QImage FormulaPicture(qreal devicePixelRatio) {
  QImage image(qRound(kFormulaWidth * devicePixelRatio), qRound(kFormulaHeight * devicePixelRatio),
               QImage::Format_RGB32);
  image.setDevicePixelRatio(devicePixelRatio);
  image.fill(Qt::white);

  // The largest type whose formula fits inside the margins.
  int em = kLargestEm;
  double width = 0.0;
  double top = 0.0;
  double bottom = 0.0;
  for (; em >= kSmallestEm; --em) {
    Typesetter measure(nullptr, em, 0.0, 0.0);
    SetFormula(measure);
    width = measure.X();
    top = measure.Top();
    bottom = measure.Bottom();
    if (width <= kFormulaWidth - 2 * kMarginX && bottom - top <= kFormulaHeight - 2 * kMarginY) break;
  }
  em = std::max(em, kSmallestEm);

  const double x = std::floor((kFormulaWidth - width) / 2.0);
  const double baseline = std::floor((kFormulaHeight - (bottom - top)) / 2.0 - top);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  painter.setPen(Qt::black);
  Typesetter draw(&painter, em, x, baseline);
  SetFormula(draw);
  return image;
}
