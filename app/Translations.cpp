#include "Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

bool loadOwn(QTranslator& translator)
{
    // A language without a translation of its own reads English, with English plurals.
    return translator.load(QLocale(), QStringLiteral("trimora"), QStringLiteral("_"), QStringLiteral(":/i18n"))
        || translator.load(QStringLiteral(":/i18n/trimora_en"));
}

} // namespace

QString translateBeforeStart(const char* context, const char* text)
{
    static QTranslator early;
    static const bool loaded = loadOwn(early);
    const QString translated = loaded ? early.translate(context, text) : QString();
    return translated.isEmpty() ? QString::fromUtf8(text) : translated;
}

void installTranslations(QCoreApplication& application)
{
    const QLocale locale;
    // Owned by the application, which keeps them for its whole run.
    auto* qt = new QTranslator(&application);
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    auto* own = new QTranslator(&application);
    if (loadOwn(*own))
        QCoreApplication::installTranslator(own);
}
