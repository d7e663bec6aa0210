// Feeds arbitrary bytes, as a video file, to everything that reads what FFmpeg
// reports of a file: the probe, the thumbnails and the cutter. Damaged input must give
// a message, never a crash, a hang or a clip that claims success without a file.
#include <cstdint>
#include <cstdlib>

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "MediaProbe.h"
#include "StreamCopyCutter.h"
#include "ThumbnailSource.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // FFmpeg's complaints about damaged input are expected here.
    qputenv("QT_LOGGING_RULES", "*.debug=false;trimora.*=false");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("input.mp4"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    const Outcome<VideoInfo> info = probeVideo(path);
    if (!info) {
        if (info.error().isEmpty())
            std::abort();
        return 0;
    }
    if (!(info->duration > 0.0) || info->videoStream < 0)
        std::abort();
    if (Outcome<std::unique_ptr<ThumbnailSource>> source = ThumbnailSource::open(path))
        source.value()->frameWithin(info->duration / 2, info->duration * 5 / 8, QSize(64, 36));
    const QString out = dir.filePath(QStringLiteral("cut"));
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    const QString clip = out + QStringLiteral("/clip.mp4");
    const int written = ::open(QFile::encodeName(clip).constData(), O_CREAT | O_RDWR | O_TRUNC | O_CLOEXEC, 0644);
    const CutResult result = StreamCopyCutter().cut(path, info->duration / 4, info->duration / 2, {written, out});
    ::close(written);
    if (result.kind == CutResult::Kind::Written && QFileInfo(clip).size() == 0)
        std::abort();
    if (result.kind == CutResult::Kind::Failed && result.error.isEmpty())
        std::abort();
    return 0;
}
