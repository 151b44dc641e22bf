#include "components/qt/ReportPage.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QImage>
#include <QPainterPath>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <ctime>

#include "components/qt/PdfToUnicode.h"
#include "components/qt/QtCanvas.h"
#include "image/PngObject.h"
#include "io/ReplacingFile.h"
#include "io/SystemErrorText.h"

namespace {

constexpr double kMargin = 14.0;          // mm, every side
constexpr double kFooterHeight = 8.0;     // mm
constexpr double kPointsPerMm = 72.0 / 25.4;
constexpr int kPdfResolution = 600;       // dots per inch of the PDF's coordinates
constexpr double kSvgDpi = 96.0;

// Font sizes, points.
constexpr double kTitlePt = 15.0;
constexpr double kTextPt = 8.5;
constexpr double kSmallPt = 7.0;
constexpr double kTinyPt = 6.0;

// Line widths, mm.
constexpr double kHairline = 0.12;
constexpr double kThin = 0.2;
constexpr double kCurve = 0.3;

// Plot area inside a graph's frame, mm.
constexpr double kPlotLeft = 15.0;
constexpr double kPlotRight = 3.0;
constexpr double kPlotTop = 5.5;
constexpr double kPlotBottom = 8.0;
constexpr int kTargetTicks = 5;
constexpr double kGapBetweenRows = 3.0;

const QColor kInk(0, 0, 0);
const QColor kGrid(215, 215, 215);
const QColor kHeaderFill(232, 236, 242);
const QColor kSpanFill(255, 240, 190);

QColor ColorOf(ReportPlot::Role role) {
  switch (role) {
    case ReportPlot::Role::Data: return {40, 70, 140};
    case ReportPlot::Role::Fit: return {220, 30, 30};
    case ReportPlot::Role::Points: return {0, 150, 60};
    case ReportPlot::Role::Residual: return {90, 90, 90};
    case ReportPlot::Role::Accepted: return {30, 80, 200};
    case ReportPlot::Role::Rejected: return {150, 150, 150};
  }
  return kInk;
}

// Colours that tell the sensors of a monitoring view apart (cycled beyond these).
const QColor kPalette[] = {{30, 80, 200}, {220, 60, 30}, {20, 150, 70}, {150, 60, 190},
                           {230, 150, 0},  {0, 160, 190}, {120, 80, 40}, {200, 40, 140}};

QString Text(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

// Millimetres of the page to device units, and fonts sized for the device.
class Page {
 public:
  Page(QPainter& painter, double dotsPerMm) : p_(painter), s_(dotsPerMm) {}
  QPainter& painter() { return p_; }
  double operator()(double mm) const { return mm * s_; }
  QPointF At(double x, double y) const { return {x * s_, y * s_}; }
  QRectF Box(double x, double y, double w, double h) const { return {x * s_, y * s_, w * s_, h * s_}; }

  void SetFont(double points) {
    QFont font(kReportFontFamily);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(points / kPointsPerMm * s_))));
    font.setStyleStrategy(QFont::PreferAntialias);
    p_.setFont(font);
  }
  void SetPen(const QColor& color, double widthMm, Qt::PenStyle style = Qt::SolidLine) {
    QPen pen(color, std::max(widthMm * s_, 0.5), style);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::RoundJoin);
    p_.setPen(pen);
  }
  // Text in the box (mm), aligned; elided at the right when it does not fit.
  void Write(double x, double y, double w, double h, const std::string& text, int align = Qt::AlignLeft | Qt::AlignVCenter) {
    const QRectF box = Box(x, y, w, h);
    const QString elided = QFontMetricsF(p_.font()).elidedText(Text(text), Qt::ElideRight, box.width());
    p_.drawText(box, align, elided);
  }
  double TextWidthMm(const std::string& text) const {
    return QFontMetricsF(p_.font()).horizontalAdvance(Text(text)) / s_;
  }

 private:
  QPainter& p_;
  double s_;
};

// A step of 1, 2 or 5 times a power of ten that cuts `range` into about `ticks` parts.
double NiceStep(double range, int ticks) {
  const double raw = range / ticks;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (const double factor : {1.0, 2.0, 5.0}) {
    if (raw <= factor * power) return factor * power;
  }
  return 10.0 * power;
}

std::string TickText(double value, double step) {
  const int decimals = std::clamp(static_cast<int>(-std::floor(std::log10(step) + 1e-9)), 0, 8);
  if (std::fabs(value) < step * 1e-6) value = 0.0;
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// Steps of a time axis, seconds, and how their ticks are labelled.
struct TimeStep {
  double Seconds;
  const char* Format;
};
constexpr TimeStep kTimeSteps[] = {
    {60, "%H:%M"},           {300, "%H:%M"},          {900, "%H:%M"},          {3600, "%m/%d %H:%M"},
    {3 * 3600, "%m/%d %H時"}, {6 * 3600, "%m/%d %H時"}, {12 * 3600, "%m/%d %H時"}, {86400, "%m/%d"},
    {2 * 86400, "%m/%d"},     {7 * 86400, "%m/%d"},     {14 * 86400, "%m/%d"},    {30 * 86400, "%Y/%m"},
    {91 * 86400, "%Y/%m"},    {365 * 86400, "%Y"},
};

struct Axis {
  double Low = 0.0, High = 1.0, Step = 0.2;
  const char* TimeFormat = nullptr;
};

Axis ValueAxis(double low, double high) {
  if (!(high > low)) {
    const double pad = low != 0.0 ? std::fabs(low) * 0.1 : 1.0;
    low -= pad;
    high += pad;
  }
  Axis axis;
  axis.Step = NiceStep(high - low, kTargetTicks);
  axis.Low = std::floor(low / axis.Step) * axis.Step;
  axis.High = std::ceil(high / axis.Step) * axis.Step;
  return axis;
}

Axis TimeAxis(double low, double high) {
  if (!(high > low)) {
    low -= 43200;
    high += 43200;
  }
  Axis axis;
  axis.Low = low;
  axis.High = high;
  axis.Step = kTimeSteps[std::size(kTimeSteps) - 1].Seconds;
  axis.TimeFormat = kTimeSteps[std::size(kTimeSteps) - 1].Format;
  for (const TimeStep& step : kTimeSteps) {
    if ((high - low) / step.Seconds <= kTargetTicks + 1) {
      axis.Step = step.Seconds;
      axis.TimeFormat = step.Format;
      break;
    }
  }
  return axis;
}

std::string TimeText(double seconds, const char* format) {
  const auto t = static_cast<std::time_t>(std::floor(seconds));
  std::tm parts{};
  gmtime_r(&t, &parts);
  char text[48];
  std::strftime(text, sizeof text, format, &parts);
  return text;
}

void PaintPlot(Page& page, const ReportPlot& plot, double x, double y, double w, double h) {
  QPainter& p = page.painter();
  page.SetFont(kSmallPt);
  p.setPen(kInk);
  page.Write(x, y, w, kPlotTop - 0.5, plot.Title);
  const double left = x + kPlotLeft, top = y + kPlotTop;
  const double width = w - kPlotLeft - kPlotRight, height = h - kPlotTop - kPlotBottom;
  const QRectF area = page.Box(left, top, width, height);

  double xLow = INFINITY, xHigh = -INFINITY, yLow = INFINITY, yHigh = -INFINITY;
  for (const ReportPlot::Series& series : plot.Lines) {
    for (std::size_t i = 0; i < series.X.size(); ++i) {
      if (!std::isfinite(series.X[i]) || !std::isfinite(series.Y[i])) continue;
      xLow = std::min(xLow, series.X[i]);
      xHigh = std::max(xHigh, series.X[i]);
      yLow = std::min(yLow, series.Y[i]);
      yHigh = std::max(yHigh, series.Y[i]);
    }
  }
  for (const auto& level : plot.Levels) {
    yLow = std::min(yLow, level.first);
    yHigh = std::max(yHigh, level.first);
  }
  page.SetPen(kInk, kThin);
  p.setBrush(Qt::NoBrush);
  if (!std::isfinite(xLow) || !plot.Empty.empty()) {
    p.drawRect(area);
    page.SetFont(kTextPt);
    p.setPen(ColorOf(ReportPlot::Role::Rejected));
    p.drawText(area, Qt::AlignCenter, Text(plot.Empty.empty() ? std::string("データがありません") : plot.Empty));
    return;
  }
  // Marks need room at the ends of a scale taken from their own extremes.
  const bool marks = std::any_of(plot.Lines.begin(), plot.Lines.end(), [](const ReportPlot::Series& s) {
    return s.Kind == ReportPlot::Role::Accepted || s.Kind == ReportPlot::Role::Rejected;
  });
  if (marks) {
    const double padX = (xHigh - xLow) * 0.05, padY = (yHigh - yLow) * 0.08;
    xLow -= padX;
    xHigh += padX;
    yLow -= padY;
    yHigh += padY;
  }
  const Axis xAxis = plot.XIsTime ? TimeAxis(xLow, xHigh) : marks ? ValueAxis(xLow, xHigh) : Axis{xLow, xHigh, 0.0};
  Axis xShown = xAxis;
  if (!plot.XIsTime && !marks) {
    const Axis nice = ValueAxis(xLow, xHigh);
    xShown.Step = nice.Step;
    if (!(xShown.High > xShown.Low)) xShown = nice;
  }
  const Axis yAxis = ValueAxis(yLow, yHigh);
  const auto px = [&](double v) { return area.left() + (v - xShown.Low) / (xShown.High - xShown.Low) * area.width(); };
  const auto py = [&](double v) { return area.bottom() - (v - yAxis.Low) / (yAxis.High - yAxis.Low) * area.height(); };

  // Shaded stretches, grid, ticks.
  p.setPen(Qt::NoPen);
  p.setBrush(kSpanFill);
  for (const auto& [from, to] : plot.Spans) {
    const double a = std::clamp(px(from), area.left(), area.right());
    const double b = std::clamp(px(to), area.left(), area.right());
    p.drawRect(QRectF(a, area.top(), std::max(b - a, page(0.3)), area.height()));
  }
  p.setBrush(Qt::NoBrush);
  page.SetFont(kTinyPt);
  const double firstX = xShown.TimeFormat != nullptr ? std::ceil(xShown.Low / xShown.Step) * xShown.Step
                                                       : std::ceil(xShown.Low / xShown.Step - 1e-9) * xShown.Step;
  for (double v = firstX; v <= xShown.High + xShown.Step * 1e-9; v += xShown.Step) {
    const double at = px(v);
    page.SetPen(kGrid, kHairline);
    p.drawLine(QPointF(at, area.top()), QPointF(at, area.bottom()));
    p.setPen(kInk);
    const std::string label = xShown.TimeFormat != nullptr ? TimeText(v, xShown.TimeFormat) : TickText(v, xShown.Step);
    p.drawText(QRectF(at - page(12), area.bottom() + page(0.6), page(24), page(3)), Qt::AlignHCenter | Qt::AlignTop,
               Text(label));
  }
  for (double v = yAxis.Low; v <= yAxis.High + yAxis.Step * 1e-9; v += yAxis.Step) {
    const double at = py(v);
    page.SetPen(kGrid, kHairline);
    p.drawLine(QPointF(area.left(), at), QPointF(area.right(), at));
    p.setPen(kInk);
    p.drawText(QRectF(area.left() - page(kPlotLeft - 0.5), at - page(1.5), page(kPlotLeft - 1.5), page(3)),
               Qt::AlignRight | Qt::AlignVCenter, Text(TickText(v, yAxis.Step)));
  }
  page.SetFont(kSmallPt);
  p.setPen(kInk);
  p.drawText(QRectF(area.left(), area.bottom() + page(3.8), area.width(), page(3.5)), Qt::AlignHCenter | Qt::AlignTop,
             Text(plot.XLabel));
  p.save();
  p.translate(area.left() - page(kPlotLeft - 0.3), area.center().y());
  p.rotate(-90.0);
  p.drawText(QRectF(-area.height() / 2, 0, area.height(), page(3.2)), Qt::AlignHCenter | Qt::AlignTop,
             Text(plot.YLabel));
  p.restore();

  p.save();
  p.setClipRect(area);
  p.setRenderHint(QPainter::Antialiasing, true);
  for (const ReportPlot::Series& series : plot.Lines) {
    const QColor color = series.Palette >= 0 ? kPalette[series.Palette % std::size(kPalette)] : ColorOf(series.Kind);
    switch (series.Kind) {
      case ReportPlot::Role::Data:
      case ReportPlot::Role::Fit:
      case ReportPlot::Role::Residual: {
        page.SetPen(color, series.Kind == ReportPlot::Role::Fit ? kCurve : kThin);
        QPolygonF line;
        line.reserve(static_cast<qsizetype>(series.X.size()));
        for (std::size_t i = 0; i < series.X.size(); ++i) {
          if (std::isfinite(series.Y[i])) line << QPointF(px(series.X[i]), py(series.Y[i]));
        }
        p.drawPolyline(line);
        break;
      }
      case ReportPlot::Role::Points:
      case ReportPlot::Role::Accepted:
      case ReportPlot::Role::Rejected: {
        const bool filled = series.Kind != ReportPlot::Role::Rejected;
        const double radius = page(series.Kind == ReportPlot::Role::Points ? 0.45 : 0.8);
        page.SetPen(color, kThin);
        p.setBrush(filled ? QBrush(color) : QBrush(Qt::NoBrush));
        for (std::size_t i = 0; i < series.X.size(); ++i) {
          if (std::isfinite(series.Y[i])) p.drawEllipse(QPointF(px(series.X[i]), py(series.Y[i])), radius, radius);
        }
        p.setBrush(Qt::NoBrush);
        break;
      }
    }
  }
  // The legend: the named series, in their colours, down the upper left corner.
  page.SetFont(kTinyPt);
  double legendY = area.top() + page(1.0);
  for (const ReportPlot::Series& series : plot.Lines) {
    if (series.Legend.empty()) continue;
    const QColor color = series.Palette >= 0 ? kPalette[series.Palette % std::size(kPalette)] : ColorOf(series.Kind);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(QPointF(area.left() + page(2.0), legendY + page(1.2)), page(0.7), page(0.7));
    p.setBrush(Qt::NoBrush);
    p.setPen(kInk);
    p.drawText(QRectF(area.left() + page(3.5), legendY, area.width() / 2, page(2.6)), Qt::AlignLeft | Qt::AlignVCenter,
               Text(series.Legend));
    legendY += page(2.8);
  }
  for (const auto& [value, label] : plot.Levels) {
    page.SetPen(QColor(230, 120, 0), kThin, Qt::DashLine);
    p.drawLine(QPointF(area.left(), py(value)), QPointF(area.right(), py(value)));
    p.setPen(QColor(200, 90, 0));
    p.drawText(QRectF(area.left(), py(value) - page(3.2), area.width() - page(1), page(3)),
               Qt::AlignRight | Qt::AlignBottom, Text(label));
  }
  p.restore();
  page.SetPen(kInk, kThin);
  p.drawRect(area);
}

// The table; returns its height in mm.
double PaintTable(Page& page, const ReportTable& table, double x, double y, double w) {
  constexpr double kHeaderHeight = 5.0, kRowHeight = 4.3, kNoteHeight = 4.0, kCellPad = 0.8;
  QPainter& p = page.painter();
  double total = 0.0;
  for (const double width : table.Widths) total += width;
  std::vector<double> columns;
  for (const double width : table.Widths) columns.push_back(w * width / total);
  const double height = kHeaderHeight + kRowHeight * static_cast<double>(table.Rows.size());

  p.setPen(Qt::NoPen);
  p.setBrush(kHeaderFill);
  p.drawRect(page.Box(x, y, w, kHeaderHeight));
  p.setBrush(Qt::NoBrush);
  page.SetFont(kSmallPt);
  p.setPen(kInk);
  double cx = x;
  for (std::size_t c = 0; c < table.Header.size() && c < columns.size(); ++c) {
    page.Write(cx + kCellPad, y, columns[c] - 2 * kCellPad, kHeaderHeight, table.Header[c],
               Qt::AlignHCenter | Qt::AlignVCenter);
    cx += columns[c];
  }
  for (std::size_t r = 0; r < table.Rows.size(); ++r) {
    const double ry = y + kHeaderHeight + kRowHeight * static_cast<double>(r);
    cx = x;
    for (std::size_t c = 0; c < table.Rows[r].size() && c < columns.size(); ++c) {
      page.Write(cx + kCellPad, ry, columns[c] - 2 * kCellPad, kRowHeight, table.Rows[r][c],
                 (c + 1 < columns.size() ? Qt::AlignRight : Qt::AlignHCenter) | Qt::AlignVCenter);
      cx += columns[c];
    }
    page.SetPen(kGrid, kHairline);
    p.drawLine(page.At(x, ry + kRowHeight), page.At(x + w, ry + kRowHeight));
    p.setPen(kInk);
  }
  page.SetPen(kInk, kThin);
  p.drawLine(page.At(x, y), page.At(x + w, y));
  p.drawLine(page.At(x, y + kHeaderHeight), page.At(x + w, y + kHeaderHeight));
  p.drawLine(page.At(x, y + height), page.At(x + w, y + height));
  if (table.Note.empty()) return height;
  page.SetFont(kSmallPt);
  p.setPen(kInk);
  page.Write(x, y + height, w, kNoteHeight, table.Note);
  return height + kNoteHeight;
}

bool WriteBytes(const QByteArray& bytes, const std::string& path, std::string& error) {
  ReplacingFile file(path);
  if (!file.ok()) {
    error = "「" + path + "」を作成できません：" + SystemErrorText(file.error()) + "。";
    return false;
  }
  errno = 0;
  const bool written = std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), file.stream()) ==
                       static_cast<std::size_t>(bytes.size());
  const int writeError = errno != 0 ? errno : EIO;
  if (!written || !file.Commit()) {
    error = "「" + path + "」に書き込めません：" + SystemErrorText(written ? file.error() : writeError) + "。";
    return false;
  }
  return true;
}

}  // namespace

void PaintReportPage(QPainter& painter, double dotsPerMm, const ReportContent& content) {
  Page page(painter, dotsPerMm);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  const double x = kMargin, w = kPageWidthMm - 2 * kMargin;
  double y = kMargin;

  page.SetFont(kTitlePt);
  painter.setPen(kInk);
  page.Write(x, y, w, 8.0, content.Title);
  page.SetFont(kSmallPt);
  page.Write(x, y, w, 8.0, "作成 " + content.Date, Qt::AlignRight | Qt::AlignBottom);
  y += 9.0;
  page.SetPen(kInk, kCurve);
  painter.drawLine(page.At(x, y), page.At(x + w, y));
  y += 1.5;

  constexpr double kFactHeight = 4.3, kLabelWidth = 24.0;
  page.SetFont(kTextPt);
  for (const auto& [label, value] : content.Facts) {
    painter.setPen(QColor(80, 80, 80));
    page.Write(x, y, kLabelWidth, kFactHeight, label);
    painter.setPen(kInk);
    page.Write(x + kLabelWidth, y, w - kLabelWidth, kFactHeight, value);
    y += kFactHeight;
  }
  y += 2.0;
  y += PaintTable(page, content.Table, x, y, w);
  y += 1.0;
  page.SetFont(kTextPt);
  painter.setPen(kInk);
  page.Write(x, y, w, 5.0, content.Summary);
  y += 6.0;

  // The graphs share what is left of the page in proportion to their heights.
  const double bottom = kPageHeightMm - kMargin - kFooterHeight;
  double wanted = 0.0;
  for (const ReportPlotRow& row : content.Plots) wanted += row.Height + kGapBetweenRows;
  const double scale = wanted > 0.0 ? (bottom - y) / wanted : 1.0;
  for (const ReportPlotRow& row : content.Plots) {
    const double h = row.Height * scale;
    const double each = row.Plots.empty() ? w : (w - kGapBetweenRows * (row.Plots.size() - 1.0)) / row.Plots.size();
    for (std::size_t k = 0; k < row.Plots.size(); ++k) {
      PaintPlot(page, row.Plots[k], x + static_cast<double>(k) * (each + kGapBetweenRows), y, each, h);
    }
    y += h + kGapBetweenRows * scale;
  }

  const double footer = kPageHeightMm - kMargin - kFooterHeight + 2.0;
  page.SetPen(kInk, kThin);
  painter.drawLine(page.At(x, footer), page.At(x + w, footer));
  page.SetFont(kSmallPt);
  painter.setPen(kInk);
  page.Write(x, footer + 0.5, w / 3, 5.0, content.Version);
  page.Write(x, footer + 0.5, w, 5.0, content.PageText, Qt::AlignHCenter | Qt::AlignVCenter);
  const std::string signer = content.Operator.empty() ? std::string() : "担当 " + content.Operator;
  page.Write(x + w / 2, footer + 0.5, w / 2, 5.0, signer, Qt::AlignRight | Qt::AlignVCenter);
}

std::string WriteReportFile(const ReportContent& content, ReportFormat format, const std::string& path) {
  std::string error;
  switch (format) {
    case ReportFormat::Pdf: {
      QByteArray bytes;
      {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(kPdfResolution);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        writer.setTitle(Text(content.Title));
        writer.setCreator(Text(content.Version));
        if (!content.Attachment.empty()) {
          writer.addFileAttachment(Text(content.AttachmentName),
                                   QByteArray(content.Attachment.data(), static_cast<qsizetype>(content.Attachment.size())),
                                   QStringLiteral("text/csv"));
        }
        QPainter painter;
        if (!painter.begin(&writer)) return "PDF を作れません。";
        PaintReportPage(painter, writer.width() / kPageWidthMm, content);
        painter.end();
      }
      MapRadicalsToIdeographs(bytes);
      return WriteBytes(bytes, path, error) ? std::string() : error;
    }
    case ReportFormat::Png: {
      const double dotsPerMm = kReportImageDpi / 25.4;
      QImage image(static_cast<int>(std::lround(kPageWidthMm * dotsPerMm)),
                   static_cast<int>(std::lround(kPageHeightMm * dotsPerMm)), QImage::Format_RGB32);
      if (image.isNull()) return "画像を作るメモリが足りません。";
      image.fill(Qt::white);
      {
        QPainter painter(&image);
        PaintReportPage(painter, dotsPerMm, content);
      }
      TPNGObject png;
      png.Assign(QtCanvas(image).Image());
      const PngResult saved = png.SaveToFile(path);
      return saved.ok ? std::string() : saved.message;
    }
    case ReportFormat::Svg: {
      QByteArray bytes;
      {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        const double dotsPerMm = kSvgDpi / 25.4;
        const QSize size(static_cast<int>(std::lround(kPageWidthMm * dotsPerMm)),
                         static_cast<int>(std::lround(kPageHeightMm * dotsPerMm)));
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setResolution(static_cast<int>(kSvgDpi));
        svg.setTitle(Text(content.Title));
        svg.setDescription(Text(content.Version));
        QPainter painter;
        if (!painter.begin(&svg)) return "SVG を作れません。";
        painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
        PaintReportPage(painter, dotsPerMm, content);
        painter.end();
      }
      return WriteBytes(bytes, path, error) ? std::string() : error;
    }
  }
  return "報告書の形式が分かりません。";
}
