// Qt's own texts (file dialogs, the overwrite question, standard buttons) in
// Japanese, from the translations the system's Qt installation carries and,
// for the few it leaves in English, our own (translations/oscalyx_ja.ts).
#pragma once

class QCoreApplication;

// Installs Qt's Japanese translation into the application and makes Japanese
// the default locale. Returns false when the translation file is not found;
// the program then runs with Qt's English texts for its own dialogs.
bool InstallJapaneseTranslations(QCoreApplication& app);
