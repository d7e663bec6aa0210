#include "ClipPlan.h"

#include <algorithm>
#include <cmath>
#include <limits>

extern "C" {
#include <libavutil/mathematics.h>
}

#include <QCoreApplication>

#include "FrameReencoder.h"
#include "MediaLog.h"
#include "ParameterSets.h"

namespace {

constexpr int64_t NO_TIME = AV_NOPTS_VALUE;
constexpr AVRational MICROSECONDS{1, AV_TIME_BASE};
// Timestamps within a microsecond of a frame's time count as that frame's time, so a
// split asked for at a frame's printed time lands on that frame.
constexpr double TOLERANCE_SECONDS = 1e-6;
// How far around a time the packets are read first; doubled and more when that is
// not enough (long keyframe spacing).
constexpr double MARGIN_SECONDS = 1.0;
// Beyond this, the reading starts at the top of the file.
constexpr int64_t WIDEST = 256;

bool containsNal(const AVPacket* packet, int lengthSize, bool (*wanted)(int))
{
    const auto units = lengthSize > 0 ? lengthPrefixedNalUnits(packet->data, packet->size, lengthSize) : std::nullopt;
    const std::vector<QByteArray> list = units ? *units : annexBNalUnits(packet->data, packet->size);
    return std::any_of(list.begin(), list.end(), [&](const QByteArray& unit) {
        return !unit.isEmpty() && wanted(uint8_t(unit[0]));
    });
}

} // namespace

void markLeading(std::vector<ScannedPacket>& packets)
{
    for (size_t i = 0; i < packets.size(); ++i) {
        if (!packets[i].key)
            continue;
        for (size_t j = i + 1; j < packets.size() && packets[j].dts < packets[i].pts; ++j) {
            if (packets[j].pts < packets[i].pts) {
                packets[i].leading = true;
                break;
            }
        }
    }
}

FrameCount countClipFrames(const std::vector<ScannedPacket>& packets, const ClipPlan& plan)
{
    const int64_t end = plan.endPts.value_or(std::numeric_limits<int64_t>::max());
    const int64_t headEnd = plan.copyKey ? std::min(plan.copyKey->pts, end) : end;
    const int64_t tailStart = plan.hasTail() ? plan.copyUntil : end;
    FrameCount count;
    for (const ScannedPacket& packet : packets) {
        if (packet.pts < plan.firstPts || packet.pts >= end)
            continue;
        ++count.frames;
        if (packet.pts < headEnd || packet.pts >= tailStart)
            ++count.encoded;
    }
    return count;
}

namespace {

constexpr int64_t EARLIEST = std::numeric_limits<int64_t>::min() / 2;
constexpr int64_t LATEST = std::numeric_limits<int64_t>::max() / 2;

// One clip's planning: where the packets come from, what is known of the track, and
// whether a read failed (then no answer counts).
struct Search {
    PacketReader& reader;
    const TrackTiming& track;
    bool failed = false;

    std::vector<ScannedPacket> read(int64_t from, int64_t until) { return reader.read(from, until, &failed); }
};

// The time of the first frame shown at or after threshold; none after the last one.
std::optional<int64_t> firstPtsAtOrAfter(Search& search, int64_t threshold)
{
    const int64_t margin = search.track.margin;
    for (int64_t ahead = margin;; ahead *= 4) {
        const std::vector<ScannedPacket> packets = search.read(threshold - margin, threshold + ahead);
        if (search.failed)
            return std::nullopt;
        std::optional<int64_t> first;
        for (const ScannedPacket& packet : packets) {
            if (packet.pts >= threshold && (!first || packet.pts < *first))
                first = packet.pts;
        }
        // The read stops once a packet decodes past threshold + ahead; any frame shown
        // earlier than that has been seen, since nothing is shown before it decodes.
        const bool reachedEnd = packets.empty() || packets.back().dts <= threshold + ahead;
        if ((first && *first <= threshold + ahead) || reachedEnd)
            return first;
    }
}

// Reads back from `threshold` over ever wider stretches, the last one from the track's
// start, until `settled` can answer from the packets seen (or a read fails).
template <typename Settled>
void scanBack(Search& search, int64_t threshold, Settled settled)
{
    const int64_t margin = search.track.margin;
    for (int64_t back = margin;; back *= 4) {
        const bool fromTop = back > WIDEST * margin;
        const std::vector<ScannedPacket> packets = search.read(fromTop ? EARLIEST : threshold - back, threshold + margin);
        if (search.failed || settled(packets, fromTop))
            return;
    }
}

// The last keyframe, in decode order, that a decoder can start at and that is shown
// no later than `threshold`, with no picture before it that it leaves undecodable.
std::optional<ScannedPacket> keyAtOrBefore(Search& search, int64_t threshold)
{
    std::optional<ScannedPacket> best;
    scanBack(search, threshold, [&best, threshold](const std::vector<ScannedPacket>& packets, bool fromTop) {
        for (const ScannedPacket& packet : packets) {
            if (packet.clean && !packet.leading && packet.pts <= threshold)
                best = packet;
        }
        return best || fromTop;
    });
    return search.failed ? std::nullopt : best;
}

// The clip's first frame, and the clean keyframe before it in decode order that the
// head is decoded from.
PlanDecision planStart(Search& search, int64_t threshold, ClipPlan& plan)
{
    PlanDecision result;
    scanBack(search, threshold, [&](const std::vector<ScannedPacket>& packets, bool fromTop) {
        std::optional<size_t> first;
        for (size_t i = 0; i < packets.size(); ++i) {
            if (packets[i].pts >= threshold && (!first || packets[i].pts < packets[*first].pts))
                first = i;
        }
        if (!first) {
            result.kind = PlanResult::Kind::Empty;
            return true;
        }
        std::optional<size_t> key;
        for (size_t i = 0; i <= *first; ++i) {
            if (packets[i].clean && packets[i].pts <= packets[*first].pts)
                key = i;
        }
        if (key) {
            plan.firstPts = packets[*first].pts;
            plan.openKey = packets[*key];
            result.kind = PlanResult::Kind::Planned;
            return true;
        }
        if (!fromTop)
            return false;
        // No keyframe before the first frame: frames before any keyframe cannot be
        // shown by anyone; start from the first clean keyframe there is.
        const auto clean = std::find_if(packets.begin(), packets.end(), [](const ScannedPacket& p) { return p.clean; });
        if (clean == packets.end()) {
            result = {PlanResult::Kind::Failed, {}, PlanProblem::NoFirstKeyframe};
            return true;
        }
        plan.firstPts = std::max(packets[*first].pts, clean->pts);
        plan.openKey = *clean;
        result.kind = PlanResult::Kind::Planned;
        return true;
    });
    return result;
}

// The first keyframe from the clip's first frame on where copying can begin.
void findCopyKey(Search& search, ClipPlan& plan)
{
    const int64_t margin = search.track.margin;
    const int64_t limit = plan.endPts.value_or(LATEST);
    for (int64_t ahead = margin;; ahead *= 4) {
        const std::vector<ScannedPacket> packets = search.read(plan.firstPts, plan.firstPts + ahead);
        if (search.failed)
            return;
        for (const ScannedPacket& packet : packets) {
            if (packet.pts >= limit)
                continue;
            if (packet.pts >= plan.firstPts && packet.clean && (!packet.leading || search.track.mayDropLeading)
                && packet.dts >= plan.openKey.dts) {
                // Whether it has leading pictures is known once the read has gone past
                // its shown time.
                if (packets.back().dts >= packet.pts || packets.back().dts <= plan.firstPts + ahead) {
                    plan.copyKey = packet;
                    return;
                }
            }
        }
        const bool reachedEnd = packets.empty() || packets.back().dts <= plan.firstPts + ahead;
        if (reachedEnd || packets.back().dts >= limit)
            return;
    }
}

// Where the copy must stop so that no frame shown after the end is needed, and what
// has to be encoded again after it.
void findCopyEnd(Search& search, ClipPlan& plan)
{
    if (!plan.endPts || !plan.copyKey)
        return;
    const int64_t end = *plan.endPts;
    const ScannedPacket copyKey = *plan.copyKey;
    int64_t from = end - 1;
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::vector<ScannedPacket> packets = search.read(from, end);
        if (search.failed)
            return;
        // The window starts at a keyframe; everything decoded before a keyframe is
        // shown before it, so the copy may always stop right there.
        const bool atCopyKey = packets.empty() || packets.front().dts <= copyKey.dts;
        if (atCopyKey) {
            const auto it = std::find_if(packets.begin(), packets.end(), [&](const ScannedPacket& p) {
                return p.key && p.pts == copyKey.pts;
            });
            if (it == packets.end()) {
                plan.copyKey.reset(); // the copy key vanished: a file that reads differently each time
                return;
            }
            packets.erase(packets.begin(), it);
            packets.erase(std::remove_if(packets.begin() + 1, packets.end(),
                                         [&](const ScannedPacket& p) { return p.pts < copyKey.pts; }),
                          packets.end());
        }
        std::vector<int64_t> laterMinimum(packets.size() + 1, std::numeric_limits<int64_t>::max());
        for (size_t i = packets.size(); i-- > 0;)
            laterMinimum[i] = std::min(laterMinimum[i + 1], packets[i].pts);
        size_t stop = 0;
        int64_t shownMaximum = std::numeric_limits<int64_t>::min();
        for (size_t i = 0; i < packets.size(); ++i) {
            shownMaximum = std::max(shownMaximum, packets[i].pts);
            if (shownMaximum >= end)
                break;
            if (shownMaximum < laterMinimum[i + 1])
                stop = i + 1;
        }
        plan.copyUntil = std::min(laterMinimum[stop], end);
        if (plan.copyUntil >= end)
            return;
        std::optional<ScannedPacket> tailKey;
        for (size_t i = 0; i < stop; ++i) {
            if (packets[i].clean)
                tailKey = packets[i];
        }
        if (tailKey) {
            plan.tailKey = tailKey;
            return;
        }
        if (atCopyKey) {
            plan.copyKey.reset(); // nothing can be copied: the whole clip is encoded again
            plan.copyUntil = std::numeric_limits<int64_t>::max();
            return;
        }
        // The last frames before the end are leading pictures of the keyframe this
        // read began at (decoded after it, shown before it): the clip is encoded again
        // whole. A tail decoded from an earlier keyframe would do, but GStreamer does
        // not show the last pictures of such a tail after a copied stretch.
        if (packets.front().pts - 1 >= packets.front().dts)
            break;
        from = packets.front().pts - 1;
    }
    plan.copyKey.reset();
    plan.copyUntil = std::numeric_limits<int64_t>::max();
}

} // namespace

PlanDecision planClip(PacketReader& reader, const TrackTiming& track, int64_t start, std::optional<int64_t> end,
                      bool onKeyframes)
{
    Search search{reader, track};
    auto failure = [](PlanProblem problem) { return PlanDecision{PlanResult::Kind::Failed, {}, problem}; };
    // A split this close to the stated end may find no frame after it; earlier, none
    // means the video is shorter than it says.
    const int64_t lastSplit = track.knownEnd - track.endSlack;
    ClipPlan plan;
    int64_t threshold = start;
    if (onKeyframes) {
        const std::optional<ScannedPacket> key = keyAtOrBefore(search, threshold);
        if (search.failed)
            return failure(PlanProblem::Unreadable);
        threshold = key ? key->pts : EARLIEST;
    }
    const PlanDecision first = planStart(search, threshold, plan);
    if (search.failed)
        return failure(PlanProblem::Unreadable);
    if (first.kind == PlanResult::Kind::Failed)
        return first;
    if (first.kind == PlanResult::Kind::Empty)
        return start < lastSplit ? failure(PlanProblem::EndsEarly) : first;

    if (end) {
        if (*end <= start)
            return {PlanResult::Kind::Empty, {}, PlanProblem::None};
        plan.endPts = firstPtsAtOrAfter(search, *end);
        if (search.failed)
            return failure(PlanProblem::Unreadable);
        if (!plan.endPts && *end < lastSplit)
            return failure(PlanProblem::EndsEarly);
        if (plan.endPts && onKeyframes) {
            // The next clip starts at this keyframe; a clip to the video's end stays so.
            const std::optional<ScannedPacket> key = keyAtOrBefore(search, *end);
            if (search.failed)
                return failure(PlanProblem::Unreadable);
            plan.endPts = key ? key->pts : plan.firstPts;
        }
        if (plan.endPts && *plan.endPts <= plan.firstPts) // both ends on one frame: said where
            return {PlanResult::Kind::Empty, plan, PlanProblem::None};
    }
    if (onKeyframes) {
        plan.copyKey = plan.openKey;
        plan.firstPts = plan.openKey.pts;
        plan.copyUntil = plan.endPts.value_or(std::numeric_limits<int64_t>::max());
        return {PlanResult::Kind::Planned, plan, PlanProblem::None};
    }
    findCopyKey(search, plan);
    if (!search.failed)
        findCopyEnd(search, plan);
    if (search.failed)
        return failure(PlanProblem::Unreadable);
    plan.dropLeading = plan.copyKey && plan.copyKey->leading;
    return {PlanResult::Kind::Planned, plan, PlanProblem::None};
}

ClipPlanner::~ClipPlanner() = default;

Outcome<std::unique_ptr<ClipPlanner>> ClipPlanner::open(const QString& source, const CancelToken* cancel)
{
    std::unique_ptr<ClipPlanner> self(new ClipPlanner);
    self->source = source;
    self->cancel = cancel;
    QString error;
    self->input = openInput(source, &error, cancel);
    if (!self->input)
        return Outcome<std::unique_ptr<ClipPlanner>>::failure(error);
    self->video = bestVideoStream(self->input.get());
    if (self->video < 0)
        return Outcome<std::unique_ptr<ClipPlanner>>::failure(
            self->problem(QCoreApplication::translate("ClipPlan", "it has no video track.")));
    const AVStream* stream = self->input->streams[self->video];
    self->base = stream->time_base;
    self->origin = self->input->start_time != NO_TIME ? av_rescale_q(self->input->start_time, MICROSECONDS, self->base) : 0;
    const AVCodecParameters* codec = stream->codecpar;
    if (const QString tooLarge = oversizedPictureProblem(codec); !tooLarge.isEmpty())
        return Outcome<std::unique_ptr<ClipPlanner>>::failure(self->problem(tooLarge + QLatin1Char('.')));
    if (codec->codec_id == AV_CODEC_ID_H264 || codec->codec_id == AV_CODEC_ID_HEVC)
        self->lengthSize = FrameReencoder::unitFraming(codec).value_or(4);
    // HEVC's leading pictures are never references for the pictures after them, so a
    // copy may start at any IRAP picture and leave them out.
    self->mayDropLeading = codec->codec_id == AV_CODEC_ID_HEVC;
    return Outcome<std::unique_ptr<ClipPlanner>>(std::move(self));
}

QString ClipPlanner::problem(const QString& what) const
{
    return cutProblem(displayName(source), what);
}

int64_t ClipPlanner::toTicks(double seconds) const
{
    const double ticks = (seconds - TOLERANCE_SECONDS) / av_q2d(base);
    if (ticks >= 9.0e18)
        return std::numeric_limits<int64_t>::max() / 2;
    if (ticks <= -9.0e18)
        return std::numeric_limits<int64_t>::min() / 2;
    return origin + static_cast<int64_t>(std::ceil(ticks));
}

// The picture's end as the file states it: the sound may run on after it, and a split
// there leaves a clip with no picture. And how close to it a split may find no frame.
TrackTiming ClipPlanner::timing() const
{
    const AVStream* stream = input->streams[video];
    TrackTiming track;
    track.margin = std::max<int64_t>(1, av_rescale_q(int64_t(MARGIN_SECONDS * AV_TIME_BASE), MICROSECONDS, base));
    if (stream->duration != NO_TIME && stream->duration > 0)
        track.knownEnd = stream->duration + (stream->start_time != NO_TIME ? stream->start_time : 0);
    else if (input->duration != NO_TIME && input->duration > 0)
        track.knownEnd = origin + av_rescale_q(input->duration, MICROSECONDS, base);
    const AVRational rate = stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : stream->r_frame_rate;
    const double frame = rate.num > 0 && rate.den > 0 ? av_q2d(av_inv_q(rate)) : 0.1;
    track.endSlack = av_rescale_q(std::llround(std::max(0.5, 4.0 * frame) * AV_TIME_BASE), MICROSECONDS, base);
    track.mayDropLeading = mayDropLeading;
    return track;
}

bool ClipPlanner::isClean(const AVPacket* packet) const
{
    if (!(packet->flags & AV_PKT_FLAG_KEY))
        return false;
    switch (input->streams[video]->codecpar->codec_id) {
    case AV_CODEC_ID_H264:
        // An open-GOP I picture is marked as a keyframe too, but the pictures after
        // it may refer to pictures before it; only an IDR starts afresh.
        return containsNal(packet, lengthSize, [](int header) { return (header & 0x1f) == 5; });
    case AV_CODEC_ID_HEVC:
        return containsNal(packet, lengthSize, [](int header) {
            const int type = (header >> 1) & 0x3f;
            return type >= 16 && type <= 23;
        });
    default:
        return true;
    }
}

std::vector<ScannedPacket> ClipPlanner::read(int64_t from, int64_t until, bool* failed)
{
    std::vector<ScannedPacket> packets;
    for (unsigned i = 0; i < input->nb_streams; ++i)
        input->streams[i]->discard = int(i) == video ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    // Before the first keyframe the seek fails, or lands on the last keyframe of
    // all (libavformat's answer to INT64_MIN): read from the top instead.
    const int64_t fileStart = input->streams[video]->start_time != NO_TIME ? input->streams[video]->start_time : origin;
    int status = 0;
    if (from <= fileStart || !seekToKeyBefore(input.get(), video, from, from)) {
        QString error;
        input = openInput(source, &error, cancel);
        if (!input) {
            *failed = true;
            return packets;
        }
        for (unsigned i = 0; i < input->nb_streams; ++i)
            input->streams[i]->discard = int(i) == video ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    }
    Packet packet(av_packet_alloc());
    bool first = true;
    while ((status = av_read_frame(input.get(), packet.get())) >= 0) {
        if (packet->stream_index == video) {
            if (packet->pts == NO_TIME) {
                // Without shown times (AVI, some MPEG files) a frame's place cannot be
                // known from its packet: refuse rather than guess and cut wrong frames.
                noShownTimes = true;
                *failed = true;
                return packets;
            }
            const int64_t dts = packet->dts != NO_TIME ? packet->dts : packet->pts;
            const bool key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
            // A seek lands on a keyframe; anything read before one cannot be decoded.
            if (key || !first)
                packets.push_back({packet->pts, dts, key, isClean(packet.get()), false});
            first = first && !key;
            if (dts > until) {
                av_packet_unref(packet.get());
                break;
            }
        }
        av_packet_unref(packet.get());
    }
    if (status < 0 && status != AVERROR_EOF) {
        qCInfo(lcMedia) << "av_read_frame failed while planning" << source << ffmpegErrorText(status);
        *failed = true;
    }
    markLeading(packets);
    return packets;
}

Outcome<std::vector<ScannedPacket>> ClipPlanner::allPackets()
{
    bool failed = false;
    std::vector<ScannedPacket> packets
        = read(std::numeric_limits<int64_t>::min() / 2, std::numeric_limits<int64_t>::max() / 2, &failed);
    if (failed)
        return Outcome<std::vector<ScannedPacket>>::failure(unreadableProblem());
    return packets;
}

double ClipPlanner::secondsOf(int64_t pts) const
{
    return std::max(0.0, double(pts - origin) * av_q2d(base));
}

QString ClipPlanner::unreadableProblem() const
{
    return problem(noShownTimes
            ? QCoreApplication::translate("ClipPlan", "its frames carry no presentation times, so it cannot be cut exactly.")
            : QCoreApplication::translate("ClipPlan", "the video is damaged or could not be read."));
}

PlanResult ClipPlanner::plan(double startTime, double endTime, CutMode mode, bool canReencode)
{
    if (!std::isfinite(startTime) || startTime < 0.0)
        startTime = 0.0;
    const std::optional<int64_t> end = std::isfinite(endTime) ? std::optional<int64_t>(toTicks(endTime)) : std::nullopt;
    const PlanDecision decision
        = planClip(*this, timing(), toTicks(startTime), end, mode == CutMode::KeyframesOnly || !canReencode);
    switch (decision.problem) {
    case PlanProblem::None:
        break;
    case PlanProblem::Unreadable:
        return {PlanResult::Kind::Failed, {}, unreadableProblem()};
    case PlanProblem::EndsEarly:
        return {PlanResult::Kind::Failed, {},
                problem(QCoreApplication::translate("ClipPlan",
                                                    "the video ends early; the file may be incomplete or damaged."))};
    case PlanProblem::NoFirstKeyframe:
        return {PlanResult::Kind::Failed, {},
                problem(QCoreApplication::translate("ClipPlan", "its first keyframe cannot be read; the file is damaged."))};
    }
    const ClipPlan& plan = decision.plan;
    if (decision.kind == PlanResult::Kind::Planned)
        qCDebug(lcMedia) << "clip of" << source << "from" << plan.firstPts << "to" << plan.endPts.value_or(-1)
                         << "copying from" << (plan.copyKey ? plan.copyKey->pts : -1) << "until" << plan.copyUntil
                         << "tail from" << (plan.tailKey ? plan.tailKey->pts : -1);
    return {decision.kind, plan, {}};
}
