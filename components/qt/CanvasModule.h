// The image canvas as a loadable module. oscalyx-cli draws on Qt's canvas
// only for `plot` and the pictures of `sweep`; its other commands start
// without loading Qt at all (a third of the start-up time and memory; see
// bench/README.md). When the process has no Qt application, the module starts
// one of its own on the offscreen platform, whatever QT_QPA_PLATFORM says:
// the command line never needs a display, and a platform that cannot start
// would end the process.
#pragma once

#include <string>

class Canvas;
struct ReportContent;

// The module's file name, and the names of its entry points.
inline constexpr char kCanvasModuleName[] = "liboscalyx-canvas.so";
inline constexpr char kCanvasModuleVersionSymbol[] = "OscalyxCanvasModuleVersion";
inline constexpr char kNewCanvasSymbol[] = "OscalyxNewImageCanvas";
inline constexpr char kDeleteCanvasSymbol[] = "OscalyxDeleteImageCanvas";
inline constexpr char kWriteReportSymbol[] = "OscalyxWriteReport";
inline constexpr char kReportOperatorSymbol[] = "OscalyxReportOperator";

// What the module and its loader must agree on: the Canvas interface and the
// entry points. Raised whenever either changes.
inline constexpr int kCanvasModuleInterface = 3;

extern "C" {
// kCanvasModuleInterface as the module was built.
int OscalyxCanvasModuleVersion();
// A white picture of the given size; null when no GUI application can start.
Canvas* OscalyxNewImageCanvas(int width, int height);
// Deletes a picture; with the last one gone, ends the application the module
// started, if it started one.
void OscalyxDeleteImageCanvas(Canvas* canvas);
// Writes the report page (see components/qt/ReportPage.h) in `format` (a
// ReportFormat) to `path`; false with the reason in `error` (Japanese).
bool OscalyxWriteReport(const ReportContent* content, int format, const char* path, std::string* error);
// The operator's name the window's settings keep (report/operator), UTF-8;
// empty when none is set.
void OscalyxReportOperator(std::string* name);
}
