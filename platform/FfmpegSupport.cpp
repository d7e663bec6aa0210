#include "FfmpegSupport.h"

#include <array>

#include <QFile>
#include <QFileInfo>

#include "PlatformLog.h"

QString ffmpegErrorText(int error)
{
    std::array<char, AV_ERROR_MAX_STRING_SIZE> buffer{};
    if (av_strerror(error, buffer.data(), buffer.size()) < 0)
        return QStringLiteral("error %1").arg(error);
    return QString::fromUtf8(buffer.data());
}

QString displayName(const QString& path)
{
    return QFileInfo(path).fileName();
}

InputFormat openInput(const QString& path, QString* error)
{
    AVFormatContext* raw = nullptr;
    const QByteArray encoded = QFile::encodeName(path);
    int status = avformat_open_input(&raw, encoded.constData(), nullptr, nullptr);
    if (status < 0) {
        qCDebug(lcPlatform) << "avformat_open_input failed for" << path << ffmpegErrorText(status);
        if (error)
            *error = QStringLiteral("Could not read video '%1': %2").arg(displayName(path), ffmpegErrorText(status));
        return nullptr;
    }
    InputFormat input(raw);
    status = avformat_find_stream_info(input.get(), nullptr);
    if (status < 0) {
        qCDebug(lcPlatform) << "avformat_find_stream_info failed for" << path << ffmpegErrorText(status);
        if (error)
            *error = QStringLiteral("Could not read video '%1': %2").arg(displayName(path), ffmpegErrorText(status));
        return nullptr;
    }
    return input;
}

int bestVideoStream(const AVFormatContext* input)
{
    int best = -1;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream* stream = input->streams[i];
        if (stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO || (stream->disposition & AV_DISPOSITION_ATTACHED_PIC))
            continue;
        if (stream->disposition & AV_DISPOSITION_DEFAULT)
            return int(i);
        if (best < 0)
            best = int(i);
    }
    return best;
}
