// The report page from the command line: painted by the drawing module (see
// components/qt/CanvasModule.h), loaded only when a command writes a report.
#pragma once

#include <string>

#include "session/Report.h"

// Writes `content` as `format` to `path`; the reason of a failure (Japanese),
// empty on success.
std::string WriteReportThroughModule(const ReportContent& content, ReportFormat format, const std::string& path);

// The operator's name the window's settings keep; empty when none is set or
// the module cannot be loaded.
std::string OperatorFromSettings();
