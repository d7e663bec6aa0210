#pragma once

#include <memory>

#include <QImage>
#include <QSize>
#include <QString>

#include "Outcome.h"

struct AVFrame;

// Pictures of one video for the timeline strip. The file is opened once and kept open
// for the strip's eight frames. A frame is taken from the keyframe at or before the
// time asked for (never more than one keyframe interval early), decoded alone, turned
// upright and scaled to the size asked for: fast enough for a whole strip in a few
// tens of milliseconds on a 1080p file. Not thread-safe: one owner at a time.
class ThumbnailSource final {
public:
    static Outcome<std::unique_ptr<ThumbnailSource>> open(const QString& path);
    ~ThumbnailSource();
    Q_DISABLE_COPY_MOVE(ThumbnailSource)

    // The picture near the given time, upright, scaled to size (or at the video's own
    // upright size when size is empty).
    Outcome<QImage> frameNear(double seconds, QSize size);

private:
    // The open file, its decoder and the scaler, each with its own owner.
    struct Decoder;

    ThumbnailSource();
    Outcome<QImage> toImage(const AVFrame* frame, QSize size);
    int decodeFrom(double seconds, bool keyframesOnly, AVFrame* frame);

    QString path;
    std::unique_ptr<Decoder> decoder;
    int stream = -1;
    int rotation = 0;
    QSize displaySize;
};
