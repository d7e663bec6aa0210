#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include <QLineF>
#include <QRectF>
#include <QString>

// The geometry of the timeline strip: the thumbnails across it, the split markers on
// it and the clip numbers under it. Everything is a pure function of the strip's
// width W and height H, its zoom and scroll offset, the numbers row's height, the
// strip's corner radius, the video's duration and the split positions, so it can be
// recomputed for any size: after a resize or a zoom every piece is placed again from
// its time or fraction.

namespace strip {

inline constexpr int THUMBNAIL_COUNT = 8;
inline constexpr double THUMBNAIL_FRACTION = 0.125;
// Thumbnail times are asked for in steps of a millisecond: finer than a frame at any
// rate a video has, so a strip zoomed in to frames asks for each frame's own stretch.
inline constexpr int THUMBNAIL_TIME_SCALE = 1000;

inline constexpr double MARKER_WIDTH = 5.0;
inline constexpr double MARKER_LINE_X = 2.5;
inline constexpr double MARKER_LINE_START_Y = 2.0;
inline constexpr double MARKER_LINE_WIDTH = 2.0;
inline constexpr std::array<double, 2> MARKER_DASH_PATTERN = {7.0, 3.0};

// Each zoom level doubles the timeline's length; the deepest one is where a thumbnail
// spans a single frame (never deeper than this: a frame of a ten-hour video at 30 fps).
inline constexpr int MAX_ZOOM_LEVEL = 17;

inline constexpr double LABEL_WIDTH = 10.0;
inline constexpr double LABEL_OFFSET = -5.0;
inline constexpr double LABEL_FONT_SIZE = 15.0;

enum class RoundedCorners {
    None,
    Left,  // top-left and bottom-left: the first thumbnail
    Right, // top-right and bottom-right: the last thumbnail
};

// The stretch of the timeline the strip shows. At zoom level n the whole video is a
// timeline 2^n strips long, and the strip shows it from `offset` points in. Level 0
// is the whole video on the strip. Timeline x runs from 0 at the video's start to
// contentWidth() at its end; strip x is timeline x less the offset.
struct Viewport {
    double width = 0.0; // the strip's own width
    int level = 0;
    double offset = 0.0;

    double contentWidth() const;
    // Where a fraction of the video is on the strip (outside 0...width: scrolled away).
    double xOf(double fraction) const;
    // The fraction of the video at x on the strip; 0 on a strip without width.
    double fractionAt(double x) const;
};

// The deepest zoom level for a video of this duration and frame duration: the last at
// which every thumbnail still spans a whole frame, so each shows a frame of its own (a
// video of eight frames or fewer does not zoom). Without a frame duration, the first
// at which a thumbnail spans a second or less (8 s and less do not zoom).
int maxZoomLevel(double duration, double frameDuration);
// The view scrolled to an offset, kept within the timeline.
Viewport scrolledTo(Viewport view, double offset);
// The view at another level (clamped to 0...maxLevel) with the video's fraction
// `anchor` staying at strip x `anchorX`, as far as the timeline's ends allow.
Viewport zoomedTo(Viewport view, int level, int maxLevel, double anchor, double anchorX);
// The view scrolled, when it must, so that the fraction is on the strip: a fraction
// that left it comes back to the middle.
Viewport showing(Viewport view, double fraction);

struct ThumbnailSlot {
    int level = 0;            // the zoom level it belongs to
    int index = 0;            // from the video's start, 0 ... 8 * 2^level - 1
    double time = 0.0;        // seconds, by repeated addition of a step of D / (8 * 2^level)
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
// The slots on the strip in this view, left to right. A slot is always an eighth of
// the strip wide: at level n the video has 8 * 2^n of them, each a stretch of D / (8 * 2^n).
std::vector<ThumbnailSlot> thumbnailSlots(const Viewport& view, double stripHeight, double duration);
// The slot of level `level` that holds the slot `index` of a deeper level.
ThumbnailSlot enclosingSlot(const ThumbnailSlot& slot, int level, double stripWidth, double duration);

// A time as it is asked of the frame extractor: back to the request step at or before it.
double thumbnailRequestTime(double seconds);

SplitMarker splitMarker(double position, const Viewport& view, double stripHeight);

// The waveform on the strip in this view: for each column of points from its left edge,
// the loudest of the sound's peaks (perSecond of them a second) in the stretch of time
// the column stands for, so a pause shows wherever it is as wide as a point. Columns
// past the sound's end are 0.
std::vector<std::uint8_t> soundColumns(const std::vector<std::uint8_t>& peaks, int perSecond, const Viewport& view,
                                       double duration);

// The label of one clip, centred on the clip's stretch [left, right] of the strip.
ClipNumberLabel clipNumberLabel(int number, double right, double left, double numbersHeight);

// One label per clip, numbered by place on the timeline, from the sorted split points.
// Empty when there is no split point.
// The labels are placed under the strip in this view: those of clips scrolled away
// lie outside it.
std::vector<ClipNumberLabel> clipNumberLabels(const std::vector<double>& sortedSplitPoints,
                                              const Viewport& view, double numbersHeight);

} // namespace strip
