#include "FfmpegVideoAsset.h"

#include <QStandardPaths>

#include "SoundPeaks.h"
#include "StillFrames.h"
#include "ThumbnailSource.h"

FfmpegVideoAsset::FfmpegVideoAsset(QString file, VideoInfo probed, std::unique_ptr<ThumbnailSource> pictures)
    : path(std::move(file))
    , info(std::move(probed))
    , source(std::move(pictures))
{
}

FfmpegVideoAsset::~FfmpegVideoAsset() = default;

Outcome<std::shared_ptr<VideoAsset>> FfmpegVideoAsset::open(const QString& path)
{
    using Result = Outcome<std::shared_ptr<VideoAsset>>;
    Outcome<VideoInfo> probed = probeVideo(path);
    if (!probed)
        return Result::failure(probed.error());
    Outcome<std::unique_ptr<ThumbnailSource>> pictures = ThumbnailSource::open(path);
    if (!pictures)
        return Result::failure(pictures.error());
    return std::shared_ptr<VideoAsset>(new FfmpegVideoAsset(path, std::move(probed).value(), std::move(pictures).value()));
}

Outcome<QImage> FfmpegVideoAsset::thumbnailImage(double from, double until, QSize size)
{
    return source->frameWithin(from, until, size);
}

Outcome<std::vector<std::uint8_t>> FfmpegVideoAsset::soundPeaks(const CancelToken& cancel, const CutProgress& progress)
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/waveforms");
    return cachedSoundPeaks(path, SOUND_PEAKS_PER_SECOND, folder, cancel, WAVEFORM_CACHE_LIMIT, progress);
}

Outcome<FramePicture> FfmpegVideoAsset::framePicture(double seconds, QSize box)
{
    if (!stills) {
        Outcome<std::unique_ptr<StillFrames>> opened = StillFrames::open(path);
        if (!opened)
            return Outcome<FramePicture>::failure(opened.error());
        stills = std::move(opened).value();
    }
    return stills->pictureAt(seconds, box);
}

void FfmpegVideoAsset::prepareSteps(double seconds, const std::function<bool()>& stop)
{
    if (stills)
        stills->decodeEarlier(seconds, stop);
}
