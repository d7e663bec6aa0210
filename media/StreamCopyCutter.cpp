#include "StreamCopyCutter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include <sys/stat.h>

extern "C" {
#include <libavutil/intreadwrite.h>
#include <libavutil/mathematics.h>
}

#include <QCoreApplication>

#include "ClipMuxer.h"
#include "ClipPlan.h"
#include "CopiedStream.h"
#include "CutProblem.h"
#include "FfmpegSupport.h"
#include "FileNames.h"
#include "FrameReencoder.h"
#include "MediaLog.h"
#include "SourceRuns.h"
#include "VideoSplice.h"

namespace {

constexpr int64_t NO_TIME = AV_NOPTS_VALUE;
constexpr int64_t LATEST = std::numeric_limits<int64_t>::max();
constexpr AVRational MICROSECONDS{1, AV_TIME_BASE};
// How far before the clip's first packet the demuxer is sent, for the sound that
// starts with it.
constexpr double SEEK_MARGIN_SECONDS = 0.5;
// Further back with subtitles, for a line shown across the clip's start.
constexpr double SUBTITLE_MARGIN_SECONDS = 10.0;
// Attempts at an MP4 whose movie box outgrew the room kept for it, each with four
// times the room.
constexpr int MOVIE_BOX_ATTEMPTS = 3;
// Opus gives its first samples right only after 80 ms of sound decoded before them.
constexpr int64_t OPUS_PRE_ROLL_MS = 80;

// The time of the last packet of the sound stream at least a pre-roll before start
// (both in its time base), found on a read of its own; none when there is no such
// packet or the file cannot be read there.
std::optional<int64_t> preRollPacket(const QString& path, const CancelToken& cancel, int sound, AVRational base,
                                     int64_t start)
{
    Outcome<InputFormat> look = openInput(path, &cancel);
    if (!look)
        return std::nullopt;
    AVFormatContext* format = look.value().get();
    const int64_t target = start - av_rescale_q(OPUS_PRE_ROLL_MS, AVRational{1, 1000}, base);
    // A second before: a seek by the picture's index lands on a keyframe at or before.
    av_seek_frame(format, -1, av_rescale_q(target, base, MICROSECONDS) - AV_TIME_BASE, AVSEEK_FLAG_BACKWARD);
    readOnlyStream(format, sound);
    Packet packet(av_packet_alloc());
    if (!packet)
        return std::nullopt;
    std::optional<int64_t> found;
    while (av_read_frame(format, packet.get()) >= 0) {
        const int64_t pts = packet->stream_index == sound ? packet->pts : NO_TIME;
        av_packet_unref(packet.get());
        if (pts == NO_TIME)
            continue;
        if (pts > target)
            break;
        found = pts;
    }
    return found;
}

// One clip: planned once, then written in one pass over the source (again, with more
// room for the movie box, if an MP4's index outgrew it).
class ClipJob final {
public:
    ClipJob(QString sourcePath, double start, double end, const CutOutput& output, CutMode cutMode,
            CancelToken cancelled, CutProgress shown)
        : source(std::move(sourcePath))
        , startTime(start)
        , endTime(end)
        , outputDescriptor(output.descriptor)
        , mode(cutMode)
        , cancel(std::move(cancelled))
        , progress(std::move(shown))
        , problem(displayName(source), output.folder)
    {
    }
    Q_DISABLE_COPY_MOVE(ClipJob)

    CutResult run();

private:
    Outcome<PlanResult> prepare();
    Outcome<ClipMuxer::Ending> write(int64_t moovReserve);
    ClipSpan span() const;
    Outcome<void> position();
    Outcome<void> reopen(const AVFormatContext* like = nullptr);
    void preRollOpus(CopiedStream& sound, const AVStream* from, AVStream* to, const ClipSpan& clip) const;
    Outcome<void> copyPackets(
        ClipMuxer& muxer, std::vector<std::unique_ptr<CopiedStream>>& copied, VideoSplice& splice);
    Outcome<void> checkComplete(const SpliceTally& tally) const;
    Outcome<void> takeSourceBytes(CopiedStream& stream, const VideoSplice& splice, AVPacket* packet);
    bool sourceChanged() const { return stampOf(source) != sourceStamp; }
    std::vector<int> chosenInputs() const
    {
        std::vector<int> inputs;
        for (const StreamChoice& choice : chosen)
            inputs.push_back(choice.input);
        return inputs;
    }
    double seconds() const;

    const QString source;
    const double startTime;
    const double endTime;
    const int outputDescriptor; // the caller's: written through, never opened by name
    const CutMode mode;
    const CancelToken cancel; // outlives every input the job opens
    const CutProgress progress;
    const CutProblem problem;

    // Known once the clip is planned, and unchanged after.
    SourceStamp sourceStamp;
    std::shared_ptr<const void> streamsRead; // for the clips cut beside this one
    SourceFile sourceFile; // what input reads through, and the runs are moved from
    InputFormat input;
    Container container;
    std::vector<StreamChoice> chosen;
    int video = -1;
    ClipPlan plan;
    double firstShown = -1.0; // the clip's first frame, in seconds of the source
    // An MP4 of an MP4 whose packets are copied as the source holds them: its runs are
    // moved in by the kernel, and the copied packets' data is not read.
    bool withRuns = false;
    bool runsRefused = false; // a packet was not where the index says
};

CutResult ClipJob::run()
{
    const Outcome<PlanResult> planned = prepare();
    if (!planned)
        return CutResult::failed(planned.error());
    if (planned->kind == PlanResult::Kind::Failed)
        return CutResult::failed(planned->error);
    if (planned->kind == PlanResult::Kind::Empty)
        return CutResult::empty();
    plan = planned->plan;
    int64_t reserve = movieReserve(input.get(), chosen, seconds());
    for (int attempt = 0; attempt < MOVIE_BOX_ATTEMPTS; ++attempt) {
        // The file is the caller's: a failed attempt leaves it for the caller to
        // drop, and the next attempt truncates it.
        const Outcome<ClipMuxer::Ending> written = write(reserve);
        if (!written)
            return CutResult::failed(written.error());
        if (written.value() == ClipMuxer::Ending::Finished)
            return CutResult::written(container.extension, firstShown);
        if (written.value() == ClipMuxer::Ending::WithoutRuns) {
            qCInfo(lcMedia) << "clip of" << source << "is written again without runs";
            withRuns = false;
            sourceFile.readEverything();
            if (const Outcome<void> opened = reopen(); !opened)
                return CutResult::failed(opened.error());
            --attempt;
            continue;
        }
        reserve *= 4;
    }
    return CutResult::failed(problem(
        QCoreApplication::translate("StreamCopyCutter", "the clip's index does not fit at the front of the file.")));
}

// Reads the source, chooses the clip's container and streams, and plans the clip.
Outcome<PlanResult> ClipJob::prepare()
{
    sourceStamp = stampOf(source);
    Outcome<std::unique_ptr<ClipPlanner>> planner = ClipPlanner::open(source, &cancel);
    if (!planner)
        return Outcome<PlanResult>::failure(planner.error());
    streamsRead = planner.value()->streamsRead();
    // The planner's own reading of the file says what the clip is made of.
    const AVFormatContext* file = planner.value()->file();
    container = chooseContainer(file, source);
    Outcome<std::vector<StreamChoice>> streams = chooseStreams(file, container, problem);
    if (!streams)
        return Outcome<PlanResult>::failure(streams.error());
    chosen = std::move(streams).value();
    video = std::find_if(chosen.begin(), chosen.end(), [](const StreamChoice& c) {
        return c.role == Role::Picture;
    })->input;
    const AVCodecParameters* codec = file->streams[video]->codecpar;
    // Opening the file decodes its first pictures to learn their format. When none
    // could be decoded (a chunk that runs past the end of the file, say), an exact cut,
    // which checks and encodes pictures, would fail later for a reason that is not it.
    if (mode == CutMode::Exact && codec->format == AV_PIX_FMT_NONE)
        return problem.fail<PlanResult>(QCoreApplication::translate(
            "StreamCopyCutter", "some of its pictures cannot be read; the file is damaged."));
    withRuns = container.isMp4Family() && SourceFile::skimmable(file, chosenInputs());
    if (const int status = sourceFile.open(source, &cancel); status < 0)
        return problem.fail<PlanResult>(
            QCoreApplication::translate("StreamCopyCutter", "the video could not be read again."), status);
    if (const Outcome<void> opened = reopen(file); !opened)
        return Outcome<PlanResult>::failure(opened.error());
    PlanResult planned = planner.value()->plan(startTime, endTime, mode, FrameReencoder::supports(codec));
    if (planned.kind == PlanResult::Kind::Planned)
        firstShown = planner.value()->secondsOf(planned.plan.firstPts);
    return planned;
}

// How long the clip is, for the room its index needs.
double ClipJob::seconds() const
{
    if (std::isfinite(endTime))
        return std::max(0.0, endTime - startTime);
    if (input->duration > 0)
        return std::max(0.0, double(input->duration) / AV_TIME_BASE - startTime);
    return 3600.0;
}

// The first clip starts where the source does: sound before the first picture is
// played, and the picture starts that much later (an empty edit in MP4), rather than
// the sound being hidden behind an edit list that starts at the picture.
ClipSpan ClipJob::span() const
{
    const AVStream* stream = input->streams[video];
    const AVRational videoBase = stream->time_base;
    // The clip that holds the video's first picture keeps the sound before it, whether
    // it was asked for from 0 or the range before it holds no picture (and is skipped).
    const bool firstPicture
        = startTime <= 0.0 || (stream->start_time != NO_TIME && plan.firstPts <= stream->start_time);
    ClipSpan span{plan.firstPts, plan.endPts.value_or(LATEST), 0, firstPicture, videoBase};
    if (!span.fromTop)
        return span;
    for (const StreamChoice& choice : chosen) {
        const AVStream* from = input->streams[choice.input];
        if (choice.role != Role::Picture && from->start_time != NO_TIME)
            span.lead = std::max(span.lead, plan.firstPts - av_rescale_q(from->start_time, from->time_base, videoBase));
    }
    return span;
}

Outcome<ClipMuxer::Ending> ClipJob::write(int64_t moovReserve)
{
    using Result = Outcome<ClipMuxer::Ending>;
    // First, as it may open the source again: the streams are taken from it after.
    if (const Outcome<void> placed = position(); !placed)
        return Result::failure(placed.error());
    const AVStream* videoStream = input->streams[video];
    Outcome<SpliceEncoders> encoders = SpliceEncoders::open(plan, videoStream, problem);
    if (!encoders)
        return Result::failure(encoders.error());
    if (withRuns)
        sourceFile.skimSamples(input.get(), chosenInputs());
    runsRefused = false;
    Outcome<std::unique_ptr<ClipMuxer>> opened
        = ClipMuxer::open(outputDescriptor, container, problem, withRuns ? &sourceFile : nullptr);
    if (!opened)
        return Result::failure(opened.error());
    ClipMuxer& muxer = *opened.value();
    const ClipSpan clip = span();
    const double clipStart = double(plan.firstPts - (videoStream->start_time != NO_TIME ? videoStream->start_time : 0))
        * av_q2d(videoStream->time_base);
    muxer.copyFileMetadata(input->metadata, clipStart, videoStream->avg_frame_rate);
    if (const Outcome<void> chapters = muxer.copyChapters(input.get(), clip.firstPts - clip.lead,
            clip.endPts == LATEST ? std::numeric_limits<int64_t>::max() : clip.endPts, videoStream->time_base);
        !chapters)
        return Result::failure(chapters.error());
    std::vector<std::unique_ptr<CopiedStream>> copied;
    CopiedStream* picture = nullptr;
    for (const StreamChoice& choice : chosen) {
        const AVStream* from = input->streams[choice.input];
        const Outcome<AVStream*> to = muxer.addStream(from, clipStart, videoStream->avg_frame_rate);
        if (!to)
            return Result::failure(to.error());
        // Packed B-frames are unpacked as they are read, and the clip says so.
        if (choice.role == Role::Picture && SourceReader::unpacks(input.get(), choice.input)
            && !SourceReader::unpackedHeader(from->codecpar, to.value()->codecpar))
            return Result::failure(problem.outOfMemory());
        if (choice.role == Role::Picture && from->codecpar->codec_id == AV_CODEC_ID_H264
            && !encoders->headers().isEmpty()) {
            if (const Outcome<void> extended = muxer.addH264Headers(to.value(), encoders->headers()); !extended)
                return Result::failure(extended.error());
        }
        copied.push_back(std::make_unique<CopiedStream>(choice, from, to.value(), clip));
        if (choice.role == Role::Picture)
            picture = copied.back().get();
        if (choice.role == Role::Sound)
            preRollOpus(*copied.back(), from, to.value(), clip);
    }
    // Attachments have no packets: the header holds them. A cover picture is one packet.
    std::vector<std::pair<const AVStream*, const AVStream*>> covers;
    for (const int kept : keepsakes(input.get(), container)) {
        const AVStream* from = input->streams[kept];
        const Outcome<AVStream*> to = muxer.addStream(from, clipStart, videoStream->avg_frame_rate);
        if (!to)
            return Result::failure(to.error());
        if (isCoverPicture(from))
            covers.emplace_back(from, to.value());
    }
    if (const Outcome<void> started = muxer.writeHeader(input->metadata, videoStream->time_base, moovReserve); !started)
        return Result::failure(started.error());
    for (const auto& [from, to] : covers) {
        if (const Outcome<void> written = muxer.writeCover(&from->attached_pic, to); !written)
            return Result::failure(written.error());
    }
    VideoSplice splice(plan, videoStream, std::move(encoders).value(), *picture, muxer);
    if (const Outcome<void> done = copyPackets(muxer, copied, splice); !done) {
        if (withRuns && (runsRefused || muxer.runsFailed()))
            return ClipMuxer::Ending::WithoutRuns;
        return Result::failure(done.error());
    }
    const Outcome<ClipMuxer::Ending> ending = muxer.finish();
    // The runs were moved from the file as it is now.
    if (ending && withRuns && sourceChanged())
        return problem.fail<ClipMuxer::Ending>(
            QCoreApplication::translate("StreamCopyCutter", "it was changed while cutting."));
    return ending;
}

// With runs, a packet copied as it is keeps only its place (its data was not read);
// one whose data is looked at is read now.
Outcome<void> ClipJob::takeSourceBytes(CopiedStream& stream, const VideoSplice& splice, AVPacket* packet)
{
    // The plan's keyframes include those only their data names (recovery points).
    if (stream.role() == Role::Picture
        && (packet->pts == plan.openKey.pts || (plan.copyKey && packet->pts == plan.copyKey->pts)
            || (plan.tailKey && packet->pts == plan.tailKey->pts)))
        packet->flags |= AV_PKT_FLAG_KEY;
    if (!sourceFile.isSample(packet)) {
        runsRefused = true;
        return problem.fail(QCoreApplication::translate("StreamCopyCutter", "the video could not be read again."));
    }
    if (stream.role() == Role::Picture && splice.needsData(*packet) && !sourceFile.fill(packet))
        return problem.fail(QCoreApplication::translate("StreamCopyCutter", "the video could not be read again."));
    // Read or not, it is the source's bytes until its data is replaced.
    return markSourceBytes(packet, packet->pos) ? Outcome<void>() : Outcome<void>::failure(problem.outOfMemory());
}

// A later clip's Opus sound in Matroska starts decoding a pre-roll early; the track's
// codec delay (in the header and in the codec's own set-up) drops what comes before
// the clip's first picture, so that neighbouring clips join within a sample.
void ClipJob::preRollOpus(CopiedStream& sound, const AVStream* from, AVStream* to, const ClipSpan& clip) const
{
    AVCodecParameters* codec = to->codecpar;
    if (codec->codec_id != AV_CODEC_ID_OPUS || codec->sample_rate <= 0
        || (container.muxer != QLatin1String("matroska") && container.muxer != QLatin1String("webm")))
        return;
    sound.padToEnd();
    if (clip.fromTop) {
        if (codec->initial_padding > 0 && readsAsMatroska(input.get()))
            sound.keepCodecDelay(av_rescale_q(codec->initial_padding, AVRational{1, 48000}, from->time_base));
        return;
    }
    const int64_t start = av_rescale_q(clip.firstPts, clip.videoBase, from->time_base);
    const std::optional<int64_t> first = preRollPacket(source, cancel, from->index, from->time_base, start);
    if (!first)
        return;
    const int64_t delay = av_rescale_q(start - *first, from->time_base, AVRational{1, 48000});
    if (delay <= 0 || delay > 0xffff)
        return;
    codec->initial_padding = int(delay);
    // OpusHead: the pre-skip is the 16-bit little-endian count after the magic, the
    // version and the channel count.
    if (codec->extradata_size >= 19 && std::memcmp(codec->extradata, "OpusHead", 8) == 0)
        AV_WL16(codec->extradata + 10, uint16_t(delay));
    sound.preRollFrom(*first);
}

// Puts the demuxer before the first packet any stream of the clip needs.
Outcome<void> ClipJob::position()
{
    auto discardOthers = [this] {
        for (unsigned i = 0; i < input->nb_streams; ++i)
            input->streams[i]->discard = AVDISCARD_ALL;
        for (const StreamChoice& choice : chosen)
            input->streams[choice.input]->discard = AVDISCARD_DEFAULT;
    };
    discardOthers();
    const AVRational videoBase = input->streams[video]->time_base;
    const bool subtitles = std::any_of(
        chosen.begin(), chosen.end(), [](const StreamChoice& choice) { return choice.role == Role::Text; });
    const double margin = subtitles ? SUBTITLE_MARGIN_SECONDS : SEEK_MARGIN_SECONDS;
    const int64_t earliest = std::min(plan.openKey.dts, plan.firstPts)
        - av_rescale_q(int64_t(margin * AV_TIME_BASE), MICROSECONDS, videoBase);
    const int64_t fileStart
        = input->start_time != NO_TIME ? av_rescale_q(input->start_time, MICROSECONDS, videoBase) : 0;
    // The MP4 demuxer places the other streams at the time of the video sample it
    // seeks to, which skips sound packets before the first picture (the encoder's
    // priming); for the clip that keeps them, reopening is the only exact start.
    if (!span().fromTop && earliest > fileStart && seekToKeyBefore(input.get(), video, earliest, plan.openKey.dts))
        return {};
    if (const Outcome<void> opened = reopen(); !opened)
        return opened;
    discardOthers();
    return {};
}

// The source opened again (like the file `like` opened, by default the last one). With
// runs, packets come as the file stores them: no parser reads their data (which is not
// read), so keyframes are those the index states.
Outcome<void> ClipJob::reopen(const AVFormatContext* like)
{
    if (!like)
        like = input.get();
    Outcome<InputFormat> reopened = withRuns && like
        ? openInputLike(source, like, &cancel, sourceFile.reader(), AVFMT_FLAG_NOPARSE | AVFMT_FLAG_NOFILLIN)
        : openInput(source, &cancel, sourceFile.reader());
    if (!reopened)
        return problem.fail(QCoreApplication::translate("StreamCopyCutter", "the video could not be read again."));
    input = std::move(reopened).value();
    // Once the header is read, packets are read straight into their own buffers, not
    // through the reader's: a skipped read then costs nothing, where a buffered one
    // would copy what was never read.
    if (withRuns)
        input->pb->direct = 1;
    return {};
}

Outcome<void> ClipJob::copyPackets(
    ClipMuxer& muxer, std::vector<std::unique_ptr<CopiedStream>>& copied, VideoSplice& splice)
{
    std::vector<CopiedStream*> byInput(input->nb_streams, nullptr);
    for (const std::unique_ptr<CopiedStream>& stream : copied)
        byInput[size_t(stream->input())] = stream.get();
    // A stream that ends before the clip does (a short sound track, a subtitle's last
    // cue) must not keep the copy reading to the end of the file.
    const double stopAfter = plan.endPts ? double(*plan.endPts) * av_q2d(input->streams[video]->time_base) + 2.0
                                         : std::numeric_limits<double>::infinity();
    auto allDone = [&copied] {
        return std::all_of(copied.begin(), copied.end(), [](const auto& stream) { return stream->done(); });
    };
    Packet packet(av_packet_alloc());
    if (!packet)
        return Outcome<void>::failure(problem.outOfMemory());
    int status = 0;
    SourceReader reader(input.get());
    while (!allDone() && (status = reader.read(packet.get())) >= 0) {
        const auto index = size_t(packet->stream_index);
        CopiedStream* stream = index < byInput.size() ? byInput[index] : nullptr;
        if (!stream || stream->done()) {
            av_packet_unref(packet.get());
            continue;
        }
        Packet taken(av_packet_alloc());
        if (!taken)
            return Outcome<void>::failure(problem.outOfMemory());
        av_packet_move_ref(taken.get(), packet.get());
        if (withRuns) {
            if (const Outcome<void> placed = takeSourceBytes(*stream, splice, taken.get()); !placed)
                return placed;
        }
        if (taken->flags & AV_PKT_FLAG_CORRUPT)
            return problem.fail(sourceChanged()
                    ? QCoreApplication::translate("StreamCopyCutter", "it was changed while cutting.")
                    : QCoreApplication::translate("StreamCopyCutter",
                        "the video ends early or is damaged within the clip; "
                        "the file may be incomplete."));
        if (taken->dts != NO_TIME && splice.finished()
            && double(taken->dts) * av_q2d(input->streams[index]->time_base) > stopAfter)
            break;
        // How far through the range the pictures are; a second attempt (a bigger movie
        // box) does not move it back.
        if (stream->role() == Role::Picture && taken->dts != NO_TIME && seconds() > 0.0) {
            const double reached = double(taken->dts) * av_q2d(input->streams[index]->time_base) - startTime;
            progress.set(std::max(progress.fraction(), reached / seconds()));
        }
        const Outcome<void> used
            = stream->role() == Role::Picture ? splice.take(std::move(taken)) : stream->take(muxer, std::move(taken));
        if (!used)
            return used;
    }
    if (status < 0 && status != AVERROR_EOF)
        return problem.fail(
            QCoreApplication::translate("StreamCopyCutter", "the video could not be read to the end of the clip"),
            status);
    if (const Outcome<void> finished = splice.finish(); !finished)
        return finished;
    for (const std::unique_ptr<CopiedStream>& stream : copied) {
        if (const Outcome<void> flushed = stream->flush(muxer); !flushed)
            return flushed;
    }
    return checkComplete(splice.tally());
}

namespace {

// Where the pictures end as the file states it: by its index, or else by a Matroska
// track's DURATION tag (FFmpeg and MKVToolNix write one: the track's end), which a
// file cut short keeps in its header.
std::optional<int64_t> statedEnd(const AVStream* stream)
{
    if (stream->duration != NO_TIME && stream->duration > 0)
        return (stream->start_time != NO_TIME ? stream->start_time : 0) + stream->duration;
    const AVDictionaryEntry* tag = av_dict_get(stream->metadata, "DURATION", nullptr, 0);
    int hours = 0;
    int minutes = 0;
    double seconds = 0.0;
    if (!tag || std::sscanf(tag->value, "%d:%d:%lf", &hours, &minutes, &seconds) != 3 || hours < 0 || minutes < 0
        || !(seconds >= 0.0))
        return std::nullopt;
    return std::llround((hours * 3600.0 + minutes * 60.0 + seconds) / av_q2d(stream->time_base));
}

} // namespace

// The clip holds every frame it should: the source delivered the whole range, and
// every frame read was written, copied or encoded again.
Outcome<void> ClipJob::checkComplete(const SpliceTally& tally) const
{
    const AVStream* stream = input->streams[video];
    bool whole = tally.begun;
    if (whole && plan.endPts)
        whole = tally.reachedEnd;
    const std::optional<int64_t> end = statedEnd(stream);
    if (whole && !plan.endPts && end && tally.lastShownEnd != NO_TIME) {
        // The last clip: the video's own length, as the file states it, was read.
        const int64_t slack = av_rescale_q(AV_TIME_BASE / 2, MICROSECONDS, stream->time_base);
        whole = tally.lastShownEnd >= *end - slack;
    }
    if (!whole) {
        if (sourceChanged())
            return problem.fail(QCoreApplication::translate(
                "StreamCopyCutter", "the video ended before the end of the clip; it was changed while cutting."));
        return problem.fail(QCoreApplication::translate(
            "StreamCopyCutter", "the video ends early; the file may be incomplete or damaged."));
    }
    if (tally.copied + tally.encoded != tally.sourceFrames) {
        qCInfo(lcMedia) << "clip of" << source << "holds" << tally.copied << "copied and" << tally.encoded
                        << "encoded frames of" << tally.sourceFrames;
        return problem.fail(QCoreApplication::translate(
            "StreamCopyCutter", "the video is damaged within the clip: %1 of its %2 frames could be read.")
                                .arg(tally.copied + tally.encoded)
                                .arg(tally.sourceFrames));
    }
    return {};
}

// What stops every clip of a source alike, found before any is cut: a track its clips'
// container cannot carry, or frames without the times they are shown at.
Outcome<void> checkCuttable(const QString& source, ClipPlanner& planner)
{
    const Container container = chooseContainer(planner.file(), source);
    const Outcome<std::vector<StreamChoice>> streams
        = chooseStreams(planner.file(), container, CutProblem(displayName(source)));
    if (!streams)
        return Outcome<void>::failure(streams.error());
    return planner.checkReadable();
}

} // namespace

CutResult StreamCopyCutter::cut(const QString& source, double startTime, double endTime, const CutOutput& output,
                                CutMode mode, const CancelToken& cancel, const CutProgress& progress)
{
    return ClipJob(source, startTime, endTime, output, mode, cancel, progress).run();
}

Outcome<StreamCopyCutter::Preview> StreamCopyCutter::preview(
    const QString& source, const std::vector<std::pair<double, double>>& ranges, CutMode mode, bool countFrames)
{
    Outcome<std::unique_ptr<ClipPlanner>> opened = ClipPlanner::open(source);
    if (!opened)
        return Outcome<Preview>::failure(opened.error());
    ClipPlanner& planner = *opened.value();
    if (const Outcome<void> cuttable = checkCuttable(source, planner); !cuttable)
        return Outcome<Preview>::failure(cuttable.error());
    Preview preview;
    preview.streamsRead = planner.streamsRead();
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
