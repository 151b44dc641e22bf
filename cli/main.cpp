#include <QGuiApplication>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/Cli.h"

namespace {

// Qt's own warnings (a missing runtime folder and the like) are no business of
// a batch tool's caller; real errors still go to stderr.
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

}  // namespace

int main(int argc, char* argv[]) {
  qInstallMessageHandler(QuietMessages);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  // Drawing text on images needs the font machinery of a GUI application, but
  // never a display; the other commands need neither.
  std::unique_ptr<QGuiApplication> app;
  int qtArgc = 1;
  const bool sweepPlot =
      !args.empty() && args[0] == "sweep" && std::find(args.begin(), args.end(), "--plot") != args.end();
  if (!args.empty() && (args[0] == "plot" || sweepPlot)) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    app = std::make_unique<QGuiApplication>(qtArgc, argv);
  }
  std::setlocale(LC_NUMERIC, "C");
  return RunCli(args, stdout, stderr);
}
