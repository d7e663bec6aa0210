#pragma once

#include <memory>

#include <QString>

#include "MediaProbe.h"
#include "VideoAsset.h"

class ThumbnailSource;

// A video opened with FFmpeg: probed once, pictures from one open file.
class FfmpegVideoAsset final : public VideoAsset {
public:
    ~FfmpegVideoAsset() override;
    // Refuses files that cannot be shown (no video, no length, unreadable) with a
    // message for the user.
    static Outcome<std::shared_ptr<VideoAsset>> open(const QString& path);

    double duration() const override { return info.duration; }
    int rotation() const override { return info.rotation; }
    double frameDuration() const override { return info.frameDuration; }
    double picturesStart() const override { return info.picturesStart; }
    double picturesEnd() const override { return info.picturesEnd; }
    Outcome<QImage> thumbnailImage(double from, double until, QSize size) override;
    // Kept per video in the user's cache folder.
    Outcome<std::vector<std::uint8_t>> soundPeaks(const CancelToken& cancel) override;

private:
    FfmpegVideoAsset(QString path, VideoInfo probed, std::unique_ptr<ThumbnailSource> pictures);

    QString path;
    VideoInfo info;
    std::unique_ptr<ThumbnailSource> source;
};
