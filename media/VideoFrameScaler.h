#pragma once

#include "FrameScaler.h"
#include "PictureScaler.h"

// The player's frames through swscale: Qt Multimedia's pixel formats mapped to
// FFmpeg's, with the colours the frame declares, scaled by area.
class VideoFrameScaler final : public FrameScaler {
public:
    bool scale(const QVideoFrame& frame, QImage& picture) override;

private:
    PictureScaler pictures{PictureScaler::Filter::Area};
};
