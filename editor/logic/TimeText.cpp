#include "TimeText.h"

#include <cmath>
#include <cstdint>

namespace {

constexpr std::int64_t SECONDS_PER_HOUR = 3600;

} // namespace

QString timeText(double seconds)
{
    // 2^63 is the first double past the signed 64-bit range; such a time has no
    // meaningful text, so it is treated like any other unreadable time.
    constexpr double LIMIT = 9223372036854775808.0;
    if (!std::isfinite(seconds) || seconds >= LIMIT)
        return QStringLiteral("--:--");
    if (seconds < 0.0)
        return QStringLiteral("00:00");

    const auto whole = static_cast<std::int64_t>(seconds);
    const std::int64_t minutes = (whole / 60) % 60;
    const std::int64_t secs = whole % 60;
    if (whole < SECONDS_PER_HOUR) {
        return QStringLiteral("%1:%2")
            .arg(minutes, 2, 10, QLatin1Char('0'))
            .arg(secs, 2, 10, QLatin1Char('0'));
    }
    return QStringLiteral("%1:%2:%3")
        .arg(whole / SECONDS_PER_HOUR)
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(secs, 2, 10, QLatin1Char('0'));
}

QString timeLabelText(double current, double total)
{
    return timeText(current) + QStringLiteral(" / ") + timeText(total);
}
