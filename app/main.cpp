// Start-up: the application, then the six windows in their fixed order; only
// the main window is shown, and loads the record named on the command line,
// if any. An error that escapes is shown and ends the program.
//
// The application's title ("Oscalyx V2.0") is its name (task bar, window class),
// never part of a caption: Qt appends a display name to every window title,
// so none is set.
#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <exception>
#include <filesystem>

#include "app/Conversions.h"
#include "app/UAbout.h"
#include "app/UCenter.h"
#include "app/UFormat.h"
#include "app/UGraph.h"
#include "app/UHowTo.h"
#include "app/Preferences.h"
#include "app/UOpen.h"
#include "io/Version.h"
#include "components/qt/QtPlatform.h"
#include "components/qt/Translations.h"
#include "session/Session.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  // Qt has taken its own options out of argc and argv; what is left is at
  // most one record to open, taken as the bytes it was given (a Shift-JIS
  // name is no text Qt could hold).
  if (argc > 2) {
    std::fputs("oscalyx：引数が多すぎます。開く記録のファイルを１つだけ指定してください。\n"
               "使い方：oscalyx [ファイル]\n"
               "　ファイル　拡張子が .dbl ならSPC-51計測データとして、.txt .asc .dat .tsv .wav .uff .unv .mat なら\n"
               "　　　　　　読み込みの設定を聞いてから、それ以外は標準CSVとして開きます。\n",
               stderr);
    return 2;
  }
  // Number texts are always written with a decimal point.
  std::setlocale(LC_NUMERIC, "C");
  try {
    QApplication::setApplicationName(kApplicationTitle);
    QGuiApplication::setDesktopFileName("oscalyx");
    InstallJapaneseTranslations(app);
    QtPlatform platform;
    // The session outlives every window that shows it.
    Session session;
    TOpen open(platform, session);
    platform.SetParent(&open);
    THowTo howTo;
    TAbout about;
    TGraph graph(platform, session);
    TGFormat format(platform, graph);
    TCenter center(platform, session);
    open.AttachWindows(&howTo, &about, &graph, &format, &center);
    open.adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      open.move(screen->availableGeometry().center() - open.rect().center());
    }
    // Where the windows stood last time, the last folder and the recent
    // records come back (the window stays centred on the first start).
    Preferences preferences;
    open.AttachPreferences(&preferences);
    open.show();
    if (argc == 2) {
      // Once the window is up, the file loads as a dropped file would.
      const std::string path = std::filesystem::absolute(argv[1]).lexically_normal().string();
      QTimer::singleShot(0, &open, [&open, &platform, path] { RunGuarded(platform, [&] { open.OpenFile(path); }); });
    }
    return QApplication::exec();
  } catch (const std::exception& error) {
    QMessageBox::critical(nullptr, kApplicationTitle, QString::fromUtf8(error.what()));
    return 1;
  }
}
