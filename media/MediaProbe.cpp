#include "MediaProbe.h"

#include <cmath>
#include <limits>

extern "C" {
#include <libavutil/display.h>
}

#include <QCoreApplication>

#include "FfmpegSupport.h"
#include "MediaLog.h"

namespace {

StreamInfo::Kind kindOf(AVMediaType type)
{
    switch (type) {
    case AVMEDIA_TYPE_VIDEO:
        return StreamInfo::Kind::Video;
    case AVMEDIA_TYPE_AUDIO:
        return StreamInfo::Kind::Audio;
    case AVMEDIA_TYPE_SUBTITLE:
        return StreamInfo::Kind::Subtitle;
    case AVMEDIA_TYPE_DATA:
        return StreamInfo::Kind::Data;
    case AVMEDIA_TYPE_ATTACHMENT:
        return StreamInfo::Kind::Attachment;
    default:
        return StreamInfo::Kind::Other;
    }
}

// The file's length, from its first packet to its last, as its times count.
double durationOf(const AVFormatContext* input)
{
    double longest = 0.0;
    double end = -std::numeric_limits<double>::infinity(); // where the streams that say end
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream* stream = input->streams[i];
        if (stream->duration == AV_NOPTS_VALUE || stream->duration <= 0)
            continue;
        const double length = double(stream->duration) * av_q2d(stream->time_base);
        longest = std::max(longest, length);
        if (stream->start_time != AV_NOPTS_VALUE)
            end = std::max(end, double(stream->start_time) * av_q2d(stream->time_base) + length);
    }
    // Some containers only know their streams' lengths.
    if (input->duration == AV_NOPTS_VALUE || input->duration <= 0)
        return longest;
    const double stated = double(input->duration) / AV_TIME_BASE;
    // An MP4 whose edit list begins with a stretch of nothing (a recording that keeps
    // its time of day as its start) states its length from 0, counting that stretch,
    // where other files state it from their first packet: the streams' ends tell which.
    const double start = input->start_time != AV_NOPTS_VALUE ? double(input->start_time) / AV_TIME_BASE : 0.0;
    if (start > 0.0 && std::isfinite(end) && std::abs(stated - end) < std::abs(stated - (end - start)))
        return end - start;
    return stated;
}

// Decodes the first picture of the stream, to be sure the video can be shown at all.
QString firstPictureProblem(AVFormatContext* input, const AVStream* stream)
{
    int status = 0;
    CodecContext codec = openDecoder(stream, 1, status);
    if (status == AVERROR_DECODER_NOT_FOUND)
        return QCoreApplication::translate("MediaProbe", "its video format (%1) is not supported")
            .arg(avcodec_get_name(stream->codecpar->codec_id));
    if (status == AVERROR(ENOMEM))
        return QCoreApplication::translate("MediaProbe", "out of memory");
    if (!codec) {
        qCDebug(lcMedia) << "avcodec_open2 failed:" << ffmpegErrorText(status);
        return QCoreApplication::translate("MediaProbe", "its video cannot be decoded (%1)")
            .arg(ffmpegErrorText(status));
    }
    Packet packet(av_packet_alloc());
    Frame frame(av_frame_alloc());
    // Only the picture is read: sound before it (a video that starts late) must not
    // use up the budget.
    readOnlyStream(input, stream->index);
    // A broken file may hold many undecodable packets; a few hundred pictures' worth
    // is enough to tell.
    constexpr int PACKET_LIMIT = 600;
    int lastError = 0;
    for (int read = 0; read < PACKET_LIMIT;) {
        status = av_read_frame(input, packet.get());
        if (status < 0) {
            avcodec_send_packet(codec.get(), nullptr); // drain what is buffered
        } else if (packet->stream_index != stream->index) {
            av_packet_unref(packet.get());
            continue;
        } else {
            ++read;
            const int sent = avcodec_send_packet(codec.get(), packet.get());
            av_packet_unref(packet.get());
            if (sent < 0 && sent != AVERROR(EAGAIN))
                lastError = sent;
        }
        const int received = avcodec_receive_frame(codec.get(), frame.get());
        if (received == 0)
            return {};
        if (status < 0)
            break;
    }
    return QCoreApplication::translate("MediaProbe", "its first picture cannot be decoded (%1)")
        .arg(
            lastError < 0 ? ffmpegErrorText(lastError) : QCoreApplication::translate("MediaProbe", "no picture found"));
}

} // namespace

int rotationFromDisplayMatrix(const int32_t* matrix)
{
    if (!matrix)
        return 0;
    const double counterClockwise = av_display_rotation_get(matrix);
    if (!std::isfinite(counterClockwise))
        return 0;
    // The matrix rotates counter-clockwise; a viewer turns the picture back clockwise.
    long quarter = std::lround(-counterClockwise / 90.0);
    quarter = ((quarter % 4) + 4) % 4;
    return int(quarter * 90);
}

namespace {

std::vector<StreamInfo> streamsOf(const AVFormatContext* input)
{
    std::vector<StreamInfo> streams;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream* stream = input->streams[i];
        StreamInfo info;
        info.index = int(i);
        info.kind = kindOf(stream->codecpar->codec_type);
        info.codecName = QString::fromUtf8(avcodec_get_name(stream->codecpar->codec_id));
        if (const AVDictionaryEntry* language = av_dict_get(stream->metadata, "language", nullptr, 0))
            info.language = QString::fromUtf8(language->value);
        streams.push_back(info);
    }
    return streams;
}

} // namespace

QSize displaySizeOf(const AVStream* video, QSize coded, int rotation)
{
    int width = coded.width();
    const AVRational aspect = video->sample_aspect_ratio.num > 0 ? video->sample_aspect_ratio
                                                                 : video->codecpar->sample_aspect_ratio;
    if (aspect.num > 0 && aspect.den > 0 && aspect.num != aspect.den)
        width = int(std::lround(width * av_q2d(aspect)));
    return (rotation == 90 || rotation == 270) ? QSize(coded.height(), width) : QSize(width, coded.height());
}

namespace {

Outcome<VideoInfo> describe(const QString& path, Outcome<InputFormat> opened)
{
    if (!opened)
        return Outcome<VideoInfo>::failure(opened.error());
    const InputFormat input = std::move(opened).value();

    const QString name = displayName(path);
    auto refuse = [&name](const QString& why) {
        return Outcome<VideoInfo>::failure(
            QCoreApplication::translate("MediaProbe", "Could not open video '%1': %2.").arg(name, why));
    };

    VideoInfo info;
    info.path = path;
    info.formatName = QString::fromUtf8(input->iformat->name);
    info.streams = streamsOf(input.get());

    // Cover art in a music file is a "video" stream of one picture: not a video.
    const int best = bestVideoStream(input.get());
    if (best < 0)
        return refuse(QCoreApplication::translate("MediaProbe", "it has no video track"));

    info.duration = durationOf(input.get());
    if (!std::isfinite(info.duration) || info.duration <= 0.0)
        return refuse(QCoreApplication::translate("MediaProbe", "its length cannot be read"));

    const AVStream* video = input->streams[best];
    info.videoStream = best;
    info.videoCodec = QString::fromUtf8(avcodec_get_name(video->codecpar->codec_id));
    info.codedSize = QSize(video->codecpar->width, video->codecpar->height);
    if (info.codedSize.isEmpty())
        return refuse(QCoreApplication::translate("MediaProbe", "its picture size cannot be read"));
    // Refused before a picture is decoded: decoding one could take gigabytes.
    if (const QString tooLarge = oversizedPictureProblem(video->codecpar); !tooLarge.isEmpty())
        return refuse(tooLarge);

    size_t matrixSize = 0;
    const uint8_t* matrix = av_stream_get_side_data(video, AV_PKT_DATA_DISPLAYMATRIX, &matrixSize);
    info.rotation = matrix && matrixSize >= 9 * sizeof(int32_t)
        ? rotationFromDisplayMatrix(reinterpret_cast<const int32_t*>(matrix))
        : 0;

    info.displaySize = displaySizeOf(video, info.codedSize, info.rotation);

    const AVRational rate = video->avg_frame_rate.num > 0 ? video->avg_frame_rate : video->r_frame_rate;
    if (rate.num > 0 && rate.den > 0)
        info.frameDuration = av_q2d(av_inv_q(rate));

    // The file's length is its longest track's: a sound track often runs on past the
    // last picture. Matroska and FLV do not say how long the picture lasts.
    if (video->duration != AV_NOPTS_VALUE && video->duration > 0) {
        const double fileStart = input->start_time != AV_NOPTS_VALUE ? double(input->start_time) / AV_TIME_BASE : 0.0;
        const double start = video->start_time != AV_NOPTS_VALUE ? double(video->start_time) * av_q2d(video->time_base) : fileStart;
        info.picturesStart = std::max(0.0, start - fileStart);
        info.picturesEnd = info.picturesStart + double(video->duration) * av_q2d(video->time_base);
    }

    const QString problem = firstPictureProblem(input.get(), video);
    if (!problem.isEmpty())
        return refuse(problem);
    return info;
}

} // namespace

Outcome<VideoInfo> probeVideo(const QString& path)
{
    return describe(path, openInput(path));
}

Outcome<void> checkWrittenVideo(const QString& path)
{
    const Outcome<VideoInfo> info = describe(path, openWrittenInput(path));
    return info ? Outcome<void>() : Outcome<void>::failure(info.error());
}
