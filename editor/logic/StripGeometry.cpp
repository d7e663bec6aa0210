#include "StripGeometry.h"

#include <algorithm>
#include <cmath>

namespace strip {

namespace {

double slotStep(int level, double duration)
{
    return duration * THUMBNAIL_FRACTION / double(1 << level);
}

// A slot's time comes by repeated addition of the step, not index * step: the times are
// those a viewer of the running strip would see, rounding included.
double slotTime(int index, double step)
{
    double time = 0.0;
    for (int i = 0; i < index; ++i)
        time += step;
    return time;
}

// Slot `index` of level `level`, starting at `time`.
ThumbnailSlot slotAt(int level, int index, double time, double stripWidth, double stripHeight, double duration,
                     double offset)
{
    const int count = THUMBNAIL_COUNT << level;
    const double step = slotStep(level, duration);
    ThumbnailSlot slot;
    slot.level = level;
    slot.index = index;
    slot.time = time;
    slot.requestTime = thumbnailRequestTime(time);
    // The stretches meet: each ends where the next one's snapped start is.
    slot.requestEnd = index + 1 < count ? thumbnailRequestTime(time + step) : std::max(slot.requestTime, duration);
    slot.frame = QRectF(stripWidth * index * THUMBNAIL_FRACTION - offset, 0.0, stripWidth * THUMBNAIL_FRACTION, stripHeight);
    if (index == 0)
        slot.corners = RoundedCorners::Left;
    else if (index == count - 1)
        slot.corners = RoundedCorners::Right;
    return slot;
}

} // namespace

double Viewport::contentWidth() const
{
    return width * std::ldexp(1.0, level);
}

double Viewport::xOf(double fraction) const
{
    return fraction * contentWidth() - offset;
}

double Viewport::fractionAt(double x) const
{
    const double content = contentWidth();
    return content > 0.0 ? (x + offset) / content : 0.0;
}

int maxZoomLevel(double duration, double frameDuration)
{
    const auto span = [duration](int level) { return duration * THUMBNAIL_FRACTION / double(1 << level); };
    int level = 0;
    if (!(frameDuration > 0.0)) {
        while (level < MAX_ZOOM_LEVEL && span(level) > 1.0)
            ++level;
        return level;
    }
    // A thumbnail's stretch, snapped to the request steps at both ends, may come out up
    // to a step shorter than its span: the span keeps that much over a frame.
    const double frame = frameDuration + 2.0 / THUMBNAIL_TIME_SCALE;
    while (level < MAX_ZOOM_LEVEL && span(level + 1) >= frame)
        ++level;
    return level;
}

Viewport scrolledTo(Viewport view, double offset)
{
    const double last = std::max(0.0, view.contentWidth() - view.width);
    view.offset = std::isfinite(offset) ? std::clamp(offset, 0.0, last) : 0.0;
    return view;
}

Viewport zoomedTo(Viewport view, int level, int maxLevel, double anchor, double anchorX)
{
    view.level = std::clamp(level, 0, std::clamp(maxLevel, 0, MAX_ZOOM_LEVEL));
    return scrolledTo(view, anchor * view.contentWidth() - anchorX);
}

Viewport showing(Viewport view, double fraction)
{
    const double x = view.xOf(fraction);
    if (!std::isfinite(x) || (x >= 0.0 && x <= view.width))
        return view;
    return scrolledTo(view, fraction * view.contentWidth() - view.width / 2.0);
}

std::vector<ThumbnailSlot> thumbnailSlots(double stripWidth, double stripHeight, double duration)
{
    return thumbnailSlots(Viewport{stripWidth, 0, 0.0}, stripHeight, duration);
}

std::vector<ThumbnailSlot> thumbnailSlots(const Viewport& view, double stripHeight, double duration)
{
    const int count = THUMBNAIL_COUNT << view.level;
    const double slotWidth = view.width * THUMBNAIL_FRACTION;
    // A strip without width has nothing on screen: its placed are those of the start.
    int first = 0;
    int last = std::min(count, THUMBNAIL_COUNT) - 1;
    if (slotWidth > 0.0) {
        first = std::clamp(int(std::floor(view.offset / slotWidth)), 0, count - 1);
        last = std::clamp(int(std::ceil((view.offset + view.width) / slotWidth)) - 1, first, count - 1);
    }
    std::vector<ThumbnailSlot> placed;
    placed.reserve(size_t(last - first + 1));
    const double step = slotStep(view.level, duration);
    double time = slotTime(first, step);
    for (int i = first; i <= last; ++i, time += step)
        placed.push_back(slotAt(view.level, i, time, view.width, stripHeight, duration, view.offset));
    return placed;
}

ThumbnailSlot enclosingSlot(const ThumbnailSlot& slot, int level, double stripWidth, double duration)
{
    level = std::clamp(level, 0, slot.level);
    const int index = slot.index >> (slot.level - level);
    return slotAt(level, index, slotTime(index, slotStep(level, duration)), stripWidth, slot.frame.height(), duration, 0.0);
}

double thumbnailRequestTime(double seconds)
{
    if (!std::isfinite(seconds))
        return 0.0;
    // Back to the step at or before it, so that a stretch starting on a frame holds that
    // frame; a time a hair short of a step (from adding up slot lengths) counts as on it.
    constexpr double HAIR = 1e-6;
    return std::floor(seconds * THUMBNAIL_TIME_SCALE + HAIR) / THUMBNAIL_TIME_SCALE;
}

SplitMarker splitMarker(double position, const Viewport& view, double stripHeight)
{
    SplitMarker marker;
    marker.frame = QRectF(view.xOf(position), 0.0, MARKER_WIDTH, stripHeight);
    marker.line = QLineF(MARKER_LINE_X, MARKER_LINE_START_Y, MARKER_LINE_X, stripHeight);
    return marker;
}

std::vector<std::uint8_t> soundColumns(const std::vector<std::uint8_t>& peaks, int perSecond, const Viewport& view,
                                       double duration)
{
    const int count = std::max(0, int(std::ceil(view.width)));
    std::vector<std::uint8_t> columns(size_t(count), 0);
    if (peaks.empty() || perSecond <= 0 || !(duration > 0.0))
        return columns;
    const double perPoint = duration * perSecond;
    const auto peakAt = [&](double fraction) {
        return std::clamp<std::int64_t>(std::int64_t(std::floor(fraction * perPoint)), 0, std::int64_t(peaks.size()));
    };
    for (int x = 0; x < count; ++x) {
        const std::int64_t from = peakAt(view.fractionAt(x));
        // At least one peak a column, however narrow its stretch.
        const std::int64_t to = std::max(peakAt(view.fractionAt(x + 1)), std::min(from + 1, std::int64_t(peaks.size())));
        if (from < to)
            columns[size_t(x)] = *std::max_element(peaks.begin() + from, peaks.begin() + to);
    }
    return columns;
}

ClipNumberLabel clipNumberLabel(int number, double right, double left, double numbersHeight)
{
    ClipNumberLabel label;
    label.number = number;
    label.text = QString::number(number);
    label.frame = QRectF(((right - left) * 0.5 + left) + LABEL_OFFSET, 0.0, LABEL_WIDTH, numbersHeight);
    label.clipWidth = right - left;
    return label;
}

std::vector<ClipNumberLabel> clipNumberLabels(const std::vector<double>& sortedSplitPoints,
                                              const Viewport& view, double numbersHeight)
{
    std::vector<ClipNumberLabel> labels;
    if (sortedSplitPoints.empty())
        return labels;
    labels.reserve(sortedSplitPoints.size() + 1);
    double left = view.xOf(0.0);
    int number = 1;
    for (double point : sortedSplitPoints) {
        const double right = view.xOf(point);
        labels.push_back(clipNumberLabel(number++, right, left, numbersHeight));
        left = right;
    }
    labels.push_back(clipNumberLabel(number, view.xOf(1.0), left, numbersHeight));
    return labels;
}

} // namespace strip
