#pragma once

#include <cstdint>
#include <memory>

#include <QImage>
#include <QSize>
#include <QString>

#include "Outcome.h"

struct AVFrame;

// Pictures of one video for the timeline strip. The file is opened once and kept open
// for the strip's eight slots. Each picture comes from within the stretch of time its
// slot covers: the first keyframe inside the stretch where there is one (decoded alone,
// the cheapest picture there, and the nearest its start), else the first frame at or
// after the stretch's start,
// decoded forward from the keyframe before it with the frames nothing refers to left
// undecoded. Slots asked for left to right that start from the same keyframe share one
// pass: the decoder goes on from the previous picture instead of seeking back. Each
// picture is turned upright and fills the size asked for with its shape kept: its
// middle is shown and what overhangs the slot is cut off, never squeezed in.
// Not thread-safe: one owner at a time.
class ThumbnailSource final {
public:
    static Outcome<std::unique_ptr<ThumbnailSource>> open(const QString& path);
    ~ThumbnailSource();
    Q_DISABLE_COPY_MOVE(ThumbnailSource)

    // A picture from the stretch [from, until) in seconds from the file's start,
    // upright, filling size (or the video's own upright size when size is empty).
    // Where the stretch holds no picture at all (the picture starts later or ends
    // sooner), the nearest one after it, else the last.
    Outcome<QImage> frameWithin(double from, double until, QSize size);

private:
    // The open file, its decoder and the scaler, each with its own owner.
    struct Decoder;

    ThumbnailSource();
    int decodeWithin(double from, double until, AVFrame* frame);
    int decodeKeyframe(AVFrame* frame);
    int decodeForward(double from, AVFrame* frame);
    bool continuesPass(double from, double until) const;
    int seekBefore(int64_t target);
    int readVideoPacket();
    double secondsOf(int64_t timestamp) const;
    int64_t timestampOf(double seconds) const;
    int64_t lastTimestampOf(double from, double until) const;
    Outcome<QImage> toImage(AVFrame* frame, QSize size);

    QString path;
    std::unique_ptr<Decoder> decoder;
    int stream = -1;
    int rotation = 0;
    QSize displaySize;
};
