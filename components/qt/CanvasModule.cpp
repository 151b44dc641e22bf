#include "components/qt/CanvasModule.h"

#include <QGuiApplication>
#include <cstdio>
#include <memory>

#include "components/qt/QtCanvas.h"

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

OSCALYX_MODULE_ENTRY Canvas* OscalyxNewImageCanvas(int width, int height) {
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
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return nullptr;
  ++liveCanvases;
  return new QtCanvas(width, height);
}

OSCALYX_MODULE_ENTRY void OscalyxDeleteImageCanvas(Canvas* canvas) {
  if (canvas == nullptr) return;
  delete canvas;
  if (--liveCanvases == 0 && startedApplication) {
    startedApplication.reset();
    qInstallMessageHandler(nullptr);
  }
}
