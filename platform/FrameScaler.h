#pragma once

class QImage;
class QVideoFrame;

// Turns the player's frames into RGB pictures for a video view, with the media
// engine's scaler: the application makes one for each view, and the view uses it from
// its converter's thread only. A view without one converts with Qt alone.
class FrameScaler {
public:
    virtual ~FrameScaler() = default;

    // Fills picture, an RGB32 image of the size wanted, with the whole frame. False
    // when the frame's pixel format is not one it takes, or the frame cannot be read:
    // the caller converts it some other way.
    virtual bool scale(const QVideoFrame& frame, QImage& picture) = 0;
};
