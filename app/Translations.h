#pragma once

#include <QString>

class QCoreApplication;

// Loads the translations for the system's language, Qt's own and the application's,
// into the application. English needs none beyond its plural forms, which ship.
void installTranslations(QCoreApplication& application);

// The application's own translation of a text marked with QT_TRANSLATE_NOOP, for the
// few words said before the application object exists (there is none to install a
// translator into yet).
QString translateBeforeStart(const char* context, const char* text);
