#include "StripGeometry.h"

#include <algorithm>
#include <cmath>

namespace strip {

std::vector<ThumbnailSlot> thumbnailSlots(double stripWidth, double stripHeight, double duration)
{
    std::vector<ThumbnailSlot> thumbnails;
    thumbnails.reserve(THUMBNAIL_COUNT);
    const double step = duration * THUMBNAIL_FRACTION;
    double time = 0.0;
    for (int i = 0; i < THUMBNAIL_COUNT; ++i) {
        ThumbnailSlot slot;
        slot.index = i;
        slot.time = time;
        slot.requestTime = thumbnailRequestTime(time);
        slot.frame = QRectF(stripWidth * i * THUMBNAIL_FRACTION, 0.0,
                            stripWidth * THUMBNAIL_FRACTION, stripHeight);
        if (i == 0)
            slot.corners = RoundedCorners::Left;
        else if (i == THUMBNAIL_COUNT - 1)
            slot.corners = RoundedCorners::Right;
        thumbnails.push_back(slot);
        // Repeated addition, not i * step: the times are those a viewer of the
        // running strip would see, rounding included.
        time += step;
    }
    for (size_t i = 0; i + 1 < thumbnails.size(); ++i)
        thumbnails[i].requestEnd = thumbnails[i + 1].requestTime;
    thumbnails.back().requestEnd = std::max(thumbnails.back().requestTime, duration);
    return thumbnails;
}

double thumbnailRequestTime(double seconds)
{
    if (!std::isfinite(seconds))
        return 0.0;
    return std::round(seconds * THUMBNAIL_TIME_SCALE) / THUMBNAIL_TIME_SCALE;
}

SplitMarker splitMarker(double position, double stripWidth, double stripHeight)
{
    SplitMarker marker;
    marker.frame = QRectF(stripWidth * position, 0.0, MARKER_WIDTH, stripHeight);
    marker.line = QLineF(MARKER_LINE_X, MARKER_LINE_START_Y, MARKER_LINE_X, stripHeight);
    return marker;
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
                                              double stripWidth, double numbersHeight)
{
    std::vector<ClipNumberLabel> labels;
    if (sortedSplitPoints.empty())
        return labels;
    labels.reserve(sortedSplitPoints.size() + 1);
    double left = 0.0;
    int number = 1;
    for (double point : sortedSplitPoints) {
        const double right = point * stripWidth;
        labels.push_back(clipNumberLabel(number++, right, left, numbersHeight));
        left = right;
    }
    labels.push_back(clipNumberLabel(number, stripWidth, left, numbersHeight));
    return labels;
}

} // namespace strip
