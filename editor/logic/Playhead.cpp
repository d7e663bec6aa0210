#include "Playhead.h"

#include <cmath>

namespace {

bool usableDuration(double duration)
{
    return std::isfinite(duration) && duration > 0.0;
}

} // namespace

std::optional<double> pointerPosition(double currentTime, double duration, double stripWidth)
{
    if (!std::isfinite(currentTime))
        return std::nullopt;
    if (!usableDuration(duration) || !std::isfinite(stripWidth))
        return 0.0;
    return currentTime / duration * stripWidth;
}

std::optional<ScrubStep> scrub(double x, double stripWidth, double duration)
{
    // Written so that NaN fails both comparisons and is ignored.
    if (!(x >= 0.0 && x <= stripWidth))
        return std::nullopt;
    if (!(stripWidth > 0.0) || !std::isfinite(stripWidth))
        return ScrubStep{0.0, std::nullopt};
    if (!std::isfinite(duration) || duration < 0.0)
        return ScrubStep{x, std::nullopt};
    return ScrubStep{x, x / stripWidth * duration};
}

bool standsAtEnd(double currentTime, double duration, double frameDuration, bool reachedEndOfMedia)
{
    if (reachedEndOfMedia)
        return true;
    if (!std::isfinite(currentTime) || !std::isfinite(duration))
        return false;
    const double tolerance = std::isfinite(frameDuration) && frameDuration > 0.0 ? frameDuration : 0.0;
    return currentTime >= duration - tolerance;
}
