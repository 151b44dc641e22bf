// The report's one A4 page, painted by one routine onto any of Qt's paint
// devices: QPdfWriter for the deliverable, a QImage for a PNG, QSvgGenerator
// for an SVG. Everything is placed in millimetres of the page and scaled to
// the device, so the three files show the same page. The text is set in IPAex
// Gothic, a TrueType face: the PDF embeds it (as a subset) with its Unicode
// map, so the text stays searchable and extractable in every viewer.
#pragma once

#include <QPainter>
#include <QString>
#include <string>

#include "session/Report.h"

inline constexpr char kReportFontFamily[] = "IPAexGothic";
inline constexpr double kPageWidthMm = 210.0;
inline constexpr double kPageHeightMm = 297.0;
// The PNG's resolution: enough to read the tables when printed.
inline constexpr int kReportImageDpi = 150;

// Paints the page with its top-left corner at the device's origin;
// `dotsPerMm` is the device's resolution.
void PaintReportPage(QPainter& painter, double dotsPerMm, const ReportContent& content);

// Writes the page as `format` to `path` (under a temporary name renamed into
// place, so a failure leaves nothing). A PDF carries content.Attachment as an
// embedded file. Returns the reason of a failure (Japanese), empty on success.
std::string WriteReportFile(const ReportContent& content, ReportFormat format, const std::string& path);
