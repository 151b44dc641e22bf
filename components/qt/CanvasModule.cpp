#include "components/qt/CanvasModule.h"

#include <QGuiApplication>
#include <QSettings>
#include <cstdio>
#include <memory>

#include "components/qt/QtCanvas.h"
#include "components/qt/ReportPage.h"

namespace {

std::unique_ptr<QGuiApplication> startedApplication;
int liveCanvases = 0;

// Qt's own warnings (a missing runtime folder and the like) are no business of
// a batch tool's caller; real errors still go to stderr.
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

}  // namespace

#define OSCALYX_MODULE_ENTRY extern "C" __attribute__((visibility("default")))

OSCALYX_MODULE_ENTRY int OscalyxCanvasModuleVersion() { return kCanvasModuleInterface; }

namespace {

// A GUI application for the fonts, started on the offscreen platform when the
// process has none; false when there is one that is not a GUI application.
bool EnsureApplication() {
  if (QCoreApplication::instance() == nullptr) {
    qInstallMessageHandler(QuietMessages);
    // Drawing needs no display: a platform named for the desktop (xcb without
    // an X server, as under ssh or cron) would end the process instead.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "oscalyx-cli";
    static char* argv[] = {name, nullptr};
    startedApplication = std::make_unique<QGuiApplication>(argc, argv);
  }
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

// Ends the application this module started once nothing of it is in use.
void EndApplicationWhenIdle() {
  if (liveCanvases == 0 && startedApplication) {
    startedApplication.reset();
    qInstallMessageHandler(nullptr);
  }
}

}  // namespace

OSCALYX_MODULE_ENTRY Canvas* OscalyxNewImageCanvas(int width, int height) {
  if (!EnsureApplication()) return nullptr;
  ++liveCanvases;
  return new QtCanvas(width, height);
}

OSCALYX_MODULE_ENTRY void OscalyxDeleteImageCanvas(Canvas* canvas) {
  if (canvas == nullptr) return;
  delete canvas;
  --liveCanvases;
  EndApplicationWhenIdle();
}

OSCALYX_MODULE_ENTRY bool OscalyxWriteReport(const ReportContent* content, int format, const char* path,
                                             std::string* error) {
  if (!EnsureApplication()) {
    *error = "描画の準備ができません（Qtのアプリケーションを開始できません）。";
    return false;
  }
  *error = WriteReportFile(*content, static_cast<ReportFormat>(format), path);
  EndApplicationWhenIdle();
  return error->empty();
}

OSCALYX_MODULE_ENTRY void OscalyxReportOperator(std::string* name) {
  const QSettings settings(QStringLiteral("Oscalyx"), QStringLiteral("oscalyx"));
  *name = settings.value(QStringLiteral("report/operator")).toString().toStdString();
}
