#include "components/qt/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool InstallJapaneseTranslations(QCoreApplication& app) {
  const QLocale japanese(QLocale::Japanese, QLocale::Japan);
  QLocale::setDefault(japanese);
  // Owned by the application, so it lives as long as the texts are needed.
  auto* translator = new QTranslator(&app);
  if (!translator->load(japanese, "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  QCoreApplication::installTranslator(translator);
  // Ours after Qt's: the texts it holds are the ones Qt's leaves in English.
  auto* gaps = new QTranslator(&app);
  if (gaps->load(QStringLiteral(":/translations/oscalyx_ja.qm"))) {
    QCoreApplication::installTranslator(gaps);
  } else {
    delete gaps;
  }
  return true;
}
