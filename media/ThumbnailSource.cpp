#include "ThumbnailSource.h"

#include <cmath>
#include <limits>

#include <QCoreApplication>
#include <QThread>
#include <QTransform>

#include "FfmpegSupport.h"
#include "MediaProbe.h"
#include "MediaLog.h"
#include "PictureScaler.h"

struct ThumbnailSource::Decoder {
    InputFormat input;
    CodecContext codec;
    PictureScaler scaler{PictureScaler::Filter::Bilinear};
};

ThumbnailSource::ThumbnailSource()
    : decoder(std::make_unique<Decoder>())
{
}

ThumbnailSource::~ThumbnailSource() = default;

Outcome<std::unique_ptr<ThumbnailSource>> ThumbnailSource::open(const QString& path)
{
    using Result = Outcome<std::unique_ptr<ThumbnailSource>>;
    Outcome<InputFormat> readable = openInput(path);
    if (!readable)
        return Result::failure(readable.error());
    InputFormat opened = std::move(readable).value();

    std::unique_ptr<ThumbnailSource> source(new ThumbnailSource);
    source->path = path;
    source->stream = bestVideoStream(opened.get());
    if (source->stream < 0)
        return Result::failure(
            QCoreApplication::translate("ThumbnailSource", "Could not open video '%1': it has no video track.")
                .arg(displayName(path)));
    AVStream* video = opened->streams[source->stream];
    for (unsigned i = 0; i < opened->nb_streams; ++i) {
        if (int(i) != source->stream)
            opened->streams[i]->discard = AVDISCARD_ALL;
    }

    if (const QString tooLarge = oversizedPictureProblem(video->codecpar); !tooLarge.isEmpty())
        return Result::failure(QCoreApplication::translate("ThumbnailSource", "Could not open video '%1': %2.")
                                   .arg(displayName(path), tooLarge));

    const AVCodec* videoCodec = avcodec_find_decoder(video->codecpar->codec_id);
    if (!videoCodec) {
        return Result::failure(
            QCoreApplication::translate(
                "ThumbnailSource", "Could not open video '%1': its video format (%2) is not supported.")
                .arg(displayName(path), QString::fromUtf8(avcodec_get_name(video->codecpar->codec_id))));
    }
    CodecContext codec(avcodec_alloc_context3(videoCodec));
    if (!codec || avcodec_parameters_to_context(codec.get(), video->codecpar) < 0)
        return Result::failure(
            QCoreApplication::translate("ThumbnailSource", "Could not open video '%1': out of memory.")
                .arg(displayName(path)));
    // Frame threads would hold pictures back; one keyframe at a time wants slices.
    codec->thread_type = FF_THREAD_SLICE;
    limitCodec(codec.get(), QThread::idealThreadCount());
    const int status = avcodec_open2(codec.get(), videoCodec, nullptr);
    if (status < 0) {
        qCWarning(lcMedia) << "avcodec_open2 failed for" << path << ffmpegErrorText(status);
        return Result::failure(QCoreApplication::translate("ThumbnailSource", "Could not open video '%1': %2.")
                                   .arg(displayName(path), ffmpegErrorText(status)));
    }

    size_t matrixSize = 0;
    const uint8_t* matrix = av_stream_get_side_data(video, AV_PKT_DATA_DISPLAYMATRIX, &matrixSize);
    if (matrix && matrixSize >= 9 * sizeof(int32_t))
        source->rotation = rotationFromDisplayMatrix(reinterpret_cast<const int32_t*>(matrix));
    const QSize coded(video->codecpar->width, video->codecpar->height);
    source->displaySize = (source->rotation == 90 || source->rotation == 270) ? coded.transposed() : coded;

    source->decoder->input = std::move(opened);
    source->decoder->codec = std::move(codec);
    return source;
}

int ThumbnailSource::decodeFrom(double seconds, bool keyframesOnly, AVFrame* frame)
{
    AVFormatContext* input = decoder->input.get();
    AVCodecContext* codec = decoder->codec.get();
    AVStream* video = input->streams[stream];
    // Times count from the start of the file, as the cutter and the player count
    // them, not from the video's own first frame (which may come after the sound's).
    const double start = input->start_time != AV_NOPTS_VALUE ? double(input->start_time) / AV_TIME_BASE : 0.0;
    const auto target = static_cast<int64_t>(std::llround((seconds + start) / av_q2d(video->time_base)));
    int status = av_seek_frame(input, stream, target, AVSEEK_FLAG_BACKWARD);
    if (status < 0) {
        qCDebug(lcMedia) << "av_seek_frame failed for" << path << ffmpegErrorText(status);
        status = av_seek_frame(input, stream, std::numeric_limits<int64_t>::min(), AVSEEK_FLAG_BACKWARD);
        if (status < 0)
            return status;
    }
    avcodec_flush_buffers(codec);
    codec->skip_frame = keyframesOnly ? AVDISCARD_NONKEY : AVDISCARD_DEFAULT;
    // An open-GOP keyframe is a whole picture, but the H.264 decoder holds it back
    // until the frames it skips would have "recovered" the stream: show it anyway.
    if (keyframesOnly)
        codec->flags2 |= AV_CODEC_FLAG2_SHOW_ALL;
    else
        codec->flags2 &= ~AV_CODEC_FLAG2_SHOW_ALL;

    Packet packet(av_packet_alloc());
    bool draining = false;
    for (;;) {
        if (!draining) {
            status = av_read_frame(input, packet.get());
            if (status < 0) {
                draining = true;
                avcodec_send_packet(codec, nullptr);
            } else if (packet->stream_index == stream) {
                // Without the keyframes-only switch, decode up to the time asked for so
                // that the picture shown is the one at that time, not the keyframe's.
                avcodec_send_packet(codec, packet.get());
                av_packet_unref(packet.get());
            } else {
                av_packet_unref(packet.get());
                continue;
            }
        }
        for (;;) {
            status = avcodec_receive_frame(codec, frame);
            if (status == AVERROR(EAGAIN))
                break;
            if (status < 0)
                return status;
            const int64_t pts = frame->best_effort_timestamp;
            const double shown = pts == AV_NOPTS_VALUE ? seconds : double(pts) * av_q2d(video->time_base) - start;
            if (keyframesOnly) {
                // A keyframe after the time asked for means the one before it was
                // not decodable alone; the caller then decodes every frame instead.
                return shown <= seconds + 1e-3 ? 0 : AVERROR(EAGAIN);
            }
            if (shown >= seconds - 1e-6)
                return 0;
            av_frame_unref(frame);
        }
        if (draining)
            return AVERROR_EOF;
    }
}

Outcome<QImage> ThumbnailSource::frameNear(double seconds, QSize size)
{
    if (!std::isfinite(seconds) || seconds < 0.0)
        seconds = 0.0;
    Frame frame(av_frame_alloc());
    int status = decodeFrom(seconds, true, frame.get());
    if (status < 0) {
        // Some streams mark no keyframe the decoder accepts on its own (open GOPs
        // without recovery points); decode everything from the keyframe instead.
        av_frame_unref(frame.get());
        status = decodeFrom(seconds, false, frame.get());
    }
    if (status < 0) {
        qCDebug(lcMedia) << "decoding a thumbnail failed for" << path << ffmpegErrorText(status);
        return Outcome<QImage>::failure(
            QCoreApplication::translate("ThumbnailSource", "Could not make a picture of '%1' at %2 s: %3")
                .arg(displayName(path))
                .arg(seconds, 0, 'f', 2)
                .arg(ffmpegErrorText(status)));
    }
    return toImage(frame.get(), size);
}

Outcome<QImage> ThumbnailSource::toImage(const AVFrame* frame, QSize size)
{
    if (size.isEmpty())
        size = displaySize;
    // Scale to the size the picture has before it is turned upright.
    const QSize stored = (rotation == 90 || rotation == 270) ? size.transposed() : size;
    QImage image(stored, QImage::Format_RGB32);
    if (image.isNull())
        return Outcome<QImage>::failure(
            QCoreApplication::translate("ThumbnailSource", "Could not make a picture of '%1': out of memory.")
                .arg(displayName(path)));
    if (!decoder->scaler.scale({AVPixelFormat(frame->format), QSize(frame->width, frame->height), frame->data,
                                frame->linesize},
                               image)) {
        return Outcome<QImage>::failure(QCoreApplication::translate(
            "ThumbnailSource", "Could not make a picture of '%1': its pixel format cannot be converted.")
                                            .arg(displayName(path)));
    }
    if (rotation != 0)
        image = image.transformed(QTransform().rotate(rotation));
    return image;
}
