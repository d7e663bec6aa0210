#pragma once

class QCoreApplication;

// Loads the translations for the system's language, Qt's own and the application's,
// into the application. English needs none beyond its plural forms, which ship.
void installTranslations(QCoreApplication& application);
