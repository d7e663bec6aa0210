#include "StillFrames.h"

#include <algorithm>
#include <cmath>

extern "C" {
#include <libswscale/swscale.h>
}

#include <QCoreApplication>
#include <QImage>

#include "FfmpegSupport.h"
#include "MediaLog.h"
#include "PictureScaler.h"

namespace {

// Decoder threads: a step is one frame, and the machine is the user's; more threads
// would only hold more frames back.
constexpr int DECODER_THREADS = 2;
// A frame asked for this far past the last one decoded is reached by decoding on,
// whatever keyframes lie between: about what a seek would decode, without losing the
// frames kept.
constexpr double DECODE_ON_SECONDS = 1.0;

QString stillText(const char* text)
{
    return QCoreApplication::translate("StillFrames", text);
}

// The SWS_CS_* matrix of a frame's colours; files that do not say are, by convention,
// 709 when high definition.
int colorspaceOf(const AVFrame* frame)
{
    switch (frame->colorspace) {
    case AVCOL_SPC_BT709:
        return SWS_CS_ITU709;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        return SWS_CS_BT2020;
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
        return SWS_CS_ITU601;
    default:
        return frame->height >= 720 ? SWS_CS_ITU709 : SWS_CS_ITU601;
    }
}

size_t bytesOf(const AVFrame* frame)
{
    size_t bytes = 0;
    for (const AVBufferRef* buffer : frame->buf) {
        if (buffer)
            bytes += buffer->size;
    }
    return bytes;
}

void freeFrame(AVFrame* frame)
{
    av_frame_free(&frame);
}

} // namespace

struct StillFrames::Decoder {
    InputFormat input;
    CodecContext codec;
    Packet packet{av_packet_alloc()};
    Frame frame{av_frame_alloc()};
    PictureScaler scaler{PictureScaler::Filter::Area};
    AVRational timeBase{1, 1};
    int64_t start = 0;          // the file's start on the video's clock
    bool draining = false;      // the file is read to its end; the decoder gives what it holds
};

StillFrames::StillFrames()
    : decoder(std::make_unique<Decoder>())
{
}

StillFrames::~StillFrames() = default;

// The file opened for its video stream's frames, with a decoder.
Outcome<std::unique_ptr<StillFrames::Decoder>> StillFrames::openFile(const QString& path, int* stream)
{
    using Result = Outcome<std::unique_ptr<Decoder>>;
    Outcome<InputFormat> readable = openInput(path);
    if (!readable)
        return Result::failure(readable.error());
    auto own = std::make_unique<Decoder>();
    own->input = std::move(readable).value();
    *stream = bestVideoStream(own->input.get());
    const QString name = displayName(path);
    if (*stream < 0)
        return Result::failure(stillText("Could not show the frames of '%1': it has no video track.").arg(name));
    AVStream* video = own->input->streams[*stream];
    readOnlyStream(own->input.get(), *stream);
    if (const QString tooLarge = oversizedPictureProblem(video->codecpar); !tooLarge.isEmpty())
        return Result::failure(stillText("Could not show the frames of '%1': %2.").arg(name, tooLarge));
    int status = 0;
    own->codec = openDecoder(video, DECODER_THREADS, status);
    if (status == AVERROR_DECODER_NOT_FOUND || status == AVERROR(ENOMEM))
        return Result::failure(stillText("Could not show the frames of '%1': its video format is not supported.").arg(name));
    if (!own->codec) {
        qCWarning(lcMedia) << "avcodec_open2 failed for" << path << ffmpegErrorText(status);
        return Result::failure(stillText("Could not show the frames of '%1': %2.").arg(name, ffmpegErrorText(status)));
    }
    if (!own->packet || !own->frame)
        return Result::failure(stillText("Could not show the frames of '%1': out of memory.").arg(name));
    own->timeBase = video->time_base;
    if (own->input->start_time != AV_NOPTS_VALUE)
        own->start = av_rescale_q(own->input->start_time, AV_TIME_BASE_Q, own->timeBase);
    return Result(std::move(own));
}

Outcome<std::unique_ptr<StillFrames>> StillFrames::open(const QString& path)
{
    using Result = Outcome<std::unique_ptr<StillFrames>>;
    std::unique_ptr<StillFrames> frames(new StillFrames);
    Outcome<std::unique_ptr<Decoder>> opened = openFile(path, &frames->stream);
    if (!opened)
        return Result::failure(opened.error());
    frames->decoder = std::move(opened).value();
    frames->path = path;
    return frames;
}

Outcome<FramePicture> StillFrames::pictureAt(double seconds, QSize size)
{
    if (!std::isfinite(seconds) || seconds < 0.0)
        seconds = 0.0;
    box = size;
    const int64_t target = decoder->start + std::llround(seconds / av_q2d(decoder->timeBase));
    const int status = decodeAt(target);
    const Run::const_iterator shown = shownAt(target);
    if (shown == run.end()) {
        qCDebug(lcMedia) << "decoding a still failed for" << path << ffmpegErrorText(status);
        return Outcome<FramePicture>::failure(stillText("Could not show the frame of '%1' at %2 s: %3")
                                                  .arg(displayName(path))
                                                  .arg(seconds, 0, 'f', 3)
                                                  .arg(ffmpegErrorText(status < 0 ? status : AVERROR_INVALIDDATA)));
    }
    const double time = double(shown->first - decoder->start) * av_q2d(decoder->timeBase);
    if (!shown->second.frame) {
        const QImage& picture = shown->second.picture;
        return FramePicture{picture.size() == box || box.isEmpty()
                                ? picture
                                : picture.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation),
                            time};
    }
    Outcome<QImage> image = toImage(shown->second.frame.get(), box);
    if (!image)
        return Outcome<FramePicture>::failure(image.error());
    return FramePicture{std::move(image).value(), time};
}

bool StillFrames::holds(double seconds) const
{
    return shownAt(decoder->start + std::llround(seconds / av_q2d(decoder->timeBase))) != run.end();
}

void StillFrames::decodeEarlier(double seconds, const std::function<bool()>& stop)
{
    // Within a second of the first frame kept, a step back may soon cross it.
    constexpr double NEAR_SECONDS = 1.0;
    if (run.empty() || fromStart || box.isEmpty())
        return;
    const int64_t first = run.begin()->first;
    const int64_t shown = decoder->start + std::llround(seconds / av_q2d(decoder->timeBase));
    if (double(shown - first) * av_q2d(decoder->timeBase) > NEAR_SECONDS)
        return;
    // Joined already, and its oldest pictures let go for memory: not decoded again.
    if (earlier && earlier->joinedFrom <= first && first <= earlier->until)
        return;
    if (!earlier || earlier->until != first) {
        // A decoder opened before is kept for the next stretch.
        std::unique_ptr<Decoder> kept = earlier ? std::move(earlier->decoder) : nullptr;
        earlier = std::make_unique<Earlier>();
        earlier->until = first;
        if (!kept) {
            int own = -1;
            Outcome<std::unique_ptr<Decoder>> opened = openFile(path, &own);
            if (!opened || own != stream) {
                earlier->failed = true;
                return;
            }
            kept = std::move(opened).value();
        }
        earlier->decoder = std::move(kept);
        seekEarlier(*earlier, first - 1);
    }
    while (!earlier->failed && !stop()) {
        if (decodeEarlierStep(*earlier)) {
            joinEarlier();
            return;
        }
    }
    if (earlier->failed)
        earlier->decoder.reset();
}

// Puts the interval's decoder at the keyframe the index names at or before `before`.
// Only where an index names it: a seek without one (in MPEG-TS) can land between
// keyframes. The index counts decode times, so the keyframe found may be the run's own
// (shown later than decoded): then the one before it is taken, a few times at most.
void StillFrames::seekEarlier(Earlier& stretch, int64_t before)
{
    constexpr int MOST_SEEKS = 4;
    Decoder& other = *stretch.decoder;
    AVStream* video = other.input->streams[stream];
    const AVIndexEntry* key = avformat_index_get_entry_from_timestamp(video, before, AVSEEK_FLAG_BACKWARD);
    stretch.fromStart = key && key == avformat_index_get_entry(video, 0);
    stretch.keyAt = key ? key->timestamp : 0;
    stretch.pictures.clear();
    avcodec_flush_buffers(other.codec.get());
    other.draining = false;
    if (!key || ++stretch.seeks > MOST_SEEKS
        || av_seek_frame(other.input.get(), stream, key->timestamp, AVSEEK_FLAG_BACKWARD) < 0)
        stretch.failed = true;
}

// One step of decoding the interval before the run: a frame taken, or a packet given to
// the decoder. True once a frame at the run's start is reached.
bool StillFrames::decodeEarlierStep(Earlier& stretch)
{
    Decoder& other = *stretch.decoder;
    AVCodecContext* codec = other.codec.get();
    AVFrame* frame = other.frame.get();
    int status = avcodec_receive_frame(codec, frame);
    if (status == 0) {
        const int64_t shown = frame->best_effort_timestamp;
        if (shown == AV_NOPTS_VALUE) {
            stretch.failed = true;
        } else if (stretch.pictures.empty() && shown >= stretch.until) {
            // The seek landed at the run's own keyframe: the one before it, then.
            if (stretch.fromStart)
                stretch.failed = true;
            else
                seekEarlier(stretch, stretch.keyAt - 1);
        } else if (shown >= stretch.until) {
            av_frame_unref(frame);
            return true;
        } else if (stretch.pictures.empty() || shown > stretch.pictures.rbegin()->first) {
            Outcome<QImage> picture = toImage(frame, box);
            if (picture)
                stretch.pictures.emplace(shown, std::move(picture).value());
            else
                stretch.failed = true;
        }
        av_frame_unref(frame);
        return false;
    }
    if (status != AVERROR(EAGAIN) || other.draining) {
        stretch.failed = true;
        return false;
    }
    AVPacket* packet = other.packet.get();
    do {
        av_packet_unref(packet);
        status = av_read_frame(other.input.get(), packet);
    } while (status == 0 && packet->stream_index != stream);
    if (status < 0) {
        other.draining = true;
        avcodec_send_packet(codec, nullptr);
        return false;
    }
    avcodec_send_packet(codec, packet);
    av_packet_unref(packet);
    return false;
}

// The interval before the run joins it, as pictures; the oldest go if they do not fit.
void StillFrames::joinEarlier()
{
    qCDebug(lcMedia) << "decoded" << earlier->pictures.size() << "frames before" << earlier->until << "of" << path;
    for (auto& [shown, picture] : earlier->pictures) {
        pictureBytes += size_t(picture.sizeInBytes());
        run.emplace(shown, Kept{{nullptr, &freeFrame}, std::move(picture)});
    }
    fromStart = earlier->fromStart;
    earlier->joinedFrom = earlier->pictures.empty() ? earlier->until : earlier->pictures.begin()->first;
    earlier->pictures.clear();
    // Its decoder holds pictures of its own (a 4K one, a hundred megabytes): closed.
    earlier->decoder.reset();
    makeRoom();
}

// Makes the run hold the frame shown at target: from memory, by decoding on, or from
// the keyframe before it. 0, or the error that stopped the decoding.
int StillFrames::decodeAt(int64_t target)
{
    if (shownAt(target) != run.end())
        return 0;
    if (decodesOnTo(target)) {
        const int status = decodeUntil(target);
        if (status < 0 || shownAt(target) != run.end())
            return status;
    }
    return seekBefore(target);
}

// Seeks to the keyframe before target and decodes on to it. A seek in a file without an
// index (MPEG-TS) can land past that keyframe, or on frames the decoder cannot show
// before the next keyframe: it is tried again further back until the first frame
// decoded is shown no later than target, or the file's start is reached.
int StillFrames::seekBefore(int64_t target)
{
    AVFormatContext* input = decoder->input.get();
    const int64_t second = std::max<int64_t>(1, std::llround(1.0 / av_q2d(decoder->timeBase)));
    for (int64_t back = 0;; back = back == 0 ? second : back * 2) {
        const int64_t at = std::max(target - back, decoder->start);
        avcodec_flush_buffers(decoder->codec.get());
        run.clear();
        frameBytes = 0;
        pictureBytes = 0;
        ended = false;
        fromStart = at <= decoder->start;
        decoder->draining = false;
        // The start, by its first byte where the file can be read from any byte (a seek by
        // time to MPEG-TS's first frame can land on a later one); in an indexed file, a
        // time before the first keyframe seeks to that one.
        const bool byBytes = fromStart && !(input->iformat->flags & AVFMT_NO_BYTE_SEEK);
        int status = byBytes ? av_seek_frame(input, stream, 0, AVSEEK_FLAG_BYTE) : AVERROR(EINVAL);
        if (status < 0)
            status = av_seek_frame(input, stream, at, AVSEEK_FLAG_BACKWARD);
        if (status < 0)
            status = av_seek_frame(input, stream, at, 0);
        if (status < 0)
            qCDebug(lcMedia) << "av_seek_frame failed for" << path << ffmpegErrorText(status);
        status = decodeUntil(target);
        if (status < 0 || fromStart || (!run.empty() && run.begin()->first <= target))
            return status;
    }
}

// Decodes on, keeping each frame, until the run holds the frame shown at target or a
// frame shown after it: 0, or the error that stopped it.
int StillFrames::decodeUntil(int64_t target)
{
    AVCodecContext* codec = decoder->codec.get();
    AVPacket* packet = decoder->packet.get();
    while (shownAt(target) == run.end() && (run.empty() || run.begin()->first <= target || fromStart)) {
        int status = avcodec_receive_frame(codec, decoder->frame.get());
        if (status == 0) {
            keep(decoder->frame.get());
            continue;
        }
        if (status == AVERROR_EOF) {
            ended = true;
            return 0;
        }
        if (status != AVERROR(EAGAIN))
            return status;
        if (decoder->draining) {
            ended = true;
            return 0;
        }
        do {
            av_packet_unref(packet);
            status = av_read_frame(decoder->input.get(), packet);
        } while (status == 0 && packet->stream_index != stream);
        if (status < 0) {
            // The end of the file, or damage past which nothing can be read: what the
            // decoder holds is all there is.
            decoder->draining = true;
            avcodec_send_packet(codec, nullptr);
            continue;
        }
        // A packet the decoder refuses is damage it conceals in the frames after it.
        avcodec_send_packet(codec, packet);
        av_packet_unref(packet);
    }
    return 0;
}

// Takes the decoded frame into the run; the frames furthest back go when the run
// holds more than it may.
void StillFrames::keep(AVFrame* frame)
{
    int64_t shown = frame->best_effort_timestamp;
    if (shown == AV_NOPTS_VALUE)
        shown = run.empty() ? decoder->start : run.rbegin()->first + 1;
    // A frame shown before the run's last one belongs to the pictures before the
    // keyframe sought (an open GOP's leading frames): the run stays unbroken without it.
    if (!run.empty() && shown <= run.rbegin()->first) {
        av_frame_unref(frame);
        return;
    }
    std::unique_ptr<AVFrame, void (*)(AVFrame*)> kept(av_frame_alloc(), &freeFrame);
    if (!kept) {
        av_frame_unref(frame);
        return;
    }
    av_frame_move_ref(kept.get(), frame);
    frameBytes += bytesOf(kept.get());
    run.emplace(shown, Kept{std::move(kept), QImage()});
    makeRoom();
}

// The oldest whole frames become pictures, and the oldest pictures go, until the run
// fits its memory. Without a size for pictures, or when one cannot be made, the oldest
// frames go.
void StillFrames::makeRoom()
{
    auto oldest = run.begin();
    while (frameBytes > MAX_FRAME_BYTES && run.size() > 1) {
        while (oldest != run.end() && !oldest->second.frame)
            ++oldest;
        if (oldest == run.end() || std::next(oldest) == run.end())
            break;
        Outcome<QImage> picture
            = box.isEmpty() ? Outcome<QImage>::failure(QString()) : toImage(oldest->second.frame.get(), box);
        if (!picture) {
            dropOldest();
            oldest = run.begin();
            continue;
        }
        frameBytes -= bytesOf(oldest->second.frame.get());
        oldest->second.frame.reset();
        oldest->second.picture = std::move(picture).value();
        pictureBytes += size_t(oldest->second.picture.sizeInBytes());
    }
    while (pictureBytes > MAX_PICTURE_BYTES && run.size() > 1)
        dropOldest();
}

void StillFrames::dropOldest()
{
    const Kept& kept = run.begin()->second;
    if (kept.frame)
        frameBytes -= bytesOf(kept.frame.get());
    pictureBytes -= size_t(kept.picture.sizeInBytes());
    run.erase(run.begin());
    fromStart = false;
}

// The first frame of the run shown at or after target (the last one, after the video's
// end); null when the run cannot tell.
StillFrames::Run::const_iterator StillFrames::shownAt(int64_t target) const
{
    if (run.empty())
        return run.end();
    const auto at = run.lower_bound(target);
    if (at == run.end())
        return ended ? std::prev(run.end()) : run.end();
    // Frames before the run's first one may lie between target and it, unless the run
    // starts at the file's start.
    if (at == run.begin() && at->first > target && !fromStart)
        return run.end();
    return at;
}

// Whether target is reached by decoding on rather than by seeking: it is a short way on
// (which keeps the frames behind for steps back, even past a keyframe), or the keyframe
// before it is one already passed, where the file's index tells.
bool StillFrames::decodesOnTo(int64_t target) const
{
    if (run.empty() || ended || target <= run.rbegin()->first)
        return false;
    const int64_t last = run.rbegin()->first;
    if (double(target - last) * av_q2d(decoder->timeBase) <= DECODE_ON_SECONDS)
        return true;
    const AVIndexEntry* keyframe = avformat_index_get_entry_from_timestamp(
        decoder->input->streams[stream], target, AVSEEK_FLAG_BACKWARD);
    return keyframe && keyframe->timestamp <= last;
}

Outcome<QImage> StillFrames::toImage(const AVFrame* frame, QSize size)
{
    AVFormatContext* input = decoder->input.get();
    const AVRational aspect
        = av_guess_sample_aspect_ratio(input, input->streams[stream], const_cast<AVFrame*>(frame));
    const double pixelAspect = aspect.num > 0 && aspect.den > 0 ? av_q2d(aspect) : 1.0;
    const QSizeF shown(frame->width * pixelAspect, frame->height);
    const QSize fitted = size.isEmpty() ? shown.toSize() : shown.scaled(QSizeF(size), Qt::KeepAspectRatio).toSize();
    QImage image(fitted.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    if (image.isNull())
        return Outcome<QImage>::failure(
            stillText("Could not show the frame of '%1': out of memory.").arg(displayName(path)));
    if (!decoder->scaler.scale({AVPixelFormat(frame->format), QSize(frame->width, frame->height), frame->data,
                                frame->linesize, colorspaceOf(frame), frame->color_range == AVCOL_RANGE_JPEG},
                               image)) {
        return Outcome<QImage>::failure(
            stillText("Could not show the frame of '%1': its pixel format cannot be converted.").arg(displayName(path)));
    }
    return image;
}
