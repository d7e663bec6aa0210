#include "Playhead.h"

#include <algorithm>
#include <cmath>

namespace {

// A player's clock counts whole milliseconds.
constexpr double CLOCK_SLACK = 0.001;

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
    // A player sent to the last frame stands at its start rounded down to the
    // millisecond, a little more than a frame before the end.
    const double tolerance = std::isfinite(frameDuration) && frameDuration > 0.0 ? frameDuration : 0.0;
    return currentTime >= duration - tolerance - CLOCK_SLACK;
}

namespace {

constexpr double FALLBACK_FRAME_DURATION = 1.0 / 30.0;
// Far below any frame duration, far above the rounding of a time in seconds.
constexpr double FRAME_TOLERANCE = 1e-6;

// How many frames start within a stretch of time: a stretch of whole frames ends
// exactly where a next frame would start.
std::int64_t framesIn(double seconds, double step)
{
    return std::max<std::int64_t>(0, std::int64_t(std::ceil(seconds / step - FRAME_TOLERANCE)));
}

} // namespace

FrameGrid::FrameGrid(double frameDuration, double duration, PictureSpan span)
    : step(std::isfinite(frameDuration) && frameDuration > 0.0 ? frameDuration : FALLBACK_FRAME_DURATION)
    , length(usableDuration(duration) ? duration : 0.0)
    , pictures(span)
{
}

std::int64_t FrameGrid::frameAt(double seconds) const
{
    if (!std::isfinite(seconds) || seconds <= 0.0)
        return 0;
    const double slack = std::min(CLOCK_SLACK, step / 4.0);
    return clamp(std::int64_t(std::ceil((seconds - slack) / step)));
}

std::int64_t FrameGrid::lastFrame() const
{
    const std::int64_t last = std::max<std::int64_t>(0, framesIn(length, step) - 1);
    if (!(std::isfinite(pictures.start) && std::isfinite(pictures.end) && pictures.end > pictures.start))
        return last;
    // Sent to a frame's start, a player shows the first picture at or after it: the
    // last frame is the latest one starting at or before the last picture, wherever
    // sound before or after the pictures puts them.
    const std::int64_t pictureCount = framesIn(pictures.end - pictures.start, step);
    const double lastPicture = pictures.start + double(std::max<std::int64_t>(0, pictureCount - 1)) * step;
    return std::clamp<std::int64_t>(std::int64_t(std::floor(lastPicture / step + FRAME_TOLERANCE)), 0, last);
}

double FrameGrid::timeOf(std::int64_t frame) const
{
    return double(clamp(frame)) * step;
}

double FrameGrid::seekTimeOf(std::int64_t frame) const
{
    return std::floor(timeOf(frame) * 1000.0 + FRAME_TOLERANCE) / 1000.0;
}

std::int64_t FrameGrid::clamp(std::int64_t frame) const
{
    return std::clamp<std::int64_t>(frame, 0, lastFrame());
}
