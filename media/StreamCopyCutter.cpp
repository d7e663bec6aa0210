#include "StreamCopyCutter.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <sys/stat.h>

extern "C" {
#include <libavutil/mathematics.h>
#include <libavutil/timecode.h>
}

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "ClipPlan.h"
#include "FfmpegSupport.h"
#include "FileNames.h"
#include "FrameReencoder.h"
#include "MediaLog.h"
#include "ParameterSets.h"

namespace {

constexpr int64_t NO_TIME = AV_NOPTS_VALUE;
constexpr int64_t LATEST = std::numeric_limits<int64_t>::max();
constexpr AVRational MICROSECONDS{1, AV_TIME_BASE};
// How far before the clip's first packet the demuxer is sent, for the sound that
// starts with it.
constexpr double SEEK_MARGIN_SECONDS = 0.5;
// Further back with subtitles, for a line shown across the clip's start.
constexpr double SUBTITLE_MARGIN_SECONDS = 10.0;
// HEVC end of sequence: the picture after it starts afresh, with its own parameter sets.
const QByteArray HEVC_END_OF_SEQUENCE("\x48\x01", 2);

// One clip at a time encodes: an encoder and its decoder for a large picture take more
// memory than everything else together, and each already uses every core. The other
// cuts copy meanwhile, so encoding overlaps copying across clips.
std::mutex encodingTurn;

struct Container {
    QString muxer;
    QString extension;
};

// A step of a cut that failed, and why, in the user's terms.
Outcome<void> fault(QString why)
{
    return Outcome<void>::failure(std::move(why));
}

bool isMovFamily(const AVInputFormat* format)
{
    return std::strstr(format->name, "mov") || std::strstr(format->name, "mp4");
}

// The source's own container where we can write it; MP4 for others.
Container chooseContainer(const AVFormatContext* input, const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (isMovFamily(input->iformat) && (suffix == QLatin1String("mp4") || suffix == QLatin1String("m4v")
                                        || suffix == QLatin1String("mov")))
        return {suffix == QLatin1String("mov") ? QStringLiteral("mov") : QStringLiteral("mp4"), suffix};
    if (std::strstr(input->iformat->name, "matroska")) {
        if (suffix == QLatin1String("webm"))
            return {QStringLiteral("webm"), suffix};
        return {QStringLiteral("matroska"), QStringLiteral("mkv")};
    }
    return {QStringLiteral("mp4"), QStringLiteral("mp4")};
}

// What tells that a file was changed: its size and the time of its last change, read
// by its real name (QFileInfo would read another file for a name that is not UTF-8).
struct SourceStamp {
    qint64 size = -1; // -1: gone
    qint64 modified = 0; // nanoseconds
    bool operator==(const SourceStamp&) const = default;
};

SourceStamp stampOf(const QString& path)
{
    struct stat info {};
    if (::stat(fileNameBytes(path).constData(), &info) != 0)
        return {};
    return {qint64(info.st_size), qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

enum class Role { Picture, OtherPicture, Sound, Text };

// One source stream that goes into the clip, with what the copy needs to know of it.
struct CopiedStream {
    int input = -1;
    Role role = Role::Sound;
    AVStream* output = nullptr;
    int64_t clipStart = 0;    // the clip's first picture, in this stream's time base
    int64_t origin = 0;       // the clip's time 0: its first picture, or in the first clip the source's start
    int64_t clipEnd = LATEST; // the first picture after the clip
    bool fromTop = false;     // the first clip: sound before the first picture belongs to it
    bool started = false;
    bool done = false;
    // Packets go out one step late, so that a packet without a duration (as the MP4
    // demuxer hands out for some variable-rate files) can take it from the next one.
    Packet held;
    int64_t lastStep = 0;
};

// The main picture's course through one writing pass.
struct VideoPass {
    enum class Stage { Waiting, Head, Copy, Finished };
    Stage stage = Stage::Waiting;
    std::unique_lock<std::mutex> turn{encodingTurn, std::defer_lock}; // held while an encoder is open
    std::unique_ptr<FrameReencoder> head;
    std::unique_ptr<FrameReencoder> tail;
    bool tailFeeding = false;
    int64_t delay = 0;            // decode before show, of the copied frames
    int64_t lastDts = NO_TIME;    // of the last packet sent, in the source's time base
    int64_t lastShownEnd = NO_TIME;
    bool reachedEnd = false;      // a frame at or after the clip's end was read
    int sourceFrames = 0;         // frames of the clip's range that the source delivered
    int copied = 0;
    int encoded = 0;
};

enum class WriteOutcome { Written, NeedsMoreRoom, Failed };

struct Attempt {
    WriteOutcome outcome = WriteOutcome::Failed;
    QString error;
};

class ClipJob {
public:
    ClipJob(QString sourcePath, double start, double end, CutOutput output, CutMode cutMode, CancelToken cancelled)
        : source(std::move(sourcePath))
        , startTime(start)
        , endTime(end)
        , outputFolder(std::move(output.folder))
        , outputDescriptor(output.descriptor)
        , mode(cutMode)
        , cancel(std::move(cancelled))
    {
    }

    CutResult run();

private:
    QString problem(const QString& what) const
    {
        return cutProblem(displayName(source), what);
    }
    QString outOfMemory() const
    {
        return problem(QCoreApplication::translate("StreamCopyCutter", "there is not enough memory."));
    }
    QString ffmpegProblem(const QString& what, int error) const
    {
        if (error == AVERROR(ENOSPC))
            return problem(QCoreApplication::translate("StreamCopyCutter", "there is not enough space in '%1'.")
                               .arg(QDir::toNativeSeparators(outputFolder)));
        return problem(QStringLiteral("%1 (%2).").arg(what, ffmpegErrorText(error)));
    }

    Outcome<void> mapStreams(const AVOutputFormat* container);
    int64_t movieReserve() const;
    Attempt write(int64_t moovReserve);
    Outcome<void> openOutput(OutputFormat& output) const;
    Outcome<void> addStreams(AVFormatContext* output);
    Outcome<void> setVideoHeaders(AVStream* stream);
    Attempt writeHeader(AVFormatContext* output, int64_t moovReserve);
    bool position();
    Outcome<void> openReencoders();
    Outcome<void> openReencoder(int64_t from, int64_t until, std::unique_ptr<FrameReencoder>& into);
    Outcome<void> copyPackets(AVFormatContext* output);
    Outcome<void> takeVideo(AVFormatContext* output, Packet packet);
    void takeOther(AVFormatContext* output, CopiedStream& stream, Packet packet);
    Outcome<void> closeEncoder(AVFormatContext* output, std::unique_ptr<FrameReencoder>& encoder, bool afterCopy);
    Outcome<void> finishHead(AVFormatContext* output);
    void sendCopied(AVFormatContext* output, Packet packet);
    Outcome<void> finishVideo(AVFormatContext* output);
    Outcome<void> writeEncoded(AVFormatContext* output, FrameReencoder& encoder, bool afterCopy);
    void send(AVFormatContext* output, CopiedStream& stream, Packet packet);
    void flushHeld(AVFormatContext* output);
    Outcome<void> checkComplete() const;
    bool sourceChanged() const;
    int64_t videoStart() const
    {
        const AVStream* stream = input->streams[picture->input];
        return stream->start_time != NO_TIME ? stream->start_time : 0;
    }

    QString source;
    double startTime;
    double endTime;
    QString outputFolder;
    int outputDescriptor; // the caller's: written through, never opened by name
    CutMode mode;
    CancelToken cancel; // outlives every input the job opens

    InputFormat input;
    ClipPlan plan;
    Container container;
    std::vector<CopiedStream> streams;
    CopiedStream* picture = nullptr;
    AVRational videoBase{1, 1};
    int parameterSetId = 0;
    QByteArray encoderHeaders;
    VideoPass video;
    std::vector<Packet> copiedBeforeHeadEnds;
    int writeStatus = 0;
    SourceStamp sourceStamp;
};

CutResult ClipJob::run()
{
    sourceStamp = stampOf(source);
    Outcome<std::unique_ptr<ClipPlanner>> planner = ClipPlanner::open(source, &cancel);
    if (!planner)
        return CutResult::failed(planner.error());
    QString error;
    input = openInput(source, &error, &cancel);
    if (!input)
        return CutResult::failed(error);
    container = chooseContainer(input.get(), source);
    const AVOutputFormat* format = av_guess_format(container.muxer.toLatin1().constData(), nullptr, nullptr);
    if (!format)
        return CutResult::failed(
            problem(QCoreApplication::translate("StreamCopyCutter", "this FFmpeg cannot write %1 files.")
                        .arg(container.muxer)));
    if (const Outcome<void> refused = mapStreams(format); !refused)
        return CutResult::failed(refused.error());
    picture = &*std::find_if(streams.begin(), streams.end(), [](const CopiedStream& s) { return s.role == Role::Picture; });

    const AVStream* videoStream = input->streams[picture->input];
    // Opening the file decodes its first pictures to learn their format. When none
    // could be decoded (a chunk that runs past the end of the file, say), an exact cut,
    // which checks and encodes pictures, would fail later for a reason that is not it.
    if (mode == CutMode::Exact && videoStream->codecpar->format == AV_PIX_FMT_NONE)
        return CutResult::failed(problem(
            QCoreApplication::translate("StreamCopyCutter", "some of its pictures cannot be read; the file is damaged.")));
    videoBase = videoStream->time_base;
    const PlanResult planned = planner.value()->plan(startTime, endTime, mode,
                                                     FrameReencoder::supports(videoStream->codecpar));
    if (planned.kind == PlanResult::Kind::Failed)
        return CutResult::failed(planned.error);
    if (planned.kind == PlanResult::Kind::Empty)
        return CutResult::empty();
    plan = planned.plan;
    planner.value().reset();

    int64_t reserve = movieReserve();
    for (int attempt = 0; attempt < 3; ++attempt) {
        const Attempt result = write(reserve);
        if (result.outcome == WriteOutcome::Written)
            return CutResult::written(container.extension);
        if (result.outcome == WriteOutcome::Failed)
            return CutResult::failed(result.error);
        reserve *= 4;
    }
    return CutResult::failed(problem(
        QCoreApplication::translate("StreamCopyCutter", "the clip's index does not fit at the front of the file.")));
}

// Chooses the streams that go into the clip. An MP4 takes only what it can carry;
// cover pictures, data and foreign subtitle tracks stay behind.
Outcome<void> ClipJob::mapStreams(const AVOutputFormat* format)
{
    const int best = bestVideoStream(input.get());
    if (best < 0)
        return fault(problem(QCoreApplication::translate("StreamCopyCutter", "it has no video track.")));
    streams.clear();
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream* stream = input->streams[i];
        const AVCodecParameters* codec = stream->codecpar;
        const bool isPicture = codec->codec_type == AVMEDIA_TYPE_VIDEO && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC);
        const bool isSound = codec->codec_type == AVMEDIA_TYPE_AUDIO;
        const bool isText = codec->codec_type == AVMEDIA_TYPE_SUBTITLE;
        if (!isPicture && !isSound && !isText)
            continue;
        if (avformat_query_codec(format, codec->codec_id, FF_COMPLIANCE_NORMAL) != 1) {
            if (isText)
                continue;
            return fault(problem(
                QCoreApplication::translate("StreamCopyCutter", "its %1 format (%2) cannot be stored in an %3 file.")
                    .arg(isPicture ? QCoreApplication::translate("StreamCopyCutter", "video")
                                   : QCoreApplication::translate("StreamCopyCutter", "sound"),
                        QString::fromUtf8(avcodec_get_name(codec->codec_id)), container.muxer.toUpper())));
        }
        CopiedStream copied;
        copied.input = int(i);
        copied.role = int(i) == best ? Role::Picture
            : isPicture              ? Role::OtherPicture
            : isSound                ? Role::Sound
                                     : Role::Text;
        streams.push_back(std::move(copied));
    }
    return {};
}

// Room for the movie box at the front, so that the muxer never has to rewrite the file
// to move it there: about 20 bytes of index per frame and sound packet, from the
// streams' own rates. Too little room is retried with more.
int64_t ClipJob::movieReserve() const
{
    double seconds = 3600.0;
    if (std::isfinite(endTime))
        seconds = std::max(0.0, endTime - startTime);
    else if (input->duration > 0)
        seconds = std::max(0.0, double(input->duration) / AV_TIME_BASE - startTime);
    double samplesPerSecond = 0.0;
    for (const CopiedStream& copied : streams) {
        const AVStream* stream = input->streams[copied.input];
        const AVCodecParameters* codec = stream->codecpar;
        if (codec->codec_type == AVMEDIA_TYPE_VIDEO && stream->avg_frame_rate.num > 0 && stream->avg_frame_rate.den > 0)
            samplesPerSecond += av_q2d(stream->avg_frame_rate);
        else if (codec->codec_type == AVMEDIA_TYPE_AUDIO && codec->sample_rate > 0)
            samplesPerSecond += double(codec->sample_rate) / (codec->frame_size > 0 ? codec->frame_size : 1024);
        else
            samplesPerSecond += 60.0;
    }
    const double estimate = 8192.0 + 20.0 * samplesPerSecond * (seconds + 2.0);
    return int64_t(std::min(estimate, 256.0 * 1024 * 1024));
}

// The muxer, writing the clip's file through the descriptor it was given (emptied
// first, for a second attempt).
Outcome<void> ClipJob::openOutput(OutputFormat& output) const
{
    AVFormatContext* raw = nullptr;
    int status = avformat_alloc_output_context2(&raw, nullptr, container.muxer.toLatin1().constData(), nullptr);
    if (status < 0)
        return fault(
            ffmpegProblem(QCoreApplication::translate("StreamCopyCutter", "the clip could not be set up"), status));
    output.reset(raw);
    errno = 0;
    output->pb = openDescriptorWriter(outputDescriptor);
    if (!output->pb)
        return fault(ffmpegProblem(QCoreApplication::translate("StreamCopyCutter", "the clip could not be created"),
                             AVERROR(errno ? errno : ENOMEM)));
    output->flags |= AVFMT_FLAG_CUSTOM_IO;
    return {};
}

Attempt ClipJob::write(int64_t moovReserve)
{
    // The file is the caller's: a failed attempt leaves it for the caller to drop, and
    // the next attempt truncates it.
    auto fail = [](const QString& message) { return Attempt{WriteOutcome::Failed, message}; };
    video = VideoPass{};
    writeStatus = 0;
    if (const Outcome<void> error = openReencoders(); !error)
        return fail(error.error());
    OutputFormat output;
    if (const Outcome<void> error = openOutput(output); !error)
        return fail(error.error());
    if (const Outcome<void> error = addStreams(output.get()); !error)
        return fail(error.error());
    const Attempt header = writeHeader(output.get(), moovReserve);
    if (header.outcome == WriteOutcome::Failed)
        return fail(header.error);
    if (!position())
        return fail(problem(QCoreApplication::translate("StreamCopyCutter", "the video could not be read again.")));
    if (const Outcome<void> error = copyPackets(output.get()); !error)
        return fail(error.error());
    if (writeStatus < 0)
        return fail(ffmpegProblem(
            QCoreApplication::translate("StreamCopyCutter", "the clip could not be written"), writeStatus));

    int status = av_write_trailer(output.get());
    if (status == AVERROR(EINVAL) && container.muxer != QLatin1String("matroska") && container.muxer != QLatin1String("webm")) {
        // The muxer found the room reserved for the movie box too small.
        output.reset();
        return {WriteOutcome::NeedsMoreRoom, {}};
    }
    if (status < 0)
        return fail(
            ffmpegProblem(QCoreApplication::translate("StreamCopyCutter", "the clip could not be finished"), status));
    status = closeDescriptorWriter(&output->pb);
    if (status < 0)
        return fail(
            ffmpegProblem(QCoreApplication::translate("StreamCopyCutter", "the clip could not be saved"), status));
    return {WriteOutcome::Written, {}};
}

// An H.264 SPS/PPS id the source does not use, for the frames we encode.
int unusedParameterSetId(const AVCodecParameters* codec)
{
    std::vector<bool> used(32, false);
    const std::optional<AvcConfig> config = AvcConfig::parse(
        QByteArray::fromRawData(reinterpret_cast<const char*>(codec->extradata), codec->extradata_size));
    if (config) {
        for (const auto* sets : {&config->sequenceSets, &config->pictureSets}) {
            for (const QByteArray& set : *sets) {
                if (const std::optional<int> id = h264ParameterSetId(set); id && *id < 32)
                    used[size_t(*id)] = true;
            }
        }
    }
    const auto free = std::find(used.begin() + 1, used.end(), false);
    return free == used.end() ? 31 : int(free - used.begin());
}

Outcome<void> ClipJob::openReencoder(int64_t from, int64_t until, std::unique_ptr<FrameReencoder>& into)
{
    if (!video.turn.owns_lock())
        video.turn.lock();
    Outcome<std::unique_ptr<FrameReencoder>> encoder
        = FrameReencoder::open(input->streams[picture->input], parameterSetId, displayName(source));
    if (!encoder)
        return fault(encoder.error());
    into = std::move(encoder.value());
    into->setRange(from, until);
    // Head and tail share one set of parameter sets in the sample description.
    if (!encoderHeaders.isEmpty() && into->headers() != encoderHeaders)
        return fault(problem(QCoreApplication::translate(
            "StreamCopyCutter", "the encoder described the frames at the two ends differently.")));
    encoderHeaders = into->headers();
    return {};
}

// Opens the head's encoder; the tail's is opened when the tail is reached. The
// parameter sets, which the file's header carries, are known from the start either way.
Outcome<void> ClipJob::openReencoders()
{
    encoderHeaders.clear();
    if (!plan.reencodes())
        return {};
    parameterSetId = unusedParameterSetId(input->streams[picture->input]->codecpar);
    const int64_t until = plan.copyKey ? plan.copyKey->pts : plan.endPts.value_or(LATEST);
    std::unique_ptr<FrameReencoder> probe;
    if (const Outcome<void> error = openReencoder(plan.firstPts, until, plan.hasHead() ? video.head : probe); !error)
        return error;
    if (probe) {
        probe.reset();
        video.turn.unlock();
    }
    return {};
}

// The source's metadata, with what describes the old file dropped and the times moved
// to the clip's start: galleries sort clips by their creation time, and a timecode
// names the clip's first frame.
void copyMetadata(const AVDictionary* from, AVDictionary** to, double clipStart, AVRational frameRate)
{
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = av_dict_get(from, "", entry, AV_DICT_IGNORE_SUFFIX))) {
        const QByteArray key(entry->key);
        if (key == "major_brand" || key == "minor_version" || key == "compatible_brands" || key == "encoder")
            continue;
        QByteArray value(entry->value);
        if (key == "creation_time") {
            QDateTime time = QDateTime::fromString(QString::fromLatin1(value), Qt::ISODateWithMs);
            if (time.isValid())
                value = time.addMSecs(qint64(std::llround(clipStart * 1000))).toUTC()
                            .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz000Z")).toLatin1();
        } else if (key == "timecode" && frameRate.num > 0) {
            AVTimecode timecode{};
            if (av_timecode_init_from_string(&timecode, frameRate, value.constData(), nullptr) == 0) {
                std::array<char, AV_TIMECODE_STR_SIZE> text{};
                const auto frames = int(std::llround(clipStart * av_q2d(frameRate)));
                value = av_timecode_make_string(&timecode, text.data(), frames);
            }
        }
        av_dict_set(to, entry->key, value.constData(), 0);
    }
}

Outcome<void> ClipJob::addStreams(AVFormatContext* output)
{
    const double clipStart = double(plan.firstPts - (input->streams[picture->input]->start_time != NO_TIME
                                                         ? input->streams[picture->input]->start_time : 0))
        * av_q2d(videoBase);
    const AVRational frameRate = input->streams[picture->input]->avg_frame_rate;
    copyMetadata(input->metadata, &output->metadata, clipStart, frameRate);
    // The first clip starts where the source does: sound before the first picture is
    // played, and the picture starts that much later (an empty edit in MP4), rather
    // than the sound being hidden behind an edit list that starts at the picture.
    int64_t lead = 0;
    if (startTime <= 0.0) {
        for (const CopiedStream& copied : streams) {
            const AVStream* from = input->streams[copied.input];
            if (copied.role != Role::Picture && from->start_time != NO_TIME)
                lead = std::max(lead, plan.firstPts - av_rescale_q(from->start_time, from->time_base, videoBase));
        }
    }
    for (CopiedStream& copied : streams) {
        const AVStream* from = input->streams[copied.input];
        AVStream* to = avformat_new_stream(output, nullptr);
        if (!to || avcodec_parameters_copy(to->codecpar, from->codecpar) < 0)
            return fault(problem(QCoreApplication::translate("StreamCopyCutter", "out of memory.")));
        // Keep the source's tag where the container knows it for this codec: "hvc1"
        // must not turn into "hev1", which some players refuse.
        unsigned tag = from->codecpar->codec_tag;
        unsigned known = 0;
        if (!output->oformat->codec_tag || (av_codec_get_id(output->oformat->codec_tag, tag) != from->codecpar->codec_id
                                            && av_codec_get_tag2(output->oformat->codec_tag, from->codecpar->codec_id, &known)))
            tag = 0;
        to->codecpar->codec_tag = tag;
        to->time_base = from->time_base;
        to->disposition = from->disposition;
        to->avg_frame_rate = from->avg_frame_rate;
        to->sample_aspect_ratio = from->sample_aspect_ratio;
        copyMetadata(from->metadata, &to->metadata, clipStart, frameRate);
        // The display matrix (rotation), HDR and stereo information live here.
        for (int s = 0; s < from->nb_side_data; ++s) {
            const AVPacketSideData& data = from->side_data[s];
            uint8_t* copy = av_stream_new_side_data(to, data.type, data.size);
            if (!copy)
                return fault(problem(QCoreApplication::translate("StreamCopyCutter", "out of memory.")));
            std::memcpy(copy, data.data, data.size);
        }
        copied.output = to;
        copied.clipStart = av_rescale_q(plan.firstPts, videoBase, from->time_base);
        copied.origin = av_rescale_q(plan.firstPts - lead, videoBase, from->time_base);
        copied.clipEnd = plan.endPts ? av_rescale_q(*plan.endPts, videoBase, from->time_base) : LATEST;
        copied.fromTop = startTime <= 0.0;
        copied.started = copied.done = false;
        copied.held.reset();
        copied.lastStep = 0;
        if (copied.role == Role::Picture && !encoderHeaders.isEmpty()) {
            if (const Outcome<void> error = setVideoHeaders(to); !error)
                return error;
        }
    }
    return {};
}

// H.264: the sample description carries the source's parameter sets and ours side by
// side, told apart by their ids. HEVC keeps the source's; ours travel in the stream.
// A source framed with start codes (MPEG-TS) states its sets the same way, and the
// MP4 writer builds the record from both.
Outcome<void> ClipJob::setVideoHeaders(AVStream* stream)
{
    AVCodecParameters* codec = stream->codecpar;
    if (codec->codec_id != AV_CODEC_ID_H264)
        return {};
    const QByteArray sourceSets = QByteArray(reinterpret_cast<const char*>(codec->extradata), codec->extradata_size);
    QByteArray record;
    if (FrameReencoder::unitFraming(codec) == 0) {
        record = sourceSets + encoderHeaders;
    } else {
        std::optional<AvcConfig> config = AvcConfig::parse(sourceSets);
        if (!config)
            return fault(problem(QCoreApplication::translate(
                "StreamCopyCutter", "its H.264 video has no decoder configuration that can be extended.")));
        for (const QByteArray& unit : annexBNalUnits(reinterpret_cast<const uint8_t*>(encoderHeaders.constData()),
                                                     int(encoderHeaders.size()))) {
            if (h264NalType(unit) == 7)
                config->sequenceSets.push_back(unit);
            else if (h264NalType(unit) == 8)
                config->pictureSets.push_back(unit);
        }
        record = config->serialize();
    }
    av_freep(&codec->extradata);
    codec->extradata = static_cast<uint8_t*>(av_mallocz(size_t(record.size()) + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!codec->extradata)
        return fault(problem(QCoreApplication::translate("StreamCopyCutter", "out of memory.")));
    std::memcpy(codec->extradata, record.constData(), size_t(record.size()));
    codec->extradata_size = int(record.size());
    return {};
}

Attempt ClipJob::writeHeader(AVFormatContext* output, int64_t moovReserve)
{
    AVDictionary* raw = nullptr;
    const bool mp4 = container.muxer == QLatin1String("mp4") || container.muxer == QLatin1String("mov");
    if (mp4) {
        bool appleKeys = false;
        const AVDictionaryEntry* entry = nullptr;
        while ((entry = av_dict_get(input->metadata, "com.apple.", entry, AV_DICT_IGNORE_SUFFIX)))
            appleKeys = true;
        if (appleKeys)
            av_dict_set(&raw, "movflags", "+use_metadata_tags", 0);
        // Decode times before the first shown time are the ordinary reordering delay;
        // the muxer states it in the edit list instead of shifting the frames.
        av_dict_set(&raw, "avoid_negative_ts", "disabled", 0);
        int64_t movieScale = videoBase.num == 1 ? videoBase.den : 0;
        while (movieScale > 0 && movieScale < 10000)
            movieScale *= 2;
        if (movieScale > 0 && movieScale <= std::numeric_limits<int>::max())
            av_dict_set_int(&raw, "movie_timescale", movieScale, 0);
        av_dict_set_int(&raw, "moov_size", moovReserve, 0);
    }
    Dictionary options(raw);
    raw = options.release();
    const int status = avformat_write_header(output, &raw);
    options.reset(raw);
    if (status < 0)
        return {WriteOutcome::Failed,
            ffmpegProblem(QCoreApplication::translate("StreamCopyCutter", "the clip could not be started"), status)};
    return {WriteOutcome::Written, {}};
}

// Puts the demuxer before the first packet any stream of the clip needs.
bool ClipJob::position()
{
    auto discardOthers = [this] {
        for (unsigned i = 0; i < input->nb_streams; ++i)
            input->streams[i]->discard = AVDISCARD_ALL;
        for (const CopiedStream& copied : streams)
            input->streams[copied.input]->discard = AVDISCARD_DEFAULT;
    };
    discardOthers();
    const bool subtitles
        = std::any_of(streams.begin(), streams.end(), [](const CopiedStream& copied) { return copied.role == Role::Text; });
    const double margin = subtitles ? SUBTITLE_MARGIN_SECONDS : SEEK_MARGIN_SECONDS;
    const int64_t earliest = std::min(plan.openKey.dts, plan.firstPts)
        - av_rescale_q(int64_t(margin * AV_TIME_BASE), MICROSECONDS, videoBase);
    const int64_t fileStart = input->start_time != NO_TIME ? av_rescale_q(input->start_time, MICROSECONDS, videoBase) : 0;
    // The MP4 demuxer places the other streams at the time of the video sample it
    // seeks to, which skips sound packets before the first picture (the encoder's
    // priming); for the first clip, reopening is the only exact start.
    if (startTime > 0.0 && earliest > fileStart && seekToKeyBefore(input.get(), picture->input, earliest, plan.openKey.dts))
        return true;
    QString error;
    input = openInput(source, &error, &cancel);
    if (!input)
        return false;
    discardOthers();
    return true;
}

// A packet with NAL units added before and after its own, in the stream's framing.
Packet withUnits(const AVPacket* packet, const std::vector<QByteArray>& before, const std::vector<QByteArray>& after,
                 int lengthSize)
{
    const QByteArray framed = lengthPrefixed(before, lengthSize)
        + QByteArray::fromRawData(reinterpret_cast<const char*>(packet->data), packet->size)
        + lengthPrefixed(after, lengthSize);
    Packet out(av_packet_alloc());
    if (!out || av_new_packet(out.get(), int(framed.size())) < 0 || av_packet_copy_props(out.get(), packet) < 0)
        return nullptr; // out of memory
    std::memcpy(out->data, framed.constData(), size_t(framed.size()));
    out->stream_index = packet->stream_index;
    return out;
}

int hevcLengthSize(const AVCodecParameters* codec)
{
    return FrameReencoder::unitFraming(codec).value_or(4);
}

std::vector<QByteArray> hevcSourceParameterSets(const AVCodecParameters* codec)
{
    if (FrameReencoder::unitFraming(codec) == 0)
        return annexBNalUnits(codec->extradata, codec->extradata_size);
    const std::optional<HevcConfig> config = HevcConfig::parse(
        QByteArray::fromRawData(reinterpret_cast<const char*>(codec->extradata), codec->extradata_size));
    return config ? config->parameterSets : std::vector<QByteArray>{};
}

// A frame's usual length, for a packet that states none and has no next one to
// take it from (a clip of one frame).
int64_t typicalStep(const AVStream* stream)
{
    const AVCodecParameters* codec = stream->codecpar;
    AVRational step{0, 1};
    if (codec->codec_type == AVMEDIA_TYPE_VIDEO && stream->avg_frame_rate.num > 0 && stream->avg_frame_rate.den > 0)
        step = av_inv_q(stream->avg_frame_rate);
    else if (codec->codec_type == AVMEDIA_TYPE_AUDIO && codec->sample_rate > 0)
        step = AVRational{codec->frame_size > 0 ? codec->frame_size : 1024, codec->sample_rate};
    return std::max<int64_t>(1, av_rescale_q(1, step, stream->time_base));
}

// Writes one packet on the clip's timeline (its first picture at 0).
void ClipJob::send(AVFormatContext* output, CopiedStream& stream, Packet packet)
{
    if (packet) {
        if (packet->pts != NO_TIME)
            packet->pts -= stream.origin;
        if (packet->dts != NO_TIME)
            packet->dts -= stream.origin;
        packet->flags &= ~AV_PKT_FLAG_DISCARD;
    }
    Packet& held = stream.held;
    if (held) {
        if (held->duration <= 0 && packet && held->dts != NO_TIME && packet->dts != NO_TIME)
            held->duration = packet->dts - held->dts;
        if (held->duration <= 0)
            held->duration = stream.lastStep > 0 ? stream.lastStep : typicalStep(input->streams[stream.input]);
        stream.lastStep = held->duration;
        held->stream_index = stream.output->index;
        av_packet_rescale_ts(held.get(), input->streams[stream.input]->time_base, stream.output->time_base);
        held->pos = -1;
        // The muxer takes the packet's data; the packet itself stays ours.
        if (writeStatus >= 0)
            writeStatus = av_interleaved_write_frame(output, held.get());
    }
    held = std::move(packet);
}

void ClipJob::flushHeld(AVFormatContext* output)
{
    for (CopiedStream& stream : streams) {
        if (stream.held)
            send(output, stream, nullptr);
    }
}

// Sound, text and further picture tracks: each packet goes into the clip its time
// falls in, so neighbouring clips share none and miss none.
void ClipJob::takeOther(AVFormatContext* output, CopiedStream& stream, Packet packet)
{
    const AVCodecParameters* codec = input->streams[stream.input]->codecpar;
    const int64_t pts = packet->pts != NO_TIME ? packet->pts : packet->dts;
    if (pts == NO_TIME)
        return;
    if (packet->duration <= 0 && codec->frame_size > 0 && codec->sample_rate > 0)
        packet->duration = av_rescale_q(codec->frame_size, AVRational{1, codec->sample_rate},
                                        input->streams[stream.input]->time_base);
    if (pts >= stream.clipEnd) {
        stream.done = true;
        return;
    }
    if (stream.role == Role::OtherPicture) {
        // Another angle: from its first keyframe in the clip.
        stream.started = stream.started || ((packet->flags & AV_PKT_FLAG_KEY) && pts >= stream.clipStart);
        if (!stream.started)
            return;
    } else if (pts < stream.clipStart && !stream.fromTop) {
        // A subtitle line shown across the split: this clip shows the rest of it.
        if (stream.role != Role::Text || packet->duration <= 0 || pts + packet->duration <= stream.clipStart)
            return;
        packet->duration -= stream.clipStart - pts;
        packet->pts = packet->dts = stream.clipStart;
    }
    // and the clip before shows it up to its end, not beyond.
    if (stream.role == Role::Text && packet->duration > 0 && stream.clipEnd != LATEST
        && packet->pts + packet->duration > stream.clipEnd)
        packet->duration = stream.clipEnd - packet->pts;
    send(output, stream, std::move(packet));
}

Outcome<void> ClipJob::takeVideo(AVFormatContext* output, Packet packet)
{
    using Stage = VideoPass::Stage;
    const int64_t pts = packet->pts;
    const int64_t dts = packet->dts != NO_TIME ? packet->dts : pts;
    const bool key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
    const int64_t end = plan.endPts.value_or(LATEST);
    if (video.stage == Stage::Finished)
        return {};
    if (video.stage == Stage::Waiting) {
        if (!key || (pts != plan.openKey.pts && dts <= plan.openKey.dts))
            return {};
        video.stage = plan.hasHead() ? Stage::Head : Stage::Copy;
    }
    if (pts >= end)
        video.reachedEnd = true;
    // Nothing decoded from here on is shown before the end.
    if (dts >= end)
        return finishVideo(output);
    if (pts >= plan.firstPts && pts < end)
        ++video.sourceFrames;
    if (packet->duration > 0)
        video.lastShownEnd = std::max(video.lastShownEnd, pts + packet->duration);
    if (plan.copyKey && key && pts == plan.copyKey->pts) {
        video.stage = Stage::Copy;
        video.delay = std::max<int64_t>(0, pts - dts);
        if (!plan.hasHead() && !FrameReencoder::decodesAlone(input->streams[picture->input], packet.get()))
            return fault(problem(QCoreApplication::translate(
                "StreamCopyCutter", "its keyframe at %1 s cannot be decoded; the file is damaged.")
                               .arg(double(pts - videoStart()) * av_q2d(videoBase), 0, 'f', 2)));
    }
    // The head's decoder also takes the pictures shown before the copy's first
    // keyframe that are decoded after it (HEVC leading pictures), and that keyframe.
    const bool headNeedsIt = video.stage == Stage::Head || (plan.dropLeading && dts < plan.copyKey->pts);
    QString error;
    if (video.head && headNeedsIt) {
        if (!video.head->decode(packet.get(), &error))
            return fault(error);
    } else if (video.head) {
        if (const Outcome<void> failed = finishHead(output); !failed)
            return failed;
    }
    if (video.stage != Stage::Copy)
        return {};
    if (plan.hasTail() && !video.tailFeeding && key && pts == plan.tailKey->pts) {
        if (const Outcome<void> failed = openReencoder(plan.copyUntil, *plan.endPts, video.tail); !failed)
            return failed;
        video.tailFeeding = true;
    }
    if (video.tailFeeding && !video.tail->decode(packet.get(), &error))
        return fault(error);
    if (pts < plan.copyKey->pts || pts >= plan.copyUntil)
        return {}; // encoded in the head or the tail
    const AVCodecParameters* codec = input->streams[picture->input]->codecpar;
    if (plan.hasHead() && codec->codec_id == AV_CODEC_ID_HEVC && pts == plan.copyKey->pts)
        packet = withUnits(packet.get(), hevcSourceParameterSets(codec), {}, hevcLengthSize(codec));
    if (!packet)
        return fault(outOfMemory());
    if (video.head)
        copiedBeforeHeadEnds.push_back(std::move(packet));
    else
        sendCopied(output, std::move(packet));
    return {};
}

void ClipJob::sendCopied(AVFormatContext* output, Packet packet)
{
    video.lastDts = packet->dts != NO_TIME ? packet->dts : packet->pts;
    ++video.copied;
    send(output, *picture, std::move(packet));
}

// Writes what an encoder still holds and closes it; the turn to encode passes on
// once neither end's encoder is open.
Outcome<void> ClipJob::closeEncoder(AVFormatContext* output, std::unique_ptr<FrameReencoder>& encoder,
                                             bool afterCopy)
{
    QString error;
    if (!encoder->finish(&error))
        return fault(error);
    if (const Outcome<void> failed = writeEncoded(output, *encoder, afterCopy); !failed)
        return failed;
    video.encoded += encoder->framesEncoded();
    encoder.reset();
    if (!video.head && !video.tail && video.turn.owns_lock())
        video.turn.unlock();
    return {};
}

Outcome<void> ClipJob::finishHead(AVFormatContext* output)
{
    if (const Outcome<void> failed = closeEncoder(output, video.head, false); !failed)
        return failed;
    for (Packet& packet : copiedBeforeHeadEnds)
        sendCopied(output, std::move(packet));
    copiedBeforeHeadEnds.clear();
    return {};
}

Outcome<void> ClipJob::finishVideo(AVFormatContext* output)
{
    video.stage = VideoPass::Stage::Finished;
    picture->done = true;
    if (video.head) {
        if (const Outcome<void> failed = finishHead(output); !failed)
            return failed;
    }
    return video.tail ? closeEncoder(output, video.tail, true) : Outcome<void>();
}

// Sends the frames an encoder made. Their decode times keep the copied frames' delay
// before the head, and fit between the copy and the shown times after it.
Outcome<void> ClipJob::writeEncoded(AVFormatContext* output, FrameReencoder& encoder, bool afterCopy)
{
    std::deque<Packet>& packets = encoder.output();
    if (packets.empty())
        return {};
    const AVCodecParameters* codec = input->streams[picture->input]->codecpar;
    const bool hevc = codec->codec_id == AV_CODEC_ID_HEVC;
    int64_t delay = video.delay;
    if (afterCopy && video.lastDts != NO_TIME)
        delay = std::clamp<int64_t>(packets.front()->pts - video.lastDts - 1, 0, video.delay);
    if (hevc) {
        const int lengthSize = hevcLengthSize(codec);
        const std::vector<QByteArray> ours = annexBNalUnits(reinterpret_cast<const uint8_t*>(encoderHeaders.constData()),
                                                            int(encoderHeaders.size()));
        // A new coded video sequence with our parameter sets, and back to the
        // source's after it.
        const bool endsHeld = afterCopy && picture->held;
        if (endsHeld)
            picture->held = withUnits(picture->held.get(), {}, {HEVC_END_OF_SEQUENCE}, lengthSize);
        packets.front() = withUnits(packets.front().get(), ours, {}, lengthSize);
        if (!afterCopy && plan.copyKey)
            packets.back() = withUnits(packets.back().get(), {}, {HEVC_END_OF_SEQUENCE}, lengthSize);
        if ((endsHeld && !picture->held) || !packets.front() || !packets.back())
            return fault(outOfMemory());
    }
    for (Packet& packet : packets) {
        packet->dts = packet->pts - delay;
        packet->stream_index = picture->input;
        video.lastDts = packet->dts;
        send(output, *picture, std::move(packet));
    }
    packets.clear();
    return {};
}

Outcome<void> ClipJob::copyPackets(AVFormatContext* output)
{
    std::vector<CopiedStream*> byInput(input->nb_streams, nullptr);
    for (CopiedStream& copied : streams)
        byInput[size_t(copied.input)] = &copied;
    // A stream that ends before the clip does (a short sound track, a subtitle's last
    // cue) must not keep the copy reading to the end of the file.
    const double stopAfter = plan.endPts ? double(*plan.endPts) * av_q2d(videoBase) + 2.0 : std::numeric_limits<double>::infinity();
    auto allDone = [this] {
        return std::all_of(streams.begin(), streams.end(), [](const CopiedStream& s) { return s.done; });
    };
    Packet packet(av_packet_alloc());
    int status = 0;
    while (!allDone() && writeStatus >= 0) {
        status = av_read_frame(input.get(), packet.get());
        if (status < 0)
            break;
        const auto index = size_t(packet->stream_index);
        CopiedStream* stream = index < byInput.size() ? byInput[index] : nullptr;
        if (!stream || stream->done) {
            av_packet_unref(packet.get());
            continue;
        }
        if (packet->flags & AV_PKT_FLAG_CORRUPT)
            return fault(problem(sourceChanged()
                    ? QCoreApplication::translate("StreamCopyCutter", "it was changed while cutting.")
                    : QCoreApplication::translate("StreamCopyCutter",
                        "the video ends early or is damaged within the clip; the "
                        "file may be incomplete.")));
        if (packet->dts != NO_TIME && picture->done
            && double(packet->dts) * av_q2d(input->streams[index]->time_base) > stopAfter) {
            for (CopiedStream& copied : streams)
                copied.done = true;
            break;
        }
        Packet taken(av_packet_alloc());
        av_packet_move_ref(taken.get(), packet.get());
        if (stream->role == Role::Picture) {
            if (const Outcome<void> error = takeVideo(output, std::move(taken)); !error)
                return error;
        } else {
            takeOther(output, *stream, std::move(taken));
        }
    }
    // A write that failed (a full disk, a size limit) ended the loop early: that, not
    // the missing frames it left, is what went wrong.
    if (writeStatus < 0)
        return fault(ffmpegProblem(QCoreApplication::translate("StreamCopyCutter", "the clip could not be written"),
                                   writeStatus));
    if (status < 0 && status != AVERROR_EOF)
        return fault(ffmpegProblem(
            QCoreApplication::translate("StreamCopyCutter", "the video could not be read to the end of the clip"),
            status));
    if (video.stage != VideoPass::Stage::Finished && video.stage != VideoPass::Stage::Waiting) {
        if (const Outcome<void> error = finishVideo(output); !error)
            return error;
    }
    flushHeld(output);
    return checkComplete();
}

bool ClipJob::sourceChanged() const
{
    return stampOf(source) != sourceStamp;
}

// The clip holds every frame it should: the source delivered the whole range, and
// every frame read was written, copied or encoded again.
Outcome<void> ClipJob::checkComplete() const
{
    const AVStream* stream = input->streams[picture->input];
    bool whole = video.stage != VideoPass::Stage::Waiting;
    if (whole && plan.endPts)
        whole = video.reachedEnd || video.stage == VideoPass::Stage::Finished;
    if (whole && !plan.endPts && stream->duration != NO_TIME && stream->duration > 0 && video.lastShownEnd != NO_TIME) {
        // The last clip: the video's own length, as its index states it, was read.
        const int64_t start = stream->start_time != NO_TIME ? stream->start_time : 0;
        const int64_t slack = av_rescale_q(AV_TIME_BASE / 2, MICROSECONDS, videoBase);
        whole = video.lastShownEnd >= start + stream->duration - slack;
    }
    if (!whole) {
        if (sourceChanged())
            return fault(problem(QCoreApplication::translate(
                "StreamCopyCutter", "the video ended before the end of the clip; it was changed while cutting.")));
        return fault(problem(QCoreApplication::translate(
            "StreamCopyCutter", "the video ends early; the file may be incomplete or damaged.")));
    }
    if (video.copied + video.encoded != video.sourceFrames) {
        qCInfo(lcMedia) << "clip of" << source << "holds" << video.copied << "copied and" << video.encoded
                           << "encoded frames of" << video.sourceFrames;
        return fault(problem(QCoreApplication::translate(
            "StreamCopyCutter", "the video is damaged within the clip: %1 of its %2 frames could be read.")
                           .arg(video.copied + video.encoded)
                           .arg(video.sourceFrames)));
    }
    return {};
}

} // namespace

CutResult StreamCopyCutter::cut(const QString& source, double startTime, double endTime, const CutOutput& output,
                                CutMode mode, const CancelToken& cancel)
{
    return ClipJob(source, startTime, endTime, output, mode, cancel).run();
}

Outcome<StreamCopyCutter::Preview> StreamCopyCutter::preview(const QString& source,
                                                            const std::vector<std::pair<double, double>>& ranges,
                                                            CutMode mode, bool countFrames)
{
    Outcome<std::unique_ptr<ClipPlanner>> opened = ClipPlanner::open(source);
    if (!opened)
        return Outcome<Preview>::failure(opened.error());
    ClipPlanner& planner = *opened.value();
    Preview preview;
    preview.reencodable = FrameReencoder::supports(planner.codec());
    preview.codec = QString::fromUtf8(avcodec_get_name(planner.codec()->codec_id));
    if (mode == CutMode::Exact && preview.reencodable && !countFrames) {
        for (const auto& [start, end] : ranges)
            preview.clips.push_back({ClipPreview::Kind::Clip, start, end, -1, -1, {}});
        return preview;
    }
    std::vector<PlanResult> plans;
    for (const auto& [start, end] : ranges)
        plans.push_back(planner.plan(start, end, mode, preview.reencodable));
    std::vector<ScannedPacket> packets;
    if (countFrames) {
        Outcome<std::vector<ScannedPacket>> all = planner.allPackets();
        if (!all)
            return Outcome<Preview>::failure(all.error());
        packets = std::move(all.value());
    }
    for (size_t k = 0; k < ranges.size(); ++k) {
        const PlanResult& planned = plans[k];
        ClipPreview clip;
        clip.start = ranges[k].first;
        clip.end = ranges[k].second;
        if (planned.kind != PlanResult::Kind::Planned) {
            clip.kind = planned.kind == PlanResult::Kind::Empty ? ClipPreview::Kind::Empty : ClipPreview::Kind::Failed;
            clip.error = planned.error;
            clip.frames = clip.encodedFrames = countFrames ? 0 : -1;
            if (planned.plan.endPts)
                clip.start = clip.end = planner.secondsOf(*planned.plan.endPts);
            preview.clips.push_back(clip);
            continue;
        }
        const ClipPlan& plan = planned.plan;
        clip.start = planner.secondsOf(plan.firstPts);
        if (plan.endPts)
            clip.end = planner.secondsOf(*plan.endPts);
        if (countFrames) {
            const FrameCount count = countClipFrames(packets, plan);
            clip.frames = count.frames;
            clip.encodedFrames = count.encoded;
        }
        preview.clips.push_back(clip);
    }
    return preview;
}
