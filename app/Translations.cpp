#include "Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

void installTranslations(QCoreApplication& application)
{
    const QLocale locale;
    // Owned by the application, which keeps them for its whole run.
    auto* qt = new QTranslator(&application);
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    // A language without a translation of its own reads English, with English plurals.
    auto* own = new QTranslator(&application);
    if (own->load(locale, QStringLiteral("trimora"), QStringLiteral("_"), QStringLiteral(":/i18n"))
        || own->load(QStringLiteral(":/i18n/trimora_en")))
        QCoreApplication::installTranslator(own);
}
