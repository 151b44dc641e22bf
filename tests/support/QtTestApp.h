// One QApplication for a whole test program, created on first use. Widgets,
// fonts and the canvas text need it; the windows run headless on the offscreen
// platform (set here when the environment does not name one already).
//
// Call EnsureQtApp() from a fixture's SetUpTestSuite (or at the top of a test)
// before any widget or QtCanvas text is made. The application lives until the
// program ends.
#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QtGlobal>

inline QApplication* EnsureQtApp() {
  if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return existing;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "oscalyx-tests";
  static char* argv[] = {name, nullptr};
  return new QApplication(argc, argv);
}
