#pragma once

#include <array>
#include <vector>

#include <QLineF>
#include <QRectF>
#include <QString>

// The geometry of the timeline strip: the thumbnails across it, the split markers on
// it and the clip numbers under it. Everything is a pure function of the strip's
// width W and height H, the numbers row's height, the strip's corner radius, the
// video's duration and the split positions, so it can be recomputed for any size:
// after a resize every piece is placed again from its time or fraction.

namespace strip {

inline constexpr int THUMBNAIL_COUNT = 8;
inline constexpr double THUMBNAIL_FRACTION = 0.125;
// Thumbnail times are asked for in steps of 1/40 s.
inline constexpr int THUMBNAIL_TIME_SCALE = 40;

inline constexpr double MARKER_WIDTH = 5.0;
inline constexpr double MARKER_LINE_X = 2.5;
inline constexpr double MARKER_LINE_START_Y = 2.0;
inline constexpr double MARKER_LINE_WIDTH = 2.0;
inline constexpr std::array<double, 2> MARKER_DASH_PATTERN = {7.0, 3.0};

inline constexpr double LABEL_WIDTH = 10.0;
inline constexpr double LABEL_OFFSET = -5.0;
inline constexpr double LABEL_FONT_SIZE = 15.0;

enum class RoundedCorners {
    None,
    Left,  // top-left and bottom-left: the first thumbnail
    Right, // top-right and bottom-right: the last thumbnail
};

struct ThumbnailSlot {
    int index = 0;
    double time = 0.0;        // seconds, by repeated addition of a step of D / 8
    double requestTime = 0.0; // the time snapped to the thumbnail time scale
    double requestEnd = 0.0;  // where the slot's stretch ends: the next slot's request time, or the duration
    QRectF frame;             // in strip coordinates
    RoundedCorners corners = RoundedCorners::None;
};

struct SplitMarker {
    QRectF frame; // in strip coordinates; the left edge, not the middle, is the split
    QLineF line;  // the dashed line, in the marker's own coordinates
};

struct ClipNumberLabel {
    int number = 0;
    QString text;
    QRectF frame;         // in the numbers row's coordinates
    double clipWidth = 0; // of the clip's stretch: a number wider than it is not shown
};

// The eight slots, left to right. Each shows a picture from its own stretch of the
// video, [requestTime, requestEnd): the stretches meet, so every picture is of its own
// eighth and none of a neighbour's. The last stretch runs to the end.
std::vector<ThumbnailSlot> thumbnailSlots(double stripWidth, double stripHeight, double duration);

// A time as it is asked of the frame extractor: rounded to the nearest step of 1/40 s.
double thumbnailRequestTime(double seconds);

SplitMarker splitMarker(double position, double stripWidth, double stripHeight);

// The label of one clip, centred on the clip's stretch [left, right] of the strip.
ClipNumberLabel clipNumberLabel(int number, double right, double left, double numbersHeight);

// One label per clip, numbered by place on the timeline, from the sorted split points.
// Empty when there is no split point.
std::vector<ClipNumberLabel> clipNumberLabels(const std::vector<double>& sortedSplitPoints,
                                              double stripWidth, double numbersHeight);

} // namespace strip
