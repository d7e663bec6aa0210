#include "ClipMuxer.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

#include <unistd.h>

extern "C" {
#include <libavutil/intreadwrite.h>
#include <libavutil/timecode.h>
}

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>

#include "FrameReencoder.h"
#include "MediaLog.h"
#include "ParameterSets.h"

namespace {

// The size of the box header libavformat's MP4 writer puts between the room it keeps
// for the movie box and the media data ("wide" and "mdat").
constexpr int64_t MDAT_HEADER_BYTES = 16;

bool isMovFamily(const AVInputFormat* format)
{
    return std::strstr(format->name, "mov") || std::strstr(format->name, "mp4");
}

// Galleries sort clips by their creation time, and a timecode names the clip's first
// frame: both move to the clip's start.
QByteArray movedValue(const QByteArray& key, QByteArray value, double clipStart, AVRational frameRate)
{
    if (key == "creation_time") {
        const QDateTime time = QDateTime::fromString(QString::fromLatin1(value), Qt::ISODateWithMs);
        if (time.isValid())
            value = time.addMSecs(qint64(std::llround(clipStart * 1000)))
                        .toUTC()
                        .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz000Z"))
                        .toLatin1();
    } else if (key == "timecode" && frameRate.num > 0) {
        AVTimecode timecode{};
        if (av_timecode_init_from_string(&timecode, frameRate, value.constData(), nullptr) == 0) {
            std::array<char, AV_TIMECODE_STR_SIZE> text{};
            const auto frames = int(std::llround(clipStart * av_q2d(frameRate)));
            value = av_timecode_make_string(&timecode, text.data(), frames);
        }
    }
    return value;
}

void copyMetadata(const AVDictionary* from, AVDictionary** to, double clipStart, AVRational frameRate)
{
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = av_dict_get(from, "", entry, AV_DICT_IGNORE_SUFFIX))) {
        const QByteArray key(entry->key);
        if (key == "major_brand" || key == "minor_version" || key == "compatible_brands" || key == "encoder")
            continue;
        av_dict_set(to, entry->key, movedValue(key, entry->value, clipStart, frameRate).constData(), 0);
    }
}

} // namespace

bool Container::isMp4Family() const
{
    return muxer == QLatin1String("mp4") || muxer == QLatin1String("mov") || muxer == QLatin1String("3gp")
        || muxer == QLatin1String("3g2");
}

Container chooseContainer(const AVFormatContext* input, const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (isMovFamily(input->iformat)) {
        if (suffix == QLatin1String("mp4") || suffix == QLatin1String("m4v"))
            return {QStringLiteral("mp4"), suffix};
        // A phone's 3GP keeps its own brand: the MP4 writer refuses its H.263 pictures.
        if (suffix == QLatin1String("mov") || suffix == QLatin1String("3gp") || suffix == QLatin1String("3g2"))
            return {suffix, suffix};
    }
    if (readsAsMatroska(input)) {
        if (suffix == QLatin1String("webm"))
            return {QStringLiteral("webm"), suffix};
        return {QStringLiteral("matroska"), QStringLiteral("mkv")};
    }
    // Other containers: MP4 where it holds the pictures and the sound, which every
    // player reads; else Matroska, which holds nearly any codec (WMV, FLV, Ogg, AVI
    // with PCM sound).
    const AVOutputFormat* mp4 = av_guess_format("mp4", nullptr, nullptr);
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream* stream = input->streams[i];
        const AVMediaType type = stream->codecpar->codec_type;
        // MP4 readers disagree on reordered MPEG-2 pictures' times: GStreamer drops the
        // first frames of a clip with negative composition offsets, VLC those of one
        // whose edit list starts later. Matroska is read alike by all.
        const AVCodecID codec = stream->codecpar->codec_id;
        if (type == AVMEDIA_TYPE_VIDEO && (codec == AV_CODEC_ID_MPEG2VIDEO || codec == AV_CODEC_ID_MPEG1VIDEO))
            return {QStringLiteral("matroska"), QStringLiteral("mkv")};
        const bool carried = type == AVMEDIA_TYPE_AUDIO
            || (type == AVMEDIA_TYPE_VIDEO && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC));
        if (carried && mp4 && avformat_query_codec(mp4, stream->codecpar->codec_id, FF_COMPLIANCE_NORMAL) != 1)
            return {QStringLiteral("matroska"), QStringLiteral("mkv")};
    }
    return {QStringLiteral("mp4"), QStringLiteral("mp4")};
}

Outcome<std::vector<StreamChoice>> chooseStreams(
    const AVFormatContext* input, const Container& container, const CutProblem& problem)
{
    using Result = Outcome<std::vector<StreamChoice>>;
    const AVOutputFormat* format = av_guess_format(container.muxer.toLatin1().constData(), nullptr, nullptr);
    if (!format)
        return problem.fail<std::vector<StreamChoice>>(
            QCoreApplication::translate("StreamCopyCutter", "this FFmpeg cannot write %1 files.").arg(container.muxer));
    // Matroska carries any picture or sound its own codec list lacks in its
    // compatibility modes (as Windows' codec tags: WMV, FLV, MPEG-4 in AVI).
    const int compliance
        = container.muxer == QLatin1String("matroska") ? FF_COMPLIANCE_UNOFFICIAL : FF_COMPLIANCE_NORMAL;
    const int best = bestVideoStream(input);
    if (best < 0)
        return problem.fail<std::vector<StreamChoice>>(
            QCoreApplication::translate("StreamCopyCutter", "it has no video track."));
    std::vector<StreamChoice> chosen;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream* stream = input->streams[i];
        const AVCodecParameters* codec = stream->codecpar;
        const bool isPicture
            = codec->codec_type == AVMEDIA_TYPE_VIDEO && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC);
        const bool isSound = codec->codec_type == AVMEDIA_TYPE_AUDIO;
        const bool isText = codec->codec_type == AVMEDIA_TYPE_SUBTITLE;
        if (!isPicture && !isSound && !isText)
            continue;
        if (avformat_query_codec(format, codec->codec_id, compliance) != 1) {
            if (isText)
                continue;
            return Result::failure(problem(
                QCoreApplication::translate("StreamCopyCutter", "its %1 format (%2) cannot be stored in an %3 file.")
                    .arg(isPicture ? QCoreApplication::translate("StreamCopyCutter", "video")
                                   : QCoreApplication::translate("StreamCopyCutter", "sound"),
                        QString::fromUtf8(avcodec_get_name(codec->codec_id)), container.muxer.toUpper())));
        }
        const Role role = int(i) == best ? Role::Picture
            : isPicture                  ? Role::OtherPicture
            : isSound                    ? Role::Sound
                                         : Role::Text;
        chosen.push_back({int(i), role});
    }
    return chosen;
}

bool isCoverPicture(const AVStream* stream)
{
    const AVCodecID codec = stream->codecpar->codec_id;
    return (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) && stream->attached_pic.size > 0
        && (codec == AV_CODEC_ID_MJPEG || codec == AV_CODEC_ID_PNG || codec == AV_CODEC_ID_BMP);
}

std::vector<int> keepsakes(const AVFormatContext* input, const Container& container)
{
    std::vector<int> kept;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream* stream = input->streams[i];
        const AVCodecParameters* codec = stream->codecpar;
        const bool attachment = codec->codec_type == AVMEDIA_TYPE_ATTACHMENT && codec->extradata_size > 0
            && av_dict_get(stream->metadata, "filename", nullptr, 0) && av_dict_get(stream->metadata, "mimetype", nullptr, 0);
        if ((attachment && container.muxer == QLatin1String("matroska")) || (isCoverPicture(stream) && container.isMp4Family()))
            kept.push_back(int(i));
    }
    return kept;
}

// About 20 bytes of index per frame and sound packet, from the streams' own rates.
// Too little room is retried with more.
int64_t movieReserve(const AVFormatContext* input, const std::vector<StreamChoice>& streams, double seconds)
{
    double samplesPerSecond = 0.0;
    for (const StreamChoice& chosen : streams) {
        const AVStream* stream = input->streams[chosen.input];
        const AVCodecParameters* codec = stream->codecpar;
        if (codec->codec_type == AVMEDIA_TYPE_VIDEO && stream->avg_frame_rate.num > 0 && stream->avg_frame_rate.den > 0)
            samplesPerSecond += av_q2d(stream->avg_frame_rate);
        else if (codec->codec_type == AVMEDIA_TYPE_AUDIO && codec->sample_rate > 0)
            samplesPerSecond += double(codec->sample_rate) / (codec->frame_size > 0 ? codec->frame_size : 1024);
        else
            samplesPerSecond += 60.0;
    }
    // A cover picture is kept in the movie box.
    double covers = 0.0;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        if (isCoverPicture(input->streams[i]))
            covers += 64.0 + input->streams[i]->attached_pic.size;
    }
    const double estimate = 8192.0 + covers + 20.0 * samplesPerSecond * (seconds + 2.0);
    return int64_t(std::min(estimate, 256.0 * 1024 * 1024));
}

ClipMuxer::ClipMuxer(const CutProblem& cutProblem)
    : problem(cutProblem)
{
}

ClipMuxer::~ClipMuxer()
{
    output.reset(); // its writer reads the runs as it writes out its last bytes
    av_buffer_unref(&standIn);
}

Outcome<std::unique_ptr<ClipMuxer>> ClipMuxer::open(
    int descriptor, const Container& container, const CutProblem& problem, const SourceFile* runsFrom)
{
    using Result = Outcome<std::unique_ptr<ClipMuxer>>;
    std::unique_ptr<ClipMuxer> self(new ClipMuxer(problem));
    AVFormatContext* raw = nullptr;
    const int status = avformat_alloc_output_context2(&raw, nullptr, container.muxer.toLatin1().constData(), nullptr);
    if (status < 0)
        return problem.fail<std::unique_ptr<ClipMuxer>>(
            QCoreApplication::translate("StreamCopyCutter", "the clip could not be set up"), status);
    self->output.reset(raw);
    self->mp4 = container.isMp4Family();
    self->descriptor = descriptor;
    self->source = self->mp4 ? runsFrom : nullptr;
    errno = 0;
    self->output->pb = openDescriptorWriter(descriptor, self->source ? &self->runs : nullptr);
    if (!self->output->pb)
        return problem.fail<std::unique_ptr<ClipMuxer>>(
            QCoreApplication::translate("StreamCopyCutter", "the clip could not be created"),
            AVERROR(errno ? errno : ENOMEM));
    self->output->flags |= AVFMT_FLAG_CUSTOM_IO;
    return Result(std::move(self));
}

void ClipMuxer::copyFileMetadata(const AVDictionary* from, double clipStart, AVRational frameRate)
{
    copyMetadata(from, &output->metadata, clipStart, frameRate);
}

Outcome<void> ClipMuxer::copyChapters(const AVFormatContext* from, int64_t origin, int64_t end, AVRational base)
{
    if (std::strcmp(output->oformat->name, "matroska") != 0)
        return {};
    for (unsigned i = 0; i < from->nb_chapters; ++i) {
        const AVChapter* chapter = from->chapters[i];
        const int64_t start = std::max<int64_t>(av_rescale_q(chapter->start, chapter->time_base, base) - origin, 0);
        int64_t stop = av_rescale_q(chapter->end, chapter->time_base, base);
        if (end != std::numeric_limits<int64_t>::max())
            stop = std::min(stop, end);
        stop -= origin;
        if (stop <= start)
            continue;
        // As FFmpeg's own tools add them: the context frees each with its metadata.
        auto* copy = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
        if (!copy || av_dynarray_add_nofree(&output->chapters, reinterpret_cast<int*>(&output->nb_chapters), copy) < 0) {
            av_free(copy);
            return Outcome<void>::failure(problem.outOfMemory());
        }
        copy->id = chapter->id;
        copy->time_base = base;
        copy->start = start;
        copy->end = stop;
        if (av_dict_copy(&copy->metadata, chapter->metadata, 0) < 0)
            return Outcome<void>::failure(problem.outOfMemory());
    }
    return {};
}

Outcome<AVStream*> ClipMuxer::addStream(const AVStream* from, double clipStart, AVRational frameRate)
{
    AVStream* to = avformat_new_stream(output.get(), nullptr);
    if (!to || avcodec_parameters_copy(to->codecpar, from->codecpar) < 0)
        return Outcome<AVStream*>::failure(problem.outOfMemory());
    // Keep the source's tag where the container knows it for this codec: "hvc1" must
    // not turn into "hev1", which some players refuse.
    unsigned tag = from->codecpar->codec_tag;
    unsigned known = 0;
    if (!output->oformat->codec_tag
        || (av_codec_get_id(output->oformat->codec_tag, tag) != from->codecpar->codec_id
            && av_codec_get_tag2(output->oformat->codec_tag, from->codecpar->codec_id, &known)))
        tag = 0;
    to->codecpar->codec_tag = tag;
    to->time_base = from->time_base;
    to->disposition = from->disposition;
    to->avg_frame_rate = from->avg_frame_rate;
    // The container's pixel aspect where it states one, else the codec's: the MP4
    // writer refuses the two when they differ.
    to->sample_aspect_ratio = from->sample_aspect_ratio.num > 0 ? from->sample_aspect_ratio
                                                                : from->codecpar->sample_aspect_ratio;
    to->codecpar->sample_aspect_ratio = to->sample_aspect_ratio;
    copyMetadata(from->metadata, &to->metadata, clipStart, frameRate);
    // The display matrix (rotation), HDR and stereo information live here.
    for (int s = 0; s < from->nb_side_data; ++s) {
        const AVPacketSideData& data = from->side_data[s];
        uint8_t* copy = av_stream_new_side_data(to, data.type, data.size);
        if (!copy)
            return Outcome<AVStream*>::failure(problem.outOfMemory());
        std::memcpy(copy, data.data, data.size);
    }
    return to;
}

// The source's parameter sets and ours side by side, told apart by their ids. A source
// framed with start codes (MPEG-TS) states its sets the same way, and the MP4 writer
// builds the record from both.
Outcome<void> ClipMuxer::addH264Headers(AVStream* stream, const QByteArray& encoderHeaders)
{
    AVCodecParameters* codec = stream->codecpar;
    const QByteArray sourceSets = QByteArray(reinterpret_cast<const char*>(codec->extradata), codec->extradata_size);
    QByteArray record;
    if (FrameReencoder::unitFraming(codec) == 0) {
        record = sourceSets + encoderHeaders;
    } else {
        std::optional<AvcConfig> config = AvcConfig::parse(sourceSets);
        if (!config)
            return problem.fail(QCoreApplication::translate(
                "StreamCopyCutter", "its H.264 video has no decoder configuration that can be extended."));
        for (const QByteArray& unit :
            annexBNalUnits(reinterpret_cast<const uint8_t*>(encoderHeaders.constData()), int(encoderHeaders.size()))) {
            if (h264NalType(unit) == 7)
                config->sequenceSets.push_back(unit);
            else if (h264NalType(unit) == 8)
                config->pictureSets.push_back(unit);
        }
        record = config->serialize();
    }
    av_freep(&codec->extradata);
    codec->extradata_size = 0;
    codec->extradata = static_cast<uint8_t*>(av_mallocz(size_t(record.size()) + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!codec->extradata)
        return Outcome<void>::failure(problem.outOfMemory());
    std::memcpy(codec->extradata, record.constData(), size_t(record.size()));
    codec->extradata_size = int(record.size());
    return {};
}

Outcome<void> ClipMuxer::writeHeader(const AVDictionary* sourceMetadata, AVRational videoBase, int64_t moovReserve)
{
    Dictionary options;
    AVDictionary* raw = nullptr;
    if (mp4) {
        if (av_dict_get(sourceMetadata, "com.apple.", nullptr, AV_DICT_IGNORE_SUFFIX))
            av_dict_set(&raw, "movflags", "+use_metadata_tags", 0);
        // A picture shown before it is decoded (B-frames) gets a negative composition
        // offset, and the edit list starts at the first shown time. Stated instead as
        // an edit list that starts a few frames in, VLC drops the pictures decoded in
        // those frames: the first ones of a clip whose head is encoded again.
        av_dict_set(&raw, "movflags", "+negative_cts_offsets", AV_DICT_APPEND);
        // Decode times before the first shown time are the ordinary reordering delay;
        // the frames are not shifted for them.
        av_dict_set(&raw, "avoid_negative_ts", "disabled", 0);
        int64_t movieScale = videoBase.num == 1 ? videoBase.den : 0;
        while (movieScale > 0 && movieScale < 10000)
            movieScale *= 2;
        if (movieScale > 0 && movieScale <= std::numeric_limits<int>::max())
            av_dict_set_int(&raw, "movie_timescale", movieScale, 0);
        av_dict_set_int(&raw, "moov_size", moovReserve, 0);
    }
    const int status = avformat_write_header(output.get(), &raw);
    options.reset(raw);
    if (status < 0)
        return problem.fail(QCoreApplication::translate("StreamCopyCutter", "the clip could not be started"), status);
    if (mp4) {
        reserve = moovReserve;
        mediaStart = avio_tell(output->pb);
        reserveStart = mediaStart - moovReserve - MDAT_HEADER_BYTES;
    }
    waitingOf.assign(output->nb_streams, 0);
    lastWaitingAt.assign(output->nb_streams, -1);
    return {};
}

Outcome<void> ClipMuxer::write(AVPacket* packet)
{
    if (!source) {
        const int status = av_interleaved_write_frame(output.get(), packet);
        if (status < 0)
            return problem.fail(QCoreApplication::translate("StreamCopyCutter", "the clip could not be written"), status);
        return {};
    }
    if (const std::optional<int64_t> position = sourceBytesOf(packet))
        return queue(packet, *position);
    // Made here (a re-encoded frame): after what its stream still has waiting, and
    // before the rest.
    if (Outcome<void> drained = drain(packet->stream_index); !drained)
        return drained;
    const int status = av_write_frame(output.get(), packet);
    av_packet_unref(packet);
    if (status < 0)
        return problem.fail(QCoreApplication::translate("StreamCopyCutter", "the clip could not be written"), status);
    return {};
}

Outcome<void> ClipMuxer::writeCover(const AVPacket* picture, const AVStream* stream)
{
    Packet copy(av_packet_clone(picture));
    if (!copy)
        return Outcome<void>::failure(problem.outOfMemory());
    copy->stream_index = stream->index;
    copy->pts = copy->dts = 0;
    copy->pos = -1;
    // The writer keeps it for the movie box: no bytes of the media data.
    const int status = av_write_frame(output.get(), copy.get());
    if (status < 0)
        return problem.fail(QCoreApplication::translate("StreamCopyCutter", "the clip could not be written"), status);
    return {};
}

// The source's bytes go into the clip in the source's order: packets wait a while to be
// sorted by their place there, as each stream hands its packets over a little late.
Outcome<void> ClipMuxer::queue(AVPacket* packet, int64_t position)
{
    constexpr size_t SORTING_WINDOW = 4096;
    const auto stream = size_t(packet->stream_index);
    // A stream whose packets do not follow the file's order keeps its own order.
    if (waitingOf[stream] > 0 && position < lastWaitingAt[stream]) {
        if (Outcome<void> drained = drain(int(stream)); !drained)
            return drained;
    }
    Packet kept(av_packet_alloc());
    if (!kept || av_packet_copy_props(kept.get(), packet) < 0)
        return Outcome<void>::failure(problem.outOfMemory());
    kept->size = packet->size;
    kept->stream_index = packet->stream_index;
    av_packet_unref(packet);
    waiting.insert({position, arrivals++, std::move(kept)});
    ++waitingOf[stream];
    lastWaitingAt[stream] = position;
    while (waiting.size() > SORTING_WINDOW) {
        if (Outcome<void> written = writeWaiting(); !written)
            return written;
    }
    return {};
}

Outcome<void> ClipMuxer::drain(int stream)
{
    while (size_t(stream) < waitingOf.size() && waitingOf[size_t(stream)] > 0) {
        if (Outcome<void> written = writeWaiting(); !written)
            return written;
    }
    return {};
}

Outcome<void> ClipMuxer::pad(int64_t bytes)
{
    static constexpr std::array<uint8_t, RUN_ALIGNMENT> ZEROS{};
    avio_write(output->pb, ZEROS.data(), int(bytes));
    padded += bytes;
    return output->pb->error < 0
        ? problem.fail(QCoreApplication::translate("StreamCopyCutter", "the clip could not be written"), output->pb->error)
        : Outcome<void>();
}

Outcome<void> ClipMuxer::layoutFailed()
{
    runsBroken = true;
    return problem.fail(QCoreApplication::translate("StreamCopyCutter", "the clip could not be written"));
}

// The packet first in source order: a new run long enough to hold a whole block starts
// at its source offset within a block, and the writer is given zeros in its place,
// which the sink leaves out.
Outcome<void> ClipMuxer::writeWaiting()
{
    int64_t following = 0;
    int64_t end = waiting.begin()->position;
    for (auto it = waiting.begin(); it != waiting.end() && it->position == end && following < 2 * RUN_ALIGNMENT; ++it) {
        following += it->packet->size;
        end += it->packet->size;
    }
    Waiting next = std::move(waiting.extract(waiting.begin()).value());
    --waitingOf[size_t(next.packet->stream_index)];
    AVPacket* packet = next.packet.get();
    int64_t at = avio_tell(output->pb);
    if ((at != clipEnd || next.position != sourceEnd) && following >= 2 * RUN_ALIGNMENT) {
        const int64_t gap = ((next.position - at) % RUN_ALIGNMENT + RUN_ALIGNMENT) % RUN_ALIGNMENT;
        if (Outcome<void> aligned = pad(gap); !aligned)
            return aligned;
        at += gap;
    }
    if (!standIn || standIn->size < size_t(packet->size) + AV_INPUT_BUFFER_PADDING_SIZE) {
        av_buffer_unref(&standIn);
        standIn = av_buffer_allocz(size_t(packet->size) * 2 + AV_INPUT_BUFFER_PADDING_SIZE);
        if (!standIn)
            return Outcome<void>::failure(problem.outOfMemory());
    }
    packet->buf = av_buffer_ref(standIn);
    if (!packet->buf)
        return Outcome<void>::failure(problem.outOfMemory());
    packet->data = standIn->data;
    runs.add(at, next.position, packet->size);
    const int size = packet->size;
    const int status = av_write_frame(output.get(), packet);
    av_packet_unref(packet);
    if (status < 0)
        return problem.fail(QCoreApplication::translate("StreamCopyCutter", "the clip could not be written"), status);
    // The writer stored the packet as it was given, right here, or the clip is not what
    // its runs say.
    if (avio_tell(output->pb) != at + size)
        return layoutFailed();
    clipEnd = at + size;
    sourceEnd = next.position + size;
    return {};
}

// The media data's size counts the padding before runs, which the writer does not
// know of; then the runs are moved in.
Outcome<void> ClipMuxer::finishRuns()
{
    AVIOContext* pb = output->pb;
    avio_flush(pb);
    if (pb->error < 0)
        return problem.fail(QCoreApplication::translate("StreamCopyCutter", "the clip could not be saved"), pb->error);
    if (const int status = setMediaDataSize(); status < 0)
        return problem.fail(QCoreApplication::translate("StreamCopyCutter", "the clip could not be saved"), status);
    const int status = runs.transfer(*source, descriptor, &tally);
    if (status < 0)
        return problem.fail(QCoreApplication::translate("StreamCopyCutter", "the clip could not be saved"), status);
    qCDebug(lcMedia) << "runs:" << runs.runs().size() << "shared" << tally.shared << "kernel-copied"
                     << tally.kernelCopied << "copied" << tally.copied;
    return {};
}

// Finds the media data box among the file's first boxes and adds the padding before
// runs to the size the writer stated for it.
int ClipMuxer::setMediaDataSize() const
{
    int64_t at = 0;
    int64_t previous = -1; // the box before, which a 64-bit size may take over
    while (at < mediaStart) {
        std::array<uint8_t, 16> header{};
        if (::pread(descriptor, header.data(), header.size(), at) != ssize_t(header.size()))
            return AVERROR(EIO);
        int64_t size = AV_RB32(header.data());
        const bool wide = size == 1;
        if (wide)
            size = int64_t(AV_RB64(header.data() + 8));
        if (std::memcmp(header.data() + 4, "mdat", 4) == 0) {
            const int64_t length = size + padded;
            std::array<uint8_t, 16> stated{};
            if (wide) {
                AV_WB32(stated.data(), 1);
                std::memcpy(stated.data() + 4, "mdat", 4);
                AV_WB64(stated.data() + 8, uint64_t(length));
                return ::pwrite(descriptor, stated.data(), 16, at) == 16 ? 0 : AVERROR(EIO);
            }
            if (length <= int64_t(std::numeric_limits<uint32_t>::max())) {
                AV_WB32(stated.data(), uint32_t(length));
                return ::pwrite(descriptor, stated.data(), 4, at) == 4 ? 0 : AVERROR(EIO);
            }
            // Beyond 4 GiB with the padding: the 8-byte box before becomes the header.
            if (previous < 0 || at - previous != 8)
                return AVERROR(EINVAL);
            AV_WB32(stated.data(), 1);
            std::memcpy(stated.data() + 4, "mdat", 4);
            AV_WB64(stated.data() + 8, uint64_t(length + 8));
            return ::pwrite(descriptor, stated.data(), 16, previous) == 16 ? 0 : AVERROR(EIO);
        }
        if (size < 8)
            return AVERROR(EINVAL);
        previous = at;
        at += size;
    }
    return AVERROR(EINVAL);
}

Outcome<ClipMuxer::Ending> ClipMuxer::finish()
{
    if (source) {
        while (!waiting.empty()) {
            if (Outcome<void> written = writeWaiting(); !written)
                return runsBroken ? Outcome<Ending>(Ending::WithoutRuns) : Outcome<Ending>::failure(written.error());
        }
    }
    int status = av_write_trailer(output.get());
    // The MP4 writer refuses a movie box that does not fit the room kept for it after
    // writing it there: then the file's position is past that room's end.
    if (status == AVERROR(EINVAL) && mp4 && reserveStart >= 0 && avio_tell(output->pb) - reserveStart > reserve - 8)
        return Ending::NeedsMoreRoom;
    if (status < 0)
        return problem.fail<Ending>(
            QCoreApplication::translate("StreamCopyCutter", "the clip could not be finished"), status);
    if (source) {
        if (Outcome<void> moved = finishRuns(); !moved)
            return Outcome<Ending>::failure(moved.error());
    }
    status = closeDescriptorWriter(&output->pb);
    if (status < 0)
        return problem.fail<Ending>(
            QCoreApplication::translate("StreamCopyCutter", "the clip could not be saved"), status);
    return Ending::Finished;
}
