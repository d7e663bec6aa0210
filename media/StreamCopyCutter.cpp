#include "StreamCopyCutter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <limits>
#include <optional>
#include <vector>

extern "C" {
#include <libavutil/mathematics.h>
}

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "FfmpegSupport.h"
#include "Mp4Boxes.h"
#include "MediaLog.h"

namespace {

constexpr int64_t NO_TIME = AV_NOPTS_VALUE;
// AV_TIME_BASE_Q, without the C compound literal.
constexpr AVRational MICROSECONDS{1, AV_TIME_BASE};

struct DictionaryFreer {
    void operator()(AVDictionary* dictionary) const { av_dict_free(&dictionary); }
};
using Dictionary = std::unique_ptr<AVDictionary, DictionaryFreer>;

// Timestamps within a microsecond of a frame's time count as that frame's time, so a
// split asked for at a frame's printed time lands on that frame.
constexpr double TOLERANCE_SECONDS = 1e-6;
// How far before a time the demuxer is sent to find the keyframe and the sound that a
// clip starting there needs.
constexpr double SEEK_MARGIN_SECONDS = 1.0;

bool isMovFamily(const AVInputFormat* format)
{
    return std::strstr(format->name, "mov") || std::strstr(format->name, "mp4");
}

// The first tick of a time base at or after a time given in seconds.
int64_t ticksAtOrAfter(double seconds, AVRational timeBase, int64_t origin)
{
    const double ticks = (seconds - TOLERANCE_SECONDS) / av_q2d(timeBase);
    if (ticks >= 9.0e18)
        return std::numeric_limits<int64_t>::max();
    if (ticks <= -9.0e18)
        return std::numeric_limits<int64_t>::min() / 2;
    return origin + static_cast<int64_t>(std::ceil(ticks));
}

struct VideoPacket {
    int64_t pts = 0;
    int64_t dts = 0;
    bool key = false;
};

// Where a clip starts: the first frame shown, and the keyframe the copy begins at.
struct ClipStart {
    int64_t firstPts = 0;
    int64_t keyDts = 0;
    // Matroska and others store no decode times; the demuxer derives them, and not
    // always the same way after different seeks. The keyframe's shown time is stored.
    int64_t keyPts = 0;
};

// Moves a read packet out for writing, on the clip's timeline: the clip's first
// frame at 0, its lead-in before it. Frames the source's own edit list hid are needed
// to decode, so they are kept; ours hides them again.
Packet takeOut(AVPacket* packet, int64_t shift)
{
    if (packet->pts != NO_TIME)
        packet->pts -= shift;
    if (packet->dts != NO_TIME)
        packet->dts -= shift;
    packet->flags &= ~AV_PKT_FLAG_DISCARD;
    Packet out(av_packet_alloc());
    av_packet_move_ref(out.get(), packet);
    return out;
}

class ClipJob {
public:
    ClipJob(QString sourcePath, double start, double end, CutOutput output)
        : source(std::move(sourcePath))
        , startTime(start)
        , endTime(end)
        , outputFolder(std::move(output.folder))
        , outputPath(std::move(output.path))
    {
    }

    CutResult run();

private:
    QString problem(const QString& what) const
    {
        return QStringLiteral("Could not cut '%1': %2").arg(displayName(source), what);
    }
    QString ffmpegProblem(const QString& what, int error) const
    {
        if (error == AVERROR(ENOSPC))
            return problem(QStringLiteral("there is not enough space in '%1'.").arg(QDir::toNativeSeparators(outputFolder)));
        return problem(QStringLiteral("%1 (%2).").arg(what, ffmpegErrorText(error)));
    }

    bool openSource(QString* error);
    std::vector<VideoPacket> scanVideo(int64_t from, int64_t until, bool* failed);
    std::optional<ClipStart> findStart(int64_t threshold, bool* failed);
    std::optional<int64_t> findFirstPtsAtOrAfter(int64_t threshold, bool* failed);
    bool positionForCopy(int64_t keyDts, int64_t soundStart);
    // The video's length as the file states it, in seconds from its start.
    double knownLength() const;
    // How far before the stated end the last frame may start: a few frames, for the
    // difference between a container's length and its last frame's time.
    double endSlack() const;
    CutResult write(const ClipStart& start, std::optional<int64_t> endPts, int64_t moovReserve);

    QString source;
    double startTime;
    double endTime;
    QString outputFolder;
    QString outputPath;

    InputFormat input;
    int video = -1;
    AVRational videoBase{1, 1};
    int64_t origin = 0; // the video's time 0, in videoBase
    QString containerName;
    QString extension;
    bool noShownTimes = false;
    std::vector<int> outputIndex; // per input stream, -1 when not copied
};

bool ClipJob::openSource(QString* error)
{
    input = openInput(source, error);
    return bool(input);
}

// Reads the video stream's packets in decode order from the keyframe at or before
// `from` until a packet decodes after `until` (or the end of the file).
std::vector<VideoPacket> ClipJob::scanVideo(int64_t from, int64_t until, bool* failed)
{
    std::vector<VideoPacket> packets;
    for (unsigned i = 0; i < input->nb_streams; ++i)
        input->streams[i]->discard = int(i) == video ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    int status = av_seek_frame(input.get(), video, from, AVSEEK_FLAG_BACKWARD);
    if (status < 0) {
        // Before the first keyframe, or a file that cannot seek: read from the top.
        QString error;
        if (!openSource(&error)) {
            *failed = true;
            return packets;
        }
        for (unsigned i = 0; i < input->nb_streams; ++i)
            input->streams[i]->discard = int(i) == video ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    }
    Packet packet(av_packet_alloc());
    while ((status = av_read_frame(input.get(), packet.get())) >= 0) {
        if (packet->stream_index == video) {
            // Without shown times (AVI, some MPEG files) a frame's place cannot be
            // known from its packet: refuse rather than guess and cut wrong frames.
            if (packet->pts == NO_TIME) {
                noShownTimes = true;
                *failed = true;
                av_packet_unref(packet.get());
                return packets;
            }
            const int64_t dts = packet->dts != NO_TIME ? packet->dts : packet->pts;
            packets.push_back({packet->pts, dts, (packet->flags & AV_PKT_FLAG_KEY) != 0});
            if (dts > until) {
                av_packet_unref(packet.get());
                break;
            }
        }
        av_packet_unref(packet.get());
    }
    if (status < 0 && status != AVERROR_EOF) {
        qCInfo(lcMedia) << "av_read_frame failed while scanning" << source << ffmpegErrorText(status);
        *failed = true;
    }
    return packets;
}

std::optional<ClipStart> ClipJob::findStart(int64_t threshold, bool* failed)
{
    const int64_t margin = av_rescale_q(int64_t(SEEK_MARGIN_SECONDS * AV_TIME_BASE), MICROSECONDS, videoBase);
    // Look further back until the scan begins at a keyframe that is shown no later
    // than the first frame of the clip (long GOPs, large reorder delays).
    for (int64_t back = margin; ; back *= 4) {
        const bool fromTop = back > 64 * margin;
        const int64_t from = fromTop ? std::numeric_limits<int64_t>::min() : threshold - back;
        const std::vector<VideoPacket> packets = scanVideo(from, threshold + margin, failed);
        if (*failed)
            return std::nullopt;
        std::optional<size_t> first;
        for (size_t i = 0; i < packets.size(); ++i) {
            if (packets[i].pts >= threshold && (!first || packets[i].pts < packets[*first].pts))
                first = i;
        }
        if (!first)
            return std::nullopt; // no frame at or after the start: an empty clip
        std::optional<size_t> key;
        for (size_t i = 0; i <= *first; ++i) {
            if (packets[i].key && packets[i].pts <= packets[*first].pts)
                key = i;
        }
        if (key)
            return ClipStart{packets[*first].pts, packets[*key].dts, packets[*key].pts};
        if (fromTop) {
            // No keyframe before the first frame: frames before any keyframe cannot
            // be shown by anyone; start from the first keyframe there is.
            for (const VideoPacket& packet : packets) {
                if (packet.key)
                    return ClipStart{std::max(packets[*first].pts, packet.pts), packet.dts, packet.pts};
            }
            return std::nullopt;
        }
    }
}

std::optional<int64_t> ClipJob::findFirstPtsAtOrAfter(int64_t threshold, bool* failed)
{
    const int64_t margin = av_rescale_q(int64_t(SEEK_MARGIN_SECONDS * AV_TIME_BASE), MICROSECONDS, videoBase);
    for (int64_t ahead = margin; ; ahead *= 4) {
        const std::vector<VideoPacket> packets = scanVideo(threshold - margin, threshold + ahead, failed);
        if (*failed)
            return std::nullopt;
        std::optional<int64_t> first;
        for (const VideoPacket& packet : packets) {
            if (packet.pts >= threshold && (!first || packet.pts < *first))
                first = packet.pts;
        }
        // The scan stops once a packet decodes past threshold + ahead; any frame shown
        // earlier than that has been seen, since nothing is shown before it decodes.
        const bool reachedEnd = packets.empty() || packets.back().dts <= threshold + ahead;
        if (first && *first <= threshold + ahead)
            return first;
        if (reachedEnd)
            return first;
    }
}

double ClipJob::knownLength() const
{
    if (input->duration != NO_TIME && input->duration > 0)
        return double(input->duration) / AV_TIME_BASE;
    return std::numeric_limits<double>::infinity();
}

double ClipJob::endSlack() const
{
    const AVStream* stream = input->streams[video];
    const AVRational rate = stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : stream->r_frame_rate;
    const double frame = rate.num > 0 && rate.den > 0 ? av_q2d(av_inv_q(rate)) : 0.1;
    return std::max(0.5, 4.0 * frame);
}

// Puts the demuxer before the first packet any stream of the clip needs.
bool ClipJob::positionForCopy(int64_t keyDts, int64_t soundStart)
{
    for (unsigned i = 0; i < input->nb_streams; ++i)
        input->streams[i]->discard = outputIndex[i] >= 0 ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    const int64_t earliest = std::min(av_rescale_q(keyDts, videoBase, MICROSECONDS), soundStart)
        - int64_t(SEEK_MARGIN_SECONDS * AV_TIME_BASE / 2);
    const int64_t fileStart = input->start_time != NO_TIME ? input->start_time : 0;
    // The MP4 demuxer places the other streams at the time of the video sample it
    // seeks to, which skips sound packets before the first picture (the encoder's
    // priming); near the top of the file, reopening is the only exact start.
    if (earliest > fileStart && av_seek_frame(input.get(), -1, earliest, AVSEEK_FLAG_BACKWARD) >= 0)
        return true;
    QString error;
    if (!openSource(&error))
        return false;
    for (unsigned i = 0; i < input->nb_streams; ++i)
        input->streams[i]->discard = outputIndex[i] >= 0 ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    return true;
}

CutResult ClipJob::run()
{
    QString error;
    if (!openSource(&error))
        return CutResult::failed(error);

    video = bestVideoStream(input.get());
    if (video < 0)
        return CutResult::failed(problem(QStringLiteral("it has no video track.")));
    videoBase = input->streams[video]->time_base;
    origin = input->start_time != NO_TIME ? av_rescale_q(input->start_time, MICROSECONDS, videoBase) : 0;

    const QString suffix = QFileInfo(source).suffix().toLower();
    const bool keepContainer = isMovFamily(input->iformat)
        && (suffix == QLatin1String("mp4") || suffix == QLatin1String("m4v") || suffix == QLatin1String("mov"));
    containerName = keepContainer && suffix == QLatin1String("mov") ? QStringLiteral("mov") : QStringLiteral("mp4");
    extension = keepContainer ? suffix : QStringLiteral("mp4");
    const AVOutputFormat* container = av_guess_format(containerName.toLatin1().constData(), nullptr, nullptr);
    if (!container)
        return CutResult::failed(problem(QStringLiteral("this FFmpeg cannot write %1 files.").arg(containerName.toUpper())));

    outputIndex.assign(input->nb_streams, -1);
    int next = 0;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream* stream = input->streams[i];
        const AVCodecParameters* codec = stream->codecpar;
        const bool picture = codec->codec_type == AVMEDIA_TYPE_VIDEO && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC);
        const bool sound = codec->codec_type == AVMEDIA_TYPE_AUDIO;
        const bool movText = codec->codec_type == AVMEDIA_TYPE_SUBTITLE && codec->codec_id == AV_CODEC_ID_MOV_TEXT;
        if (!picture && !sound && !movText)
            continue; // cover pictures, data and foreign subtitle tracks stay behind
        if (avformat_query_codec(container, codec->codec_id, FF_COMPLIANCE_NORMAL) != 1) {
            if (movText)
                continue;
            return CutResult::failed(problem(QStringLiteral("its %1 format (%2) cannot be stored in an %3 file without re-encoding.")
                                                 .arg(picture ? QStringLiteral("video") : QStringLiteral("sound"),
                                                      QString::fromUtf8(avcodec_get_name(codec->codec_id)),
                                                      containerName.toUpper())));
        }
        outputIndex[i] = next++;
    }

    if (!std::isfinite(startTime) || startTime < 0.0)
        startTime = 0.0;
    bool failed = false;
    auto unreadable = [this] {
        return CutResult::failed(problem(noShownTimes
            ? QStringLiteral("its frames carry no presentation times, so it cannot be cut exactly without "
                             "re-encoding.")
            : QStringLiteral("the video is damaged or could not be read.")));
    };
    const int64_t startThreshold = ticksAtOrAfter(startTime, videoBase, origin);
    const std::optional<ClipStart> start = findStart(startThreshold, &failed);
    if (failed)
        return unreadable();
    if (!start) {
        // No frame at or after the start: an empty clip only if the start is at the
        // video's end; before it, the file ends early.
        if (startTime < knownLength() - endSlack())
            return CutResult::failed(problem(QStringLiteral("the video ends early; the file may be incomplete or damaged.")));
        return CutResult::empty();
    }

    std::optional<int64_t> endPts;
    if (std::isfinite(endTime)) {
        if (endTime <= startTime)
            return CutResult::empty();
        endPts = findFirstPtsAtOrAfter(ticksAtOrAfter(endTime, videoBase, origin), &failed);
        if (failed)
            return unreadable();
        if (!endPts && endTime < knownLength() - endSlack()) {
            // The file says it lasts longer than the frames it holds.
            return CutResult::failed(problem(QStringLiteral("the video ends early; the file may be incomplete or damaged.")));
        }
        if (endPts && *endPts <= start->firstPts)
            return CutResult::empty();
    }

    // Room for the movie box at the front, so that the muxer never has to rewrite the
    // file to move it there: about 20 bytes of index per frame and sound packet of the
    // clip, from the streams' own rates. Too little room is retried with more.
    const double seconds = endPts ? double(*endPts - start->firstPts) * av_q2d(videoBase)
                                  : std::max(0.0, knownLength() - startTime);
    double samplesPerSecond = 0.0;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        if (outputIndex[i] < 0)
            continue;
        const AVStream* stream = input->streams[i];
        const AVCodecParameters* codec = stream->codecpar;
        if (codec->codec_type == AVMEDIA_TYPE_VIDEO && stream->avg_frame_rate.num > 0 && stream->avg_frame_rate.den > 0)
            samplesPerSecond += av_q2d(stream->avg_frame_rate);
        else if (codec->codec_type == AVMEDIA_TYPE_AUDIO && codec->sample_rate > 0)
            samplesPerSecond += double(codec->sample_rate) / (codec->frame_size > 0 ? codec->frame_size : 1024);
        else
            samplesPerSecond += 60.0;
    }
    const double estimate = 8192.0 + 20.0 * samplesPerSecond * (std::isfinite(seconds) ? seconds + 2.0 : 3600.0);
    int64_t reserve = int64_t(std::min(estimate, 256.0 * 1024 * 1024));
    for (int attempt = 0; attempt < 3; ++attempt) {
        CutResult result = write(*start, endPts, reserve);
        if (result.kind != CutResult::Kind::Failed || !result.error.isEmpty())
            return result;
        // The reserved room was too small (an empty error says so): more room.
        reserve *= 4;
    }
    return CutResult::failed(problem(QStringLiteral("the clip's index does not fit at the front of the file.")));
}

CutResult ClipJob::write(const ClipStart& start, std::optional<int64_t> endPts, int64_t moovReserve)
{
    const QByteArray encodedPath = QFile::encodeName(outputPath);
    auto fail = [&](const QString& message) {
        QFile::remove(outputPath);
        return CutResult::failed(message);
    };

    AVFormatContext* rawOutput = nullptr;
    int status = avformat_alloc_output_context2(&rawOutput, nullptr, containerName.toLatin1().constData(),
                                                encodedPath.constData());
    if (status < 0)
        return fail(ffmpegProblem(QStringLiteral("the clip could not be set up"), status));
    OutputFormat output(rawOutput);

    bool appleKeys = false;
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = av_dict_get(input->metadata, "", entry, AV_DICT_IGNORE_SUFFIX))) {
        const QByteArray key(entry->key);
        // The brands and the writing library describe the old file, not the clip.
        if (key == "major_brand" || key == "minor_version" || key == "compatible_brands" || key == "encoder")
            continue;
        if (key.startsWith("com.apple."))
            appleKeys = true;
        av_dict_set(&output->metadata, entry->key, entry->value, 0);
    }

    std::vector<int64_t> shift(input->nb_streams, 0);
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        if (outputIndex[i] < 0)
            continue;
        const AVStream* from = input->streams[i];
        AVStream* to = avformat_new_stream(output.get(), nullptr);
        if (!to || avcodec_parameters_copy(to->codecpar, from->codecpar) < 0)
            return fail(problem(QStringLiteral("out of memory.")));
        // Keep the source's tag where the container knows it for this codec: "hvc1"
        // must not turn into "hev1", which some players refuse.
        unsigned tag = from->codecpar->codec_tag;
        unsigned known = 0;
        if (output->oformat->codec_tag && av_codec_get_id(output->oformat->codec_tag, tag) != from->codecpar->codec_id
            && av_codec_get_tag2(output->oformat->codec_tag, from->codecpar->codec_id, &known)) {
            tag = 0;
        }
        to->codecpar->codec_tag = tag;
        to->time_base = from->time_base;
        to->disposition = from->disposition;
        av_dict_copy(&to->metadata, from->metadata, 0);
        // The display matrix (rotation), HDR and stereo information live here.
        for (int s = 0; s < from->nb_side_data; ++s) {
            const AVPacketSideData& data = from->side_data[s];
            uint8_t* copy = av_stream_new_side_data(to, data.type, data.size);
            if (!copy)
                return fail(problem(QStringLiteral("out of memory.")));
            std::memcpy(copy, data.data, data.size);
        }
        shift[i] = av_rescale_q(start.firstPts, videoBase, from->time_base);
    }

    AVDictionary* rawOptions = nullptr;
    if (appleKeys)
        av_dict_set(&rawOptions, "movflags", "+use_metadata_tags", 0);
    av_dict_set(&rawOptions, "use_editlist", "1", 0);
    // Timestamps before the clip's first frame are the hidden lead-in; the muxer
    // turns them into the edit list instead of shifting them.
    av_dict_set(&rawOptions, "avoid_negative_ts", "disabled", 0);
    // Edits measured in the video's own time scale stay exact to the tick.
    int64_t movieScale = videoBase.num == 1 ? videoBase.den : 0;
    while (movieScale > 0 && movieScale < 10000)
        movieScale *= 2;
    if (movieScale > 0 && movieScale <= std::numeric_limits<int>::max())
        av_dict_set_int(&rawOptions, "movie_timescale", movieScale, 0);
    av_dict_set_int(&rawOptions, "moov_size", moovReserve, 0);
    Dictionary options(rawOptions);

    status = avio_open(&output->pb, encodedPath.constData(), AVIO_FLAG_WRITE);
    if (status < 0)
        return fail(ffmpegProblem(QStringLiteral("the clip could not be created"), status));
    rawOptions = options.release();
    status = avformat_write_header(output.get(), &rawOptions);
    options.reset(rawOptions);
    if (status < 0)
        return fail(ffmpegProblem(QStringLiteral("the clip could not be started"), status));

    // The sound starts one audio frame early so the decoder is warmed up at the
    // clip's first picture (the edit list hides the extra frame).
    std::vector<int64_t> soundFrom(input->nb_streams, 0);
    std::vector<int64_t> until(input->nb_streams, std::numeric_limits<int64_t>::max());
    int64_t soundStart = std::numeric_limits<int64_t>::max();
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        if (outputIndex[i] < 0)
            continue;
        const AVStream* stream = input->streams[i];
        const int64_t clipStart = av_rescale_q(start.firstPts, videoBase, stream->time_base);
        if (endPts)
            until[i] = av_rescale_q(*endPts, videoBase, stream->time_base);
        int64_t preroll = 0;
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && stream->codecpar->sample_rate > 0) {
            const int64_t samples = std::max<int64_t>(stream->codecpar->frame_size > 0 ? stream->codecpar->frame_size : 1024,
                                                      stream->codecpar->seek_preroll);
            preroll = av_rescale_q(samples, AVRational{1, stream->codecpar->sample_rate}, stream->time_base);
        }
        soundFrom[i] = clipStart - preroll;
        soundStart = std::min(soundStart, av_rescale_q(soundFrom[i], stream->time_base, MICROSECONDS));
    }
    if (!positionForCopy(start.keyDts, soundStart))
        return fail(problem(QStringLiteral("the video could not be read again.")));

    // Packets go out one step late, so that a packet without a duration (as the MP4
    // demuxer hands out for some variable-rate files) can take it from the next one.
    std::vector<Packet> pending(input->nb_streams);
    std::vector<int64_t> lastStep(input->nb_streams, 0);
    int writeStatus = 0;
    auto send = [&](Packet packet) {
        const int index = packet->stream_index;
        Packet& held = pending[size_t(index)];
        if (held) {
            if (held->duration <= 0 && held->dts != NO_TIME && packet->dts != NO_TIME)
                held->duration = packet->dts - held->dts;
            if (held->duration > 0)
                lastStep[size_t(index)] = held->duration;
            const AVStream* from = input->streams[index];
            AVStream* to = output->streams[outputIndex[size_t(index)]];
            held->stream_index = to->index;
            av_packet_rescale_ts(held.get(), from->time_base, to->time_base);
            held->pos = -1;
            // The muxer takes the packet's data; the packet itself stays ours.
            if (writeStatus >= 0)
                writeStatus = av_interleaved_write_frame(output.get(), held.get());
        }
        held = std::move(packet);
    };

    std::vector<bool> done(input->nb_streams, false);
    std::vector<bool> started(input->nb_streams, false);
    for (unsigned i = 0; i < input->nb_streams; ++i)
        done[i] = outputIndex[i] < 0;
    // Frames after the end are held back until it is clear whether a frame shown
    // before the end still needs them.
    std::deque<Packet> heldAfterEnd;
    bool videoComplete = !endPts;
    // The first frame at or after the end was read: the file holds the clip whole,
    // even when no packet decodes after it (the last frames of a video).
    bool sawEndFrame = false;
    // A stream that ends before the clip does (a short sound track, a subtitle's last
    // cue) must not keep the copy reading to the end of the file: once the demuxer is
    // well past the clip's end, every stream is done.
    const double stopAfter = endPts ? double(*endPts - origin) * av_q2d(videoBase) + 2.0 * SEEK_MARGIN_SECONDS
                                    : std::numeric_limits<double>::infinity();
    bool corrupt = false;

    Packet packet(av_packet_alloc());
    int readStatus = 0;
    while (!std::all_of(done.begin(), done.end(), [](bool d) { return d; })) {
        readStatus = av_read_frame(input.get(), packet.get());
        if (readStatus < 0)
            break;
        const auto index = size_t(packet->stream_index);
        if (index < done.size() && packet->dts != NO_TIME) {
            const AVStream* from = input->streams[index];
            const int64_t start0 = from->start_time != NO_TIME ? from->start_time : 0;
            if (double(packet->dts - start0) * av_q2d(from->time_base) > stopAfter && videoComplete) {
                std::fill(done.begin(), done.end(), true);
                av_packet_unref(packet.get());
                break;
            }
        }
        if (index >= done.size() || done[index]) {
            av_packet_unref(packet.get());
            continue;
        }
        if (packet->flags & AV_PKT_FLAG_CORRUPT) {
            corrupt = true;
            av_packet_unref(packet.get());
            break;
        }
        const AVStream* stream = input->streams[index];
        const int64_t pts = packet->pts != NO_TIME ? packet->pts : packet->dts;
        const int64_t dts = packet->dts != NO_TIME ? packet->dts : packet->pts;
        bool take = false;
        if (int(index) == video) {
            if (!started[index])
                started[index] = (packet->flags & AV_PKT_FLAG_KEY) && (pts == start.keyPts || dts > start.keyDts);
            if (started[index]) {
                if (endPts && dts >= *endPts) {
                    // Nothing decoded from here on is shown before the end.
                    done[index] = true;
                    videoComplete = true;
                    heldAfterEnd.clear();
                    av_packet_unref(packet.get());
                    continue;
                }
                if (endPts && pts >= *endPts) {
                    sawEndFrame = sawEndFrame || pts == *endPts;
                    heldAfterEnd.push_back(takeOut(packet.get(), shift[index]));
                    continue;
                }
                while (!heldAfterEnd.empty()) {
                    send(std::move(heldAfterEnd.front()));
                    heldAfterEnd.pop_front();
                }
                take = true;
            }
        } else if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            // A second picture track (another angle): from its first keyframe near
            // the start, to the same end.
            if (!started[index])
                started[index] = (packet->flags & AV_PKT_FLAG_KEY) && pts >= soundFrom[index];
            if (started[index] && pts >= until[index])
                done[index] = true;
            take = started[index] && !done[index];
        } else if (pts != NO_TIME) {
            if (packet->duration <= 0 && stream->codecpar->frame_size > 0 && stream->codecpar->sample_rate > 0)
                packet->duration = av_rescale_q(stream->codecpar->frame_size, AVRational{1, stream->codecpar->sample_rate},
                                                stream->time_base);
            if (pts >= until[index])
                done[index] = true;
            else
                take = pts + std::max<int64_t>(packet->duration, 0) > soundFrom[index];
        }
        if (!take) {
            av_packet_unref(packet.get());
            continue;
        }
        send(takeOut(packet.get(), shift[index]));
        if (writeStatus < 0)
            break;
    }
    // Everything still held was shown after the end, or the file ended: it goes.
    heldAfterEnd.clear();
    for (size_t i = 0; i < pending.size(); ++i) {
        if (!pending[i])
            continue;
        if (pending[i]->duration <= 0)
            pending[i]->duration = lastStep[i] > 0 ? lastStep[i] : 1;
        Packet none(av_packet_alloc());
        none->stream_index = int(i);
        // Sending an empty packet of the same stream flushes the held one.
        send(std::move(none));
        pending[i].reset();
    }

    if (corrupt)
        return fail(problem(QStringLiteral("the video is damaged within the clip.")));
    if (readStatus < 0 && readStatus != AVERROR_EOF)
        return fail(ffmpegProblem(QStringLiteral("the video could not be read to the end of the clip"), readStatus));
    if (readStatus == AVERROR_EOF && sawEndFrame)
        videoComplete = true;
    if (!videoComplete && readStatus == AVERROR_EOF && endPts)
        return fail(problem(QStringLiteral("the video ended before the end of the clip; it may have been changed while cutting.")));
    if (writeStatus < 0)
        return fail(ffmpegProblem(QStringLiteral("the clip could not be written"), writeStatus));

    status = av_write_trailer(output.get());
    if (status == AVERROR(EINVAL) && moovReserve > 0) {
        // The muxer found the reserved room too small; the caller tries with more.
        QFile::remove(outputPath);
        return CutResult::failed(QString());
    }
    if (status < 0)
        return fail(ffmpegProblem(QStringLiteral("the clip could not be finished"), status));
    status = avio_closep(&output->pb);
    if (status < 0)
        return fail(ffmpegProblem(QStringLiteral("the clip could not be saved"), status));

    if (endPts) {
        const int64_t ticks = *endPts - start.firstPts;
        QString trimError;
        if (!trimMovieFile(outputPath, {ticks * videoBase.num, int64_t(videoBase.den)}, &trimError)) {
            qCWarning(lcMedia) << "trimming the clip's end failed:" << outputPath << trimError;
            return fail(problem(QStringLiteral("the end of the clip could not be set (%1).").arg(trimError)));
        }
    }
    return CutResult::written(extension);
}

} // namespace

CutResult StreamCopyCutter::cut(const QString& source, double startTime, double endTime, const CutOutput& output)
{
    return ClipJob(source, startTime, endTime, output).run();
}
