#pragma once

#include <memory>

#include <QString>

#include "MediaProbe.h"
#include "VideoAsset.h"

class StillFrames;
class ThumbnailSource;

// A video opened with FFmpeg: probed once, the strip's pictures from one open file, and
// paused frames from another, opened when the first is asked for.
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
    Outcome<std::vector<std::uint8_t>> soundPeaks(const CancelToken& cancel, const CutProgress& progress) override;

    bool decodesFrames() const override { return true; }
    Outcome<FramePicture> framePicture(double seconds, QSize box) override;
    void prepareSteps(double seconds, const std::function<bool()>& stop) override;

private:
    FfmpegVideoAsset(QString file, VideoInfo probed, std::unique_ptr<ThumbnailSource> pictures);

    QString path;
    VideoInfo info;
    std::unique_ptr<ThumbnailSource> source;
    // Used by the thread that asks for frames only.
    std::unique_ptr<StillFrames> stills;
};
