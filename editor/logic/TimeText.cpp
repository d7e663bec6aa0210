#include "TimeText.h"

#include <algorithm>
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

QString preciseTimeText(double seconds)
{
    constexpr double LIMIT = 9.0e15;
    if (!std::isfinite(seconds) || seconds >= LIMIT)
        return QStringLiteral("--:--");
    // Rounded: a frame starting at 66.67 ms reads 0.067, as FFmpeg prints it.
    const auto millis = static_cast<std::int64_t>(std::llround(std::max(0.0, seconds) * 1000.0));
    const std::int64_t whole = millis / 1000;
    return QStringLiteral("%1:%2:%3.%4")
        .arg(whole / SECONDS_PER_HOUR)
        .arg((whole / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(whole % 60, 2, 10, QLatin1Char('0'))
        .arg(millis % 1000, 3, 10, QLatin1Char('0'));
}
