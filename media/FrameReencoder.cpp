#include "FrameReencoder.h"

#include <algorithm>
#include <cstring>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <vector>

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libavutil/video_enc_params.h>
}

#include <QCoreApplication>

#include "MediaLog.h"
#include "ParameterSets.h"

namespace {

const char* encoderName(AVCodecID codec)
{
    switch (codec) {
    case AV_CODEC_ID_H264:
        return "libx264";
    case AV_CODEC_ID_HEVC:
        return "libx265";
    case AV_CODEC_ID_VP8:
        return "libvpx";
    case AV_CODEC_ID_VP9:
        return "libvpx-vp9";
    case AV_CODEC_ID_AV1:
        return "libaom-av1";
    case AV_CODEC_ID_FLV1:
        return "flv";
    case AV_CODEC_ID_H263:
        return "h263";
    case AV_CODEC_ID_MPEG1VIDEO:
        return "mpeg1video";
    case AV_CODEC_ID_MPEG2VIDEO:
        return "mpeg2video";
    case AV_CODEC_ID_WMV2:
        return "wmv2";
    case AV_CODEC_ID_THEORA:
        return "libtheora";
    case AV_CODEC_ID_MPEG4:
        return "mpeg4";
    default:
        return nullptr;
    }
}

// The three headers of a Theora stream's set-up: each after a 16-bit size, or laced as
// in Xiph's own framing (a count, then sizes in runs of 255). Empty if neither reads.
std::vector<QByteArray> theoraHeaders(const uint8_t* data, int size)
{
    std::vector<QByteArray> headers;
    const QByteArray all = QByteArray::fromRawData(reinterpret_cast<const char*>(data), size);
    if (size >= 2 && data[0] == 0) {
        for (int at = 0; at + 2 <= size && headers.size() < 3;) {
            const int length = (data[at] << 8) | data[at + 1];
            if (at + 2 + length > size)
                return {};
            headers.push_back(all.mid(at + 2, length));
            at += 2 + length;
        }
    } else if (size >= 1 && data[0] == 2) {
        int at = 1;
        std::vector<int> lengths;
        for (int k = 0; k < 2; ++k) {
            int length = 0;
            while (at < size && data[at] == 255)
                length += data[at++];
            if (at >= size)
                return {};
            lengths.push_back(length + data[at++]);
        }
        for (const int length : lengths) {
            if (at + length > size)
                return {};
            headers.push_back(all.mid(at, length));
            at += length;
        }
        headers.push_back(all.mid(at));
    }
    return headers.size() == 3 ? headers : std::vector<QByteArray>{};
}

// What of a Theora stream's headers every frame is decoded under: the version, the
// coded and shown picture's size and place, the pixel format and the tables.
bool sameTheoraCoding(const AVCodecParameters* source, const AVCodecContext* ours)
{
    const std::vector<QByteArray> theirs = theoraHeaders(source->extradata, source->extradata_size);
    const std::vector<QByteArray> mine = theoraHeaders(ours->extradata, ours->extradata_size);
    constexpr int PICTURE_END = 22; // after the version, sizes and picture offsets
    constexpr int PIXEL_FORMAT = 41;
    if (theirs.empty() || mine.empty() || theirs[0].size() <= PIXEL_FORMAT || mine[0].size() <= PIXEL_FORMAT)
        return false;
    const auto pixelFormat = [](const QByteArray& info) { return (uint8_t(info[PIXEL_FORMAT]) >> 3) & 3; };
    return theirs[0].left(PICTURE_END) == mine[0].left(PICTURE_END) && pixelFormat(theirs[0]) == pixelFormat(mine[0])
        && theirs[2] == mine[2];
}

// Whether a WMV2 stream's header turns its loop filter on, which our encoder can match.
bool wmv2LoopFilter(const AVCodecParameters* stream)
{
    return stream->extradata_size >= 4 && (stream->extradata[2] & 0x40) != 0;
}

const char* h264ProfileName(int profile)
{
    switch (profile & ~FF_PROFILE_H264_CONSTRAINED) {
    case FF_PROFILE_H264_BASELINE:
        return "baseline";
    case FF_PROFILE_H264_MAIN:
        return "main";
    case FF_PROFILE_H264_HIGH_10:
        return "high10";
    case FF_PROFILE_H264_HIGH_422:
        return "high422";
    case FF_PROFILE_H264_HIGH_444_PREDICTIVE:
        return "high444";
    default:
        return "high";
    }
}

// The frames encoded again aim at the bytes of the source's frames they replace, so a
// clip is about the size of its stretch of the source (a little more: the first of
// them is a keyframe the source did not have there). Every frame stays at or under a
// quantiser that keeps it near 40 dB, even where that costs more.
constexpr double BUDGET_SHARE = 1.0;
constexpr int FINEST_QUALITY_FLOOR = 28;
// x265's quantisers run coarser for the same quality: at 28, heads of a source made at
// x265's default quality took 1.7 times its bytes; at 32, 1.05 times, at 41 dB (at 34,
// sharp-edged pictures fell under 35 dB).
constexpr int HEVC_QUALITY_FLOOR = 32;
// The coarsest quantiser frames of FFmpeg's own encoders get, whatever their source's.
constexpr int OLD_CODEC_QUALITY_FLOOR = 6;

// The average bit rate that spends the budget. No buffer limit: x264 holds one to the
// level the source states, which starves a source that breaks it (lossless video).
bool aimAt(AVCodecContext* context, EncodingBudget budget)
{
    if (budget.bytes <= 0 || budget.seconds <= 0.0)
        return false;
    const double rate = std::max(100'000.0, double(budget.bytes) * 8.0 * BUDGET_SHARE / budget.seconds);
    context->bit_rate = int64_t(rate);
    return true;
}

bool losslessSource(const AVCodecParameters* source)
{
    const std::vector<QByteArray> units = FrameReencoder::parameterSets(source);
    return std::any_of(units.begin(), units.end(), [](const QByteArray& unit) { return h264Lossless(unit); });
}

// Quality first: the new frames stand beside untouched ones, and the viewer should
// not see where one kind ends. These settings give about 40 dB PSNR or more on camera
// footage. No B-frames and no look-ahead: packets come out in their frames' order, so
// memory stays small and decode times never need to run ahead of shown times.
void chooseOptions(AVCodecContext* context, const AVCodecParameters* source, int parameterSetId,
                   EncodingBudget budget, Dictionary& options)
{
    AVDictionary* raw = nullptr;
    switch (source->codec_id) {
    case AV_CODEC_ID_H264: {
        // Beyond 4K, the quarter-size look-ahead copies rate control needs, weighted
        // references and half-pixel planes would take over half a gigabyte for an 8K
        // picture: a constant quantiser and whole-pixel motion search cost bits, not
        // quality.
        const bool large = int64_t(source->width) * source->height > int64_t(3840) * 2160;
        av_dict_set(&raw, "preset", "veryfast", 0);
        if (losslessSource(source)) {
            // A lossless source's copied frames need the lossless set-up its parameter
            // sets declare, and a decoder keeps the set-up of the head's: ours are
            // lossless too.
            av_dict_set(&raw, "qp", "0", 0);
        } else if (large) {
            av_dict_set(&raw, "qp", "15", 0);
        } else if (aimAt(context, budget)) {
            context->qmax = FINEST_QUALITY_FLOOR;
        } else {
            av_dict_set(&raw, "crf", "15", 0);
        }
        av_dict_set(&raw, "profile", h264ProfileName(source->profile), 0);
        // The source's reordering depth is declared (every frame is still a P-frame):
        // a decoder that keeps its picture buffer for the copied frames after the
        // head, as GStreamer's does for interlaced video, then keeps it for ours too.
        av_dict_set(&raw, "x264-params",
                    QStringLiteral("sps-id=%1:bframes=%3:b-pyramid=none:b-adapt=0:scenecut=0:rc-lookahead=0:mbtree=0:"
                                   "sync-lookahead=0:sliced-threads=1%2")
                        .arg(parameterSetId)
                        .arg(large ? QStringLiteral(":weightp=0:subme=0") : QString())
                        .arg(source->video_delay)
                        .toLatin1().constData(), 0);
        if (source->level > 0)
            context->level = source->level;
        break;
    }
    case AV_CODEC_ID_HEVC:
        // x265's fastest preset: on two cores it encodes 1080p at over 30 frames a
        // second, near 49 dB here; veryfast takes twice as long for 2 dB more.
        av_dict_set(&raw, "preset", "ultrafast", 0);
        if (!aimAt(context, budget))
            av_dict_set(&raw, "crf", "16", 0);
        av_dict_set(&raw, "x265-params",
                    QStringLiteral("bframes=0:scenecut=0:open-gop=0:rc-lookahead=1:info=0:log-level=error:repeat-headers=0:"
                                   "aud=0:qpmax=%1")
                        .arg(HEVC_QUALITY_FLOOR)
                        .toLatin1()
                        .constData(),
                    0);
        break;
    case AV_CODEC_ID_VP8:
        av_dict_set(&raw, "deadline", "good", 0);
        av_dict_set(&raw, "cpu-used", "4", 0);
        av_dict_set(&raw, "lag-in-frames", "0", 0);
        av_dict_set(&raw, "auto-alt-ref", "0", 0);
        av_dict_set(&raw, "crf", "6", 0);
        context->bit_rate = std::max<int64_t>(4'000'000, int64_t(source->width) * source->height * 30);
        context->qmin = 0;
        context->qmax = 30;
        break;
    case AV_CODEC_ID_VP9:
        av_dict_set(&raw, "deadline", "good", 0);
        av_dict_set(&raw, "cpu-used", "4", 0);
        av_dict_set(&raw, "row-mt", "1", 0);
        av_dict_set(&raw, "lag-in-frames", "0", 0);
        av_dict_set(&raw, "crf", "16", 0);
        context->bit_rate = 0;
        break;
    case AV_CODEC_ID_AV1:
        av_dict_set(&raw, "usage", "realtime", 0);
        av_dict_set(&raw, "cpu-used", "8", 0);
        av_dict_set(&raw, "row-mt", "1", 0);
        av_dict_set(&raw, "lag-in-frames", "0", 0);
        av_dict_set(&raw, "crf", "18", 0);
        context->bit_rate = 0;
        break;
    case AV_CODEC_ID_FLV1:
    case AV_CODEC_ID_H263:
    case AV_CODEC_ID_MPEG1VIDEO:
    case AV_CODEC_ID_MPEG2VIDEO:
    case AV_CODEC_ID_MPEG4:
    case AV_CODEC_ID_WMV2:
        if (source->codec_id == AV_CODEC_ID_WMV2 && wmv2LoopFilter(source))
            context->flags |= AV_CODEC_FLAG_LOOP_FILTER;
        // Each frame is encoded with the quantiser its source frame was decoded with
        // (sourceQuantiser), which keeps its quality and about its bytes: FFmpeg's
        // one-pass rate control does not settle within the few dozen frames of a head,
        // and overshoots by half. This is where frames without one start.
        context->flags |= AV_CODEC_FLAG_QSCALE;
        context->global_quality = FF_QP2LAMBDA * 2;
        context->bit_rate = 0;
        break;
    case AV_CODEC_ID_THEORA:
        // Theora's quality runs from 0 to 10.
        context->flags |= AV_CODEC_FLAG_QSCALE;
        context->global_quality = FF_QP2LAMBDA * 9;
        context->bit_rate = 0;
        break;
    default:
        break;
    }
    options.reset(raw);
}

bool isParameterSetOrDelimiter(AVCodecID codec, const QByteArray& unit)
{
    if (codec == AV_CODEC_ID_H264) {
        const int type = h264NalType(unit);
        return type == 7 || type == 8 || type == 9;
    }
    const int type = hevcNalType(unit);
    return type >= 32 && type <= 35;
}

} // namespace

std::optional<int> FrameReencoder::unitFraming(const AVCodecParameters* stream)
{
    const QByteArray record(reinterpret_cast<const char*>(stream->extradata), stream->extradata_size);
    if (record.isEmpty() || record[0] != 1)
        return 0;
    if (stream->codec_id == AV_CODEC_ID_H264) {
        const std::optional<AvcConfig> config = AvcConfig::parse(record);
        return config ? std::optional(config->lengthSize) : std::nullopt;
    }
    const std::optional<HevcConfig> config = HevcConfig::parse(record);
    return config ? std::optional(config->lengthSize) : std::nullopt;
}

std::vector<QByteArray> FrameReencoder::parameterSets(const AVCodecParameters* codec)
{
    if (FrameReencoder::unitFraming(codec) == 0)
        return annexBNalUnits(codec->extradata, codec->extradata_size);
    const QByteArray record = QByteArray::fromRawData(reinterpret_cast<const char*>(codec->extradata), codec->extradata_size);
    if (codec->codec_id == AV_CODEC_ID_HEVC) {
        const std::optional<HevcConfig> config = HevcConfig::parse(record);
        return config ? config->parameterSets : std::vector<QByteArray>{};
    }
    const std::optional<AvcConfig> config = AvcConfig::parse(record);
    if (!config)
        return {};
    std::vector<QByteArray> sets = config->sequenceSets;
    sets.insert(sets.end(), config->pictureSets.begin(), config->pictureSets.end());
    return sets;
}

bool FrameReencoder::supports(const AVCodecParameters* stream)
{
    const AVCodecID codec = stream->codec_id;
    bool framed = codec != AV_CODEC_ID_H264 && codec != AV_CODEC_ID_HEVC;
    if (!framed) {
        // Our encoded frames are written in the stream's framing; a length prefix of 1
        // or 2 bytes cannot hold a high-quality keyframe's size, so such rare streams
        // are cut at keyframes instead.
        const std::optional<int> framing = unitFraming(stream);
        framed = framing == 0 || framing == 4;
    }
    return framed && encoderName(codec) && avcodec_find_encoder_by_name(encoderName(codec)) && avcodec_find_decoder(codec)
        && sameStreamHeader(stream);
}

// Our frames are decoded under the source's stream header, so where that header sets
// how frames are coded, the encoder's must say the same. WMV2's states the frame rate
// and bit rate (16 bits, for information only), then the coding tools every frame uses.
// Theora's hold the quantiser and code tables, which every libtheora writes alike.
bool FrameReencoder::sameStreamHeader(const AVCodecParameters* stream)
{
    if (stream->codec_id != AV_CODEC_ID_WMV2 && stream->codec_id != AV_CODEC_ID_THEORA)
        return true;
    const AVCodec* codec = avcodec_find_encoder_by_name(encoderName(stream->codec_id));
    CodecContext encoder(codec ? avcodec_alloc_context3(codec) : nullptr);
    if (!encoder || stream->width <= 0 || stream->height <= 0)
        return false;
    encoder->width = stream->width;
    encoder->height = stream->height;
    encoder->pix_fmt = stream->codec_id == AV_CODEC_ID_WMV2 ? AV_PIX_FMT_YUV420P : AVPixelFormat(stream->format);
    encoder->time_base = {1, 25};
    if (wmv2LoopFilter(stream))
        encoder->flags |= AV_CODEC_FLAG_LOOP_FILTER;
    limitCodec(encoder.get(), 1);
    if (avcodec_open2(encoder.get(), codec, nullptr) < 0)
        return false;
    if (stream->codec_id == AV_CODEC_ID_THEORA)
        return sameTheoraCoding(stream, encoder.get());
    const auto tools = [](const uint8_t* header, int size) {
        return size < 4 ? -1 : (header[2] << 1) | (header[3] >> 7);
    };
    return tools(stream->extradata, stream->extradata_size) == tools(encoder->extradata, encoder->extradata_size);
}

// A 1080p encoder and decoder hold tens of megabytes, partly in small blocks that the
// freeing thread's malloc pool would keep. Clips are encoded one at a time, each on
// whichever worker is free, so without handing them back every worker would keep some.
FrameReencoder::~FrameReencoder()
{
    frame.reset();
    encoder.reset();
    decoder.reset();
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

bool FrameReencoder::decodesAlone(const AVStream* stream, const AVPacket* keyframe)
{
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    CodecContext decoder(codec ? avcodec_alloc_context3(codec) : nullptr);
    if (!decoder || avcodec_parameters_to_context(decoder.get(), stream->codecpar) < 0)
        return true; // nothing here to judge it with; the copy goes ahead
    decoder->err_recognition = AV_EF_EXPLODE;
    limitCodec(decoder.get(), 1);
    if (avcodec_open2(decoder.get(), codec, nullptr) < 0)
        return true;
    Frame picture(av_frame_alloc());
    if (avcodec_send_packet(decoder.get(), keyframe) < 0)
        return false;
    avcodec_send_packet(decoder.get(), nullptr);
    return avcodec_receive_frame(decoder.get(), picture.get()) >= 0 && !(picture->flags & AV_FRAME_FLAG_CORRUPT)
        && !picture->decode_error_flags;
}

namespace {

// The encoder's pictures described as the source's are: size, pixel aspect and
// format, colours, field order and frame times.
void describeLike(AVCodecContext* context, const AVStream* source)
{
    const AVCodecParameters* parameters = source->codecpar;
    context->width = parameters->width;
    context->height = parameters->height;
    context->pix_fmt = AVPixelFormat(parameters->format);
    context->sample_aspect_ratio = source->sample_aspect_ratio.num > 0 ? source->sample_aspect_ratio
                                                                      : parameters->sample_aspect_ratio;
    context->color_primaries = parameters->color_primaries;
    context->color_trc = parameters->color_trc;
    context->colorspace = parameters->color_space;
    context->color_range = parameters->color_range;
    context->chroma_sample_location = parameters->chroma_location;
    context->field_order = parameters->field_order;
    if (parameters->field_order != AV_FIELD_PROGRESSIVE && parameters->field_order != AV_FIELD_UNKNOWN)
        context->flags |= AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME;
    context->time_base = source->time_base;
    context->framerate = source->avg_frame_rate;
}

// VP8 and VP9 in WebM keep a transparent picture's alpha as a second picture beside
// each frame. FFmpeg's own decoders leave it out; libvpx's decode it, and its encoders
// write it the same way, so the frames encoded again stay transparent where they were.
bool carriesAlpha(const AVStream* source)
{
    const AVCodecID id = source->codecpar->codec_id;
    const AVDictionaryEntry* mode = av_dict_get(source->metadata, "alpha_mode", nullptr, 0);
    return (id == AV_CODEC_ID_VP8 || id == AV_CODEC_ID_VP9) && mode && std::strcmp(mode->value, "1") == 0;
}

const AVCodec* decoderFor(const AVStream* source)
{
    if (carriesAlpha(source)) {
        if (const AVCodec* libvpx = avcodec_find_decoder_by_name(
                source->codecpar->codec_id == AV_CODEC_ID_VP9 ? "libvpx-vp9" : "libvpx"))
            return libvpx;
    }
    return avcodec_find_decoder(source->codecpar->codec_id);
}

} // namespace

Outcome<std::unique_ptr<FrameReencoder>> FrameReencoder::open(const AVStream* source, int parameterSetId,
                                                              const QString& sourceName, EncodingBudget budget)
{
    const AVCodecParameters* parameters = source->codecpar;
    std::unique_ptr<FrameReencoder> self(new FrameReencoder);
    self->codec = parameters->codec_id;
    self->problem = CutProblem(sourceName);
    const CutProblem& problem = self->problem;
    const char* name = encoderName(parameters->codec_id);
    const AVCodec* encoderCodec = name ? avcodec_find_encoder_by_name(name) : nullptr;
    const AVCodec* decoderCodec = decoderFor(source);
    if (!encoderCodec || !decoderCodec)
        return problem.fail<std::unique_ptr<FrameReencoder>>(
            QCoreApplication::translate("FrameReencoder", "this FFmpeg has no encoder for its %1 video")
                .arg(QString::fromUtf8(avcodec_get_name(parameters->codec_id))));

    self->decoder.reset(avcodec_alloc_context3(decoderCodec));
    self->encoder.reset(avcodec_alloc_context3(encoderCodec));
    if (!self->decoder || !self->encoder || !self->frame
        || avcodec_parameters_to_context(self->decoder.get(), parameters) < 0)
        return Outcome<std::unique_ptr<FrameReencoder>>::failure(problem.outOfMemory());
    self->decoder->pkt_timebase = source->time_base;
    self->decoder->export_side_data |= AV_CODEC_EXPORT_DATA_VIDEO_ENC_PARAMS;
    limitCodec(self->decoder.get(), 2);
    int status = avcodec_open2(self->decoder.get(), decoderCodec, nullptr);
    if (status < 0)
        return problem.fail<std::unique_ptr<FrameReencoder>>(
            QCoreApplication::translate("FrameReencoder", "the video cannot be decoded"), status);

    AVCodecContext* context = self->encoder.get();
    describeLike(context, source);
    if (carriesAlpha(source) && std::strncmp(decoderCodec->name, "libvpx", 6) == 0)
        context->pix_fmt = AV_PIX_FMT_YUVA420P;
    self->sourceBase = source->time_base;
    // MPEG-1 and MPEG-2 state their frame rate, and their encoder counts time in frames; so does
    // MPEG-4's here, whose clock cannot tick faster than 65535 times a second.
    if ((parameters->codec_id == AV_CODEC_ID_MPEG1VIDEO || parameters->codec_id == AV_CODEC_ID_MPEG2VIDEO
            || parameters->codec_id == AV_CODEC_ID_MPEG4)
        && context->framerate.num > 0)
        context->time_base = av_inv_q(context->framerate);
    context->gop_size = 100000;
    context->max_b_frames = 0;
    limitCodec(context, 2);
    if (parameters->codec_id == AV_CODEC_ID_H264 || parameters->codec_id == AV_CODEC_ID_HEVC)
        context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    Dictionary options;
    chooseOptions(context, parameters, parameterSetId, budget, options);
    AVDictionary* raw = options.release();
    status = avcodec_open2(context, encoderCodec, &raw);
    options.reset(raw);
    if (status < 0)
        return problem.fail<std::unique_ptr<FrameReencoder>>(
            QCoreApplication::translate("FrameReencoder",
                                        "its %1 video cannot be encoded again with the same picture format")
                .arg(QString::fromUtf8(avcodec_get_name(parameters->codec_id))),
            status);

    if (parameters->codec_id == AV_CODEC_ID_H264 || parameters->codec_id == AV_CODEC_ID_HEVC)
        self->lengthSize = unitFraming(parameters).value_or(4);
    self->lowDelay = parameters->video_delay == 0;
    return Outcome<std::unique_ptr<FrameReencoder>>(std::move(self));
}

QByteArray FrameReencoder::headers() const
{
    return QByteArray(reinterpret_cast<const char*>(encoder->extradata), encoder->extradata_size);
}

void FrameReencoder::setRange(int64_t first, int64_t end)
{
    from = first;
    until = end;
}

Outcome<void> FrameReencoder::decode(const AVPacket* packet)
{
    const QString undecodable
        = QCoreApplication::translate("FrameReencoder", "a frame that has to be encoded again cannot be decoded");
    int status = avcodec_send_packet(decoder.get(), packet);
    if (status < 0 && status != AVERROR_EOF)
        return problem.fail(undecodable, status);
    for (;;) {
        status = avcodec_receive_frame(decoder.get(), frame.get());
        if (status == AVERROR(EAGAIN) || status == AVERROR_EOF)
            return {};
        if (status < 0)
            return problem.fail(undecodable, status);
        const int64_t pts = frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : frame->pts;
        Outcome<void> sent;
        if (pts != AV_NOPTS_VALUE && pts >= from && pts < until) {
            frame->pts = pts;
            sent = encode(frame.get());
        }
        av_frame_unref(frame.get());
        if (!sent)
            return sent;
    }
}

Outcome<void> FrameReencoder::encode(AVFrame* picture)
{
    if (picture->format != encoder->pix_fmt || picture->width != encoder->width || picture->height != encoder->height)
        return problem.fail(QCoreApplication::translate(
            "FrameReencoder", "its frames change format, so the frames at the split cannot be encoded again."));
    // A keyframe starts the run, and P-frames follow: never a B-frame, so packets come
    // out in the frames' order.
    picture->pict_type = started ? AV_PICTURE_TYPE_P : AV_PICTURE_TYPE_I;
    picture->key_frame = started ? 0 : 1;
    if (encoder->flags & AV_CODEC_FLAG_QSCALE)
        picture->quality = sourceQuantiser(picture).value_or(encoder->global_quality / FF_QP2LAMBDA) * FF_QP2LAMBDA;

    started = true;
    shownTimes.push_back(picture->pts);
    picture->pts = av_rescale_q(picture->pts, sourceBase, encoder->time_base);
    const int status = avcodec_send_frame(encoder.get(), picture);
    if (status < 0)
        return problem.fail(unencodable(), status);
    return drainEncoder();
}

// The mean quantiser the source's decoder states for a frame (MPEG-1, MPEG-2, MPEG-4
// Part 2, H.263 and WMV2), rounded and kept from 2 to the quality floor.
std::optional<int> FrameReencoder::sourceQuantiser(const AVFrame* picture)
{
    const AVFrameSideData* data = av_frame_get_side_data(picture, AV_FRAME_DATA_VIDEO_ENC_PARAMS);
    if (!data)
        return std::nullopt;
    const auto* parameters = reinterpret_cast<const AVVideoEncParams*>(data->data);
    if (parameters->nb_blocks == 0)
        return std::nullopt;
    int64_t sum = 0;
    for (unsigned i = 0; i < parameters->nb_blocks; ++i)
        sum += parameters->qp + av_video_enc_params_block(const_cast<AVVideoEncParams*>(parameters), i)->delta_qp;
    const int mean = int((sum + parameters->nb_blocks / 2) / parameters->nb_blocks);
    return std::clamp(mean, 2, OLD_CODEC_QUALITY_FLOOR);
}

QString FrameReencoder::unencodable()
{
    return QCoreApplication::translate("FrameReencoder", "the frames at the split could not be encoded again");
}

Outcome<void> FrameReencoder::drainEncoder()
{
    for (;;) {
        Packet packet(av_packet_alloc());
        if (!packet)
            return Outcome<void>::failure(problem.outOfMemory());
        const int status = avcodec_receive_packet(encoder.get(), packet.get());
        if (status == AVERROR(EAGAIN) || status == AVERROR_EOF)
            return {};
        if (status < 0)
            return problem.fail(unencodable(), status);
        av_packet_rescale_ts(packet.get(), encoder->time_base, sourceBase);
        // One packet a frame, in the order they came (nothing is reordered): each
        // keeps its frame's exact time, which an encoder counting in frames rounds.
        if (!shownTimes.empty()) {
            packet->pts = packet->dts = shownTimes.front();
            shownTimes.pop_front();
        }
        Packet framed = reframe(std::move(packet));
        if (!framed)
            return Outcome<void>::failure(problem.outOfMemory());
        ++encodedCount;
        encoded.push_back(std::move(framed));
    }
}

Packet FrameReencoder::reframe(Packet packet) const
{
    if (codec == AV_CODEC_ID_MPEG4) {
        if (!mpeg4SetLowDelay(packet->data, packet->size, lowDelay))
            return nullptr;
        return packet;
    }
    if (codec != AV_CODEC_ID_H264 && codec != AV_CODEC_ID_HEVC)
        return packet;
    std::vector<QByteArray> units;
    for (const QByteArray& unit : annexBNalUnits(packet->data, packet->size)) {
        if (!isParameterSetOrDelimiter(codec, unit))
            units.push_back(unit);
    }
    const QByteArray framed = lengthPrefixed(units, lengthSize);
    Packet out(av_packet_alloc());
    if (!out || av_new_packet(out.get(), int(framed.size())) < 0 || av_packet_copy_props(out.get(), packet.get()) < 0)
        return nullptr;
    memcpy(out->data, framed.constData(), size_t(framed.size()));
    return out;
}

Outcome<void> FrameReencoder::finish()
{
    if (Outcome<void> decoded = decode(nullptr); !decoded)
        return decoded;
    const int status = avcodec_send_frame(encoder.get(), nullptr);
    if (status < 0 && status != AVERROR_EOF)
        return problem.fail(unencodable(), status);
    return drainEncoder();
}
