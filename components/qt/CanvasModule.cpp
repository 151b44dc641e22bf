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

extern "C" Canvas* OscalyxNewImageCanvas(int width, int height) {
  if (QCoreApplication::instance() == nullptr) {
    qInstallMessageHandler(QuietMessages);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "oscalyx-cli";
    static char* argv[] = {name, nullptr};
    startedApplication = std::make_unique<QGuiApplication>(argc, argv);
  }
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return nullptr;
  ++liveCanvases;
  return new QtCanvas(width, height);
}

extern "C" void OscalyxDeleteImageCanvas(Canvas* canvas) {
  if (canvas == nullptr) return;
  delete canvas;
  if (--liveCanvases == 0 && startedApplication) {
    startedApplication.reset();
    qInstallMessageHandler(nullptr);
  }
}
