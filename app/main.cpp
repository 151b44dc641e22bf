// Start-up: the application, then the six windows in their fixed order; only
// the main window is shown. An error that escapes is shown and ends the program.
//
// The application's title ("Oscalyx V2.0") is its name (task bar, window class),
// never part of a caption: Qt appends a display name to every window title,
// so none is set.
#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <clocale>
#include <exception>

#include "app/UAbout.h"
#include "app/UCenter.h"
#include "app/UFormat.h"
#include "app/UGraph.h"
#include "app/UHowTo.h"
#include "app/UOpen.h"
#include "components/Version.h"
#include "components/qt/QtPlatform.h"
#include "components/qt/Translations.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  // Number texts are always written with a decimal point.
  std::setlocale(LC_NUMERIC, "C");
  try {
    QApplication::setApplicationName(kApplicationTitle);
    QGuiApplication::setDesktopFileName("oscalyx");
    InstallJapaneseTranslations(app);
    QtPlatform platform;
    TOpen open(platform);
    platform.SetParent(&open);
    THowTo howTo;
    TAbout about;
    TGraph graph(platform);
    TGFormat format(platform, graph);
    TCenter center(platform);
    open.AttachWindows(&howTo, &about, &graph, &format, &center);
    open.adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      open.move(screen->availableGeometry().center() - open.rect().center());
    }
    open.show();
    return QApplication::exec();
  } catch (const std::exception& error) {
    QMessageBox::critical(nullptr, kApplicationTitle, QString::fromUtf8(error.what()));
    return 1;
  }
}
