#pragma once

#include <QImage>
#include <QSize>

#include "Outcome.h"

// An opened video as the editor uses it: its length and shape, and pictures of it
// for the timeline strip.
class VideoAsset {
public:
    virtual ~VideoAsset() = default;

    // Seconds, finite and positive.
    virtual double duration() const = 0;
    // Degrees clockwise that turn the stored picture upright.
    virtual int rotation() const = 0;
    // Seconds per frame; 0 when the file does not say.
    virtual double frameDuration() const = 0;
    // The picture near a time, upright, scaled to size; or why there is none.
    virtual Outcome<QImage> thumbnailImage(double seconds, QSize size) = 0;
};
