#include "ThumbnailSource.h"

#include <algorithm>
#include <cstring>
#include <cmath>
#include <limits>

#include <QCoreApplication>
#include <QThread>
#include <QTransform>

#include "FfmpegSupport.h"
#include "MediaProbe.h"
#include "MediaLog.h"
#include "PictureScaler.h"

namespace {

// Picture times within this much of a stretch's start count as at it: the times asked
// for are snapped to the strip's steps, the file's to its own time base.
constexpr double TIME_SLACK = 1e-6;

// Cuts a decoded picture down to its middle, of the shape (shown width over height,
// pixels' aspect applied) a slot of that shape wants: the whole height of a picture
// wider than the slot, the whole width of one taller. Nothing is squeezed.
void keepMiddle(AVFrame* frame, double shape, double pixelAspect)
{
    int width = frame->width;
    int height = frame->height;
    if (frame->width * pixelAspect > shape * frame->height)
        width = std::clamp(int(std::lround(frame->height * shape / pixelAspect)), 1, frame->width);
    else
        height = std::clamp(int(std::lround(frame->width * pixelAspect / shape)), 1, frame->height);
    // The left edge on a 16-pixel step keeps each plane's rows aligned for swscale (the
    // middle is then off by a few pixels at most); the top on an even row keeps 4:2:0
    // colour lined up with its brightness.
    const int left = ((frame->width - width) / 2) & ~15;
    const int top = ((frame->height - height) / 2) & ~1;
    frame->crop_left = size_t(left);
    frame->crop_right = size_t(frame->width - width - left);
    frame->crop_top = size_t(top);
    frame->crop_bottom = size_t(frame->height - height - top);
    // Unaligned: FFmpeg's own alignment would widen the picture again, out of shape.
    if (av_frame_apply_cropping(frame, AV_FRAME_CROP_UNALIGNED) < 0)
        qCDebug(lcMedia) << "av_frame_apply_cropping failed: the picture is shown whole";
}

} // namespace

struct ThumbnailSource::Decoder {
    InputFormat input;
    CodecContext codec;
    PictureScaler scaler{PictureScaler::Filter::Bilinear};
    // A packet read after a seek to see where it landed, not yet given to the decoder.
    Packet packet{av_packet_alloc()};
    bool holdsPacket = false;
    // Seconds of the file's start on the video stream's clock.
    double start = 0.0;

    // The decoder's pass forward from a keyframe: while open, it holds every frame read
    // since that keyframe, and the next picture of that keyframe's run is reached by
    // decoding on, not by seeking back.
    bool passOpen = false;
    int64_t passKeyframe = AV_NOPTS_VALUE; // that keyframe's place in the file's index
    double passShown = 0.0;                // the time of the last picture it gave
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
    readOnlyStream(opened.get(), source->stream);

    if (const QString tooLarge = oversizedPictureProblem(video->codecpar); !tooLarge.isEmpty())
        return Result::failure(QCoreApplication::translate("ThumbnailSource", "Could not open video '%1': %2.")
                                   .arg(displayName(path), tooLarge));

    // Frame threads share the runs decoded forward to a slot's start; a keyframe decoded
    // alone is drained out of them at once, so they hold no picture back.
    int status = 0;
    CodecContext codec = openDecoder(video, QThread::idealThreadCount(), status);
    if (status == AVERROR_DECODER_NOT_FOUND) {
        return Result::failure(
            QCoreApplication::translate(
                "ThumbnailSource", "Could not open video '%1': its video format (%2) is not supported.")
                .arg(displayName(path), QString::fromUtf8(avcodec_get_name(video->codecpar->codec_id))));
    }
    if (status == AVERROR(ENOMEM))
        return Result::failure(
            QCoreApplication::translate("ThumbnailSource", "Could not open video '%1': out of memory.")
                .arg(displayName(path)));
    if (!codec) {
        qCWarning(lcMedia) << "avcodec_open2 failed for" << path << ffmpegErrorText(status);
        return Result::failure(QCoreApplication::translate("ThumbnailSource", "Could not open video '%1': %2.")
                                   .arg(displayName(path), ffmpegErrorText(status)));
    }

    size_t matrixSize = 0;
    const uint8_t* matrix = av_stream_get_side_data(video, AV_PKT_DATA_DISPLAYMATRIX, &matrixSize);
    if (matrix && matrixSize >= 9 * sizeof(int32_t))
        source->rotation = rotationFromDisplayMatrix(reinterpret_cast<const int32_t*>(matrix));
    source->displaySize = displaySizeOf(video, QSize(video->codecpar->width, video->codecpar->height), source->rotation);
    // Times count from the start of the file, as the cutter and the player count
    // them, not from the video's own first frame (which may come after the sound's).
    if (opened->start_time != AV_NOPTS_VALUE)
        source->decoder->start = double(opened->start_time) / AV_TIME_BASE;

    source->decoder->input = std::move(opened);
    source->decoder->codec = std::move(codec);
    return source;
}

double ThumbnailSource::secondsOf(int64_t timestamp) const
{
    return double(timestamp) * av_q2d(decoder->input->streams[stream]->time_base) - decoder->start;
}

int64_t ThumbnailSource::timestampOf(double seconds) const
{
    return std::llround((seconds + decoder->start) / av_q2d(decoder->input->streams[stream]->time_base));
}

// The last time stamp of a stretch on the video's clock.
int64_t ThumbnailSource::lastTimestampOf(double from, double until) const
{
    return std::max(timestampOf(from), timestampOf(until) - 1);
}

// Seeks to the last keyframe at or before a time and reads the first packet there into
// the decoder's packet: 0, or the read's error. Remembers which keyframe it met, so that
// a later stretch that would seek to the same one can go on from here instead.
int ThumbnailSource::seekBefore(int64_t target)
{
    AVFormatContext* input = decoder->input.get();
    int status = av_seek_frame(input, stream, target, AVSEEK_FLAG_BACKWARD);
    if (status < 0) {
        qCDebug(lcMedia) << "av_seek_frame failed for" << path << ffmpegErrorText(status);
        status = av_seek_frame(input, stream, std::numeric_limits<int64_t>::min(), AVSEEK_FLAG_BACKWARD);
        if (status < 0)
            qCDebug(lcMedia) << "av_seek_frame to the start failed for" << path << ffmpegErrorText(status);
    }
    avcodec_flush_buffers(decoder->codec.get());
    decoder->passOpen = false;
    decoder->passKeyframe = AV_NOPTS_VALUE;
    av_packet_unref(decoder->packet.get());
    decoder->holdsPacket = false;
    status = readVideoPacket();
    if (status < 0)
        return status;
    decoder->holdsPacket = true;
    // The index entry of the packet met, looked up as a later stretch's end will be:
    // the demuxer's own seek may choose otherwise near a keyframe. Files without an
    // index (MPEG-TS, Matroska without cues) cannot tell: each of their stretches seeks.
    const AVPacket* met = decoder->packet.get();
    const int64_t at = met->dts != AV_NOPTS_VALUE ? met->dts : met->pts;
    const AVIndexEntry* keyframe = at != AV_NOPTS_VALUE && (met->flags & AV_PKT_FLAG_KEY)
        ? avformat_index_get_entry_from_timestamp(input->streams[stream], at, AVSEEK_FLAG_BACKWARD)
        : nullptr;
    if (keyframe)
        decoder->passKeyframe = keyframe->timestamp;
    return 0;
}

// Reads the next packet of the video into the decoder's packet: 0, or the read's error.
int ThumbnailSource::readVideoPacket()
{
    for (;;) {
        const int status = av_read_frame(decoder->input.get(), decoder->packet.get());
        if (status < 0)
            return status;
        if (decoder->packet->stream_index == stream)
            return 0;
        av_packet_unref(decoder->packet.get());
    }
}

// Whether the stretch's picture is reached by decoding on from the last one: the
// decoder's pass is still open and short of the stretch, and a seek for the stretch
// would meet that pass's own keyframe (so no keyframe lies inside the stretch).
bool ThumbnailSource::continuesPass(double from, double until) const
{
    if (!decoder->passOpen || decoder->passKeyframe == AV_NOPTS_VALUE || decoder->passShown >= from - TIME_SLACK)
        return false;
    const AVIndexEntry* keyframe = avformat_index_get_entry_from_timestamp(
        decoder->input->streams[stream], lastTimestampOf(from, until), AVSEEK_FLAG_BACKWARD);
    return keyframe && keyframe->timestamp == decoder->passKeyframe;
}

// The keyframe held in the decoder's packet, decoded alone and drained out of the
// decoder at once; the decoder is flushed after, so no pass goes on from it.
int ThumbnailSource::decodeKeyframe(AVFrame* frame)
{
    AVCodecContext* codec = decoder->codec.get();
    // An open-GOP keyframe is a whole picture, but the H.264 decoder holds it back
    // until the frames it skips would have "recovered" the stream: show it anyway.
    codec->flags2 |= AV_CODEC_FLAG2_SHOW_ALL;
    codec->skip_frame = AVDISCARD_DEFAULT;
    avcodec_send_packet(codec, decoder->packet.get());
    av_packet_unref(decoder->packet.get());
    decoder->holdsPacket = false;
    avcodec_send_packet(codec, nullptr);
    const int status = avcodec_receive_frame(codec, frame);
    avcodec_flush_buffers(codec);
    codec->flags2 &= ~AV_CODEC_FLAG2_SHOW_ALL;
    decoder->passOpen = false;
    return status;
}

// Decodes on to the first picture shown at or after from: 0 with it in frame, or the
// last picture there is when the video ends before from; an error when there is none.
int ThumbnailSource::decodeForward(double from, AVFrame* frame)
{
    AVCodecContext* codec = decoder->codec.get();
    Frame picture(av_frame_alloc());
    if (!picture)
        return AVERROR(ENOMEM);
    av_frame_unref(frame);
    bool draining = false;
    bool holdsPicture = false;
    decoder->passOpen = false;
    for (;;) {
        int status = 0;
        while ((status = avcodec_receive_frame(codec, picture.get())) == 0) {
            const int64_t pts = picture->best_effort_timestamp;
            const double shown = pts == AV_NOPTS_VALUE ? from : secondsOf(pts);
            av_frame_unref(frame);
            av_frame_move_ref(frame, picture.get());
            holdsPicture = true;
            decoder->passShown = shown;
            if (shown >= from - TIME_SLACK) {
                decoder->passOpen = !draining;
                return 0;
            }
        }
        if (status == AVERROR_EOF)
            return holdsPicture ? 0 : AVERROR_EOF;
        if (status != AVERROR(EAGAIN))
            return status;
        // A decoder that wants more after it was told the file ended will get none.
        if (draining)
            return holdsPicture ? 0 : AVERROR_EOF;
        if (!decoder->holdsPacket && readVideoPacket() < 0) {
            draining = true;
            avcodec_send_packet(codec, nullptr);
            continue;
        }
        decoder->holdsPacket = false;
        // Frames shown before the picture wanted matter only as references: the decoder
        // may leave out those nothing refers to (most B-frames) without decoding them.
        const int64_t pts = decoder->packet->pts;
        codec->skip_frame = pts != AV_NOPTS_VALUE && secondsOf(pts) < from - TIME_SLACK ? AVDISCARD_NONREF
                                                                                       : AVDISCARD_DEFAULT;
        // A packet the decoder refuses is damage it conceals in the frames after it.
        avcodec_send_packet(codec, decoder->packet.get());
        av_packet_unref(decoder->packet.get());
    }
}

int ThumbnailSource::decodeWithin(double from, double until, AVFrame* frame)
{
    if (continuesPass(from, until)) {
        if (decodeForward(from, frame) == 0)
            return 0;
    }
    // The first keyframe inside the stretch where the file's index names one (the
    // picture nearest its start that decodes alone: the opening picture, for the first
    // stretch), else the last keyframe before its end, to decode on from. The index
    // counts decode times, which run ahead of shown times by the reordering delay; a
    // seek by time counts shown times. Only an index the file holds (MP4's, Matroska's)
    // is whole: files without one (MPEG-TS) index what was read, and their seeks land
    // near a time, not on it.
    const int64_t last = lastTimestampOf(from, until);
    int64_t target = last;
    AVFormatContext* input = decoder->input.get();
    const bool indexed = readsAsMp4(input) || readsAsMatroska(input);
    AVStream* video = input->streams[stream];
    const AVRational rate = video->avg_frame_rate.num > 0 ? video->avg_frame_rate : video->r_frame_rate;
    // A few frames; a second at most, whatever a damaged header says.
    const double reordering
        = rate.num > 0 && rate.den > 0 ? std::clamp(video->codecpar->video_delay * av_q2d(av_inv_q(rate)), 0.0, 1.0) : 0.0;
    const int64_t reorderingTicks = timestampOf(reordering) - timestampOf(0.0);
    if (const AVIndexEntry* first
        = indexed ? avformat_index_get_entry_from_timestamp(video, timestampOf(from - reordering), 0) : nullptr;
        first && first->timestamp < last)
        target = std::min(first->timestamp + reorderingTicks, last);
    int status = seekBefore(target);
    if (status < 0)
        return status;
    const int64_t pts = decoder->packet->pts;
    const double landed = pts == AV_NOPTS_VALUE ? -1.0 : secondsOf(pts);
    const bool inside = landed >= from - TIME_SLACK && landed < until;
    if (inside && (decoder->packet->flags & AV_PKT_FLAG_KEY)) {
        status = decodeKeyframe(frame);
        const int64_t shown = frame->best_effort_timestamp;
        if (status == 0 && shown != AV_NOPTS_VALUE && secondsOf(shown) >= from - TIME_SLACK && secondsOf(shown) < until)
            return 0;
        // Not decodable alone, or not shown where its packet said: decode forward from
        // the keyframe before the stretch instead.
        av_frame_unref(frame);
        status = seekBefore(timestampOf(from));
    } else if (!inside && landed >= until) {
        // Seeks go by decoding times: one just short of the stretch's end can meet a
        // keyframe shown after it. The stretch then has none of its own.
        status = seekBefore(timestampOf(from));
    }
    if (status >= 0)
        status = decodeForward(from, frame);
    // A seek without an index (MPEG-TS) can land past the keyframe the stretch's
    // pictures need, and decode nothing: further back, twice as far each time.
    constexpr double FURTHEST_BACK = 16.0;
    for (double back = 2.0; status == AVERROR_EOF && !indexed && from > 0.0 && back <= FURTHEST_BACK; back *= 2.0) {
        status = seekBefore(timestampOf(std::max(0.0, from - back)));
        if (status >= 0)
            status = decodeForward(from, frame);
    }
    return status;
}

Outcome<QImage> ThumbnailSource::frameWithin(double from, double until, QSize size)
{
    if (!std::isfinite(from) || from < 0.0)
        from = 0.0;
    if (!std::isfinite(until) || until < from)
        until = from;
    Frame frame(av_frame_alloc());
    if (!frame)
        return Outcome<QImage>::failure(
            QCoreApplication::translate("ThumbnailSource", "Could not make a picture of '%1': out of memory.")
                .arg(displayName(path)));
    const int status = decodeWithin(from, until, frame.get());
    if (status < 0) {
        qCDebug(lcMedia) << "decoding a thumbnail failed for" << path << ffmpegErrorText(status);
        return Outcome<QImage>::failure(
            QCoreApplication::translate("ThumbnailSource", "Could not make a picture of '%1' at %2 s: %3")
                .arg(displayName(path))
                .arg(from, 0, 'f', 2)
                .arg(ffmpegErrorText(status)));
    }
    return toImage(frame.get(), size);
}

Outcome<QImage> ThumbnailSource::toImage(AVFrame* frame, QSize size)
{
    if (size.isEmpty())
        size = displaySize;
    // Cut and scale to the shape and size the picture has before it is turned upright.
    const QSize stored = (rotation == 90 || rotation == 270) ? size.transposed() : size;
    AVFormatContext* input = decoder->input.get();
    const AVRational pixelAspect = av_guess_sample_aspect_ratio(input, input->streams[stream], frame);
    keepMiddle(frame, double(stored.width()) / stored.height(),
               pixelAspect.num > 0 && pixelAspect.den > 0 ? av_q2d(pixelAspect) : 1.0);
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
