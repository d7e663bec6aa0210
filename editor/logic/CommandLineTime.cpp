#include "CommandLineTime.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <QCoreApplication>
#include <QList>
#include <QLocale>

#include "FileNames.h"

namespace {

// Long enough for any real time, short enough that the value stays exact and finite.
constexpr qsizetype MAX_DIGITS = 12;

// Unsigned decimal: digits, optionally a point and more digits. Nothing else, so no
// signs, exponents, "nan" or "inf" can slip through.
std::optional<double> parseDecimal(QStringView text, bool allowFraction)
{
    qsizetype point = text.indexOf(QLatin1Char('.'));
    const QStringView whole = point < 0 ? text : text.left(point);
    const QStringView fraction = point < 0 ? QStringView() : text.mid(point + 1);
    if (whole.isEmpty() || whole.size() > MAX_DIGITS || fraction.size() > MAX_DIGITS)
        return std::nullopt;
    if (point >= 0 && (!allowFraction || fraction.isEmpty()))
        return std::nullopt;
    for (QStringView digits : {whole, fraction}) {
        if (!std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }))
            return std::nullopt;
    }
    // The double nearest to the decimal written, as "0.3" means.
    bool ok = false;
    const double value = QLocale::c().toDouble(text, &ok);
    return ok ? std::optional(value) : std::nullopt;
}

// Seconds in each unit a plain number may carry ("75.5s", "1500ms", "2min", "1h").
struct TimeUnit {
    const char* suffix;
    double seconds;
};
constexpr TimeUnit UNITS[] = {{"ms", 0.001}, {"min", 60.0}, {"s", 1.0}, {"h", 3600.0}};

} // namespace

Outcome<CommandLineTime> parseCommandLineTime(QStringView text)
{
    const QStringView trimmed = text.trimmed();
    auto fail = [&](const QString& why) {
        return Outcome<CommandLineTime>::failure(
            QCoreApplication::translate("CommandLineTime", "'%1' is not a time: %2").arg(text.toString(), why));
    };
    if (trimmed.isEmpty())
        return fail(QCoreApplication::translate("CommandLineTime", "it is empty"));

    if (trimmed.endsWith(QLatin1Char('%'))) {
        const std::optional<double> percent = parseDecimal(trimmed.chopped(1), true);
        if (!percent)
            return fail(QCoreApplication::translate("CommandLineTime", "use a number of percent such as 25% or 12.5%"));
        if (*percent > 100.0)
            return fail(QCoreApplication::translate("CommandLineTime", "a share of the video cannot be more than 100%"));
        return CommandLineTime{*percent, true};
    }

    for (const TimeUnit& unit : UNITS) {
        if (!trimmed.endsWith(QLatin1String(unit.suffix)))
            continue;
        const std::optional<double> value = parseDecimal(trimmed.chopped(qsizetype(std::strlen(unit.suffix))), true);
        if (!value)
            return fail(QCoreApplication::translate("CommandLineTime", "use a number before the unit, such as 75.5s, 1500ms or 2min"));
        return CommandLineTime{*value * unit.seconds, false};
    }

    const QList<QStringView> fields = trimmed.split(QLatin1Char(':'));
    if (fields.size() > 3)
        return fail(QCoreApplication::translate("CommandLineTime", "use seconds, mm:ss or h:mm:ss"));
    double total = 0.0;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const bool last = i == fields.size() - 1;
        const std::optional<double> value = parseDecimal(fields[i], last);
        if (!value)
            return fail(QCoreApplication::translate("CommandLineTime", "use seconds, mm:ss or h:mm:ss, with digits and at most one decimal point"));
        if (i > 0 && *value >= 60.0)
            return fail(QCoreApplication::translate("CommandLineTime", "minutes and seconds after a colon must be below 60"));
        total = total * 60.0 + *value;
    }
    return CommandLineTime{total, false};
}

QString escapeControlCharacters(const QString& text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '\n')
            escaped += QStringLiteral("\\n");
        else if (u == '\t')
            escaped += QStringLiteral("\\t");
        else if (u == '\r')
            escaped += QStringLiteral("\\r");
        else if (u == '\\')
            escaped += QStringLiteral("\\\\");
        else if (u < 0x20 || u == 0x7f || (u >= 0x80 && u < 0xa0))
            escaped += QStringLiteral("\\x%1").arg(unsigned(u), 2, 16, QLatin1Char('0'));
        else
            escaped += c;
    }
    // After the backslashes are doubled: a byte's "\xFF" is not the name's own "\\xFF".
    return shownFileName(escaped);
}
