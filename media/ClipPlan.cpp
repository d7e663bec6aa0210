#include "ClipPlan.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <mutex>
#include <tuple>

#include <sys/stat.h>

extern "C" {
#include <libavutil/mathematics.h>
}

#include <QCoreApplication>

#include "CutProblem.h"
#include "FileNames.h"
#include "FrameReencoder.h"
#include "MediaLog.h"
#include "ParameterSets.h"
#include "SourceRuns.h"

namespace {

constexpr int64_t NO_TIME = AV_NOPTS_VALUE;
constexpr AVRational MICROSECONDS{1, AV_TIME_BASE};
// Times up to half a millisecond after a frame's start count as that frame's: times
// are printed to the millisecond, so a split asked for at a frame's printed time lands
// on that frame.
constexpr double TOLERANCE_SECONDS = 0.0005;
// How far around a time the packets are read first; doubled and more when that is
// not enough (long keyframe spacing).
constexpr double MARGIN_SECONDS = 1.0;
// Beyond this, the reading starts at the top of the file.
constexpr int64_t WIDEST = 256;

std::vector<QByteArray> nalUnits(const AVPacket* packet, int lengthSize)
{
    const auto units = lengthSize > 0 ? lengthPrefixedNalUnits(packet->data, packet->size, lengthSize) : std::nullopt;
    return units ? *units : annexBNalUnits(packet->data, packet->size);
}

bool containsNal(const AVPacket* packet, int lengthSize, bool (*wanted)(int))
{
    const std::vector<QByteArray> list = nalUnits(packet, lengthSize);
    return std::any_of(list.begin(), list.end(), [&](const QByteArray& unit) {
        return !unit.isEmpty() && wanted(uint8_t(unit[0]));
    });
}

// Whether an H.264 picture starts afresh: an IDR picture, or an I picture that says
// it is a recovery point (every picture shown from it on decodes right).
bool startsAfresh(const AVPacket* packet, int lengthSize)
{
    bool recovers = false;
    for (const QByteArray& unit : nalUnits(packet, lengthSize)) {
        const int type = h264NalType(unit);
        if (type == 5)
            return true;
        if (type == 6)
            recovers = recovers || h264RecoveryFrames(unit) == 0u;
        if (type == 1)
            return recovers && h264SliceType(unit).value_or(-1) % 5 == 2;
    }
    return false;
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

// One clip's planning: where the packets come from and what is known of the track.
struct Search {
    PacketReader& reader;
    const TrackTiming& track;

    Outcome<std::vector<ScannedPacket>> read(int64_t from, int64_t until) { return reader.read(from, until); }
};

using Packets = std::vector<ScannedPacket>;

// The time of the first frame shown at or after threshold; none after the last one.
Outcome<std::optional<int64_t>> firstPtsAtOrAfter(Search& search, int64_t threshold)
{
    const int64_t margin = search.track.margin;
    for (int64_t ahead = margin;; ahead *= 4) {
        const Outcome<Packets> read = search.read(threshold - margin, threshold + ahead);
        if (!read)
            return Outcome<std::optional<int64_t>>::failure(read.error());
        const Packets& packets = read.value();
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
Outcome<void> scanBack(Search& search, int64_t threshold, Settled settled)
{
    const int64_t margin = search.track.margin;
    for (int64_t back = margin;; back *= 4) {
        const bool fromTop = back > WIDEST * margin;
        const Outcome<Packets> read = search.read(fromTop ? EARLIEST : threshold - back, threshold + margin);
        if (!read)
            return Outcome<void>::failure(read.error());
        if (settled(read.value(), fromTop))
            return {};
    }
}

// The last keyframe, in decode order, that a decoder can start at and that is shown
// no later than `threshold`, with no picture before it that it leaves undecodable.
Outcome<std::optional<ScannedPacket>> keyAtOrBefore(Search& search, int64_t threshold)
{
    std::optional<ScannedPacket> best;
    const bool mayDropLeading = search.track.mayDropLeading;
    const Outcome<void> scanned = scanBack(search, threshold, [&](const Packets& packets, bool fromTop) {
        for (const ScannedPacket& packet : packets) {
            if (packet.clean && (!packet.leading || mayDropLeading) && packet.pts <= threshold)
                best = packet;
        }
        return best || fromTop;
    });
    if (!scanned)
        return Outcome<std::optional<ScannedPacket>>::failure(scanned.error());
    return best;
}

// Where the clip's first frame is, among packets read back from `threshold`; nothing
// while the packets cannot tell yet.
std::optional<PlanDecision> startAmong(const Packets& packets, bool fromTop, int64_t threshold)
{
    std::optional<size_t> first;
    for (size_t i = 0; i < packets.size(); ++i) {
        if (packets[i].pts >= threshold && (!first || packets[i].pts < packets[*first].pts))
            first = i;
    }
    if (!first)
        return PlanDecision{PlanResult::Kind::Empty, {}, PlanProblem::None, {}};
    PlanDecision result{PlanResult::Kind::Planned, {}, PlanProblem::None, {}};
    std::optional<size_t> key;
    for (size_t i = 0; i <= *first; ++i) {
        if (packets[i].clean && packets[i].pts <= packets[*first].pts)
            key = i;
    }
    if (key) {
        result.plan.firstPts = packets[*first].pts;
        result.plan.openKey = packets[*key];
        return result;
    }
    if (!fromTop)
        return std::nullopt;
    // No keyframe before the first frame: frames before any keyframe cannot be
    // shown by anyone; start from the first clean keyframe there is.
    const auto clean = std::find_if(packets.begin(), packets.end(), [](const ScannedPacket& p) { return p.clean; });
    if (clean == packets.end())
        return PlanDecision{PlanResult::Kind::Failed, {}, PlanProblem::NoFirstKeyframe, {}};
    result.plan.firstPts = std::max(packets[*first].pts, clean->pts);
    result.plan.openKey = *clean;
    return result;
}

// The clip's first frame, and the clean keyframe before it in decode order that the
// head is decoded from.
PlanDecision planStart(Search& search, int64_t threshold)
{
    std::optional<PlanDecision> result;
    const Outcome<void> scanned = scanBack(search, threshold, [&](const Packets& packets, bool fromTop) {
        result = startAmong(packets, fromTop, threshold);
        return result.has_value();
    });
    if (!scanned)
        return {PlanResult::Kind::Failed, {}, PlanProblem::Unreadable, scanned.error()};
    return *result;
}

// The bytes of the frames shown from `from` up to (not including) `until`.
int64_t bytesShown(const Packets& packets, int64_t from, int64_t until)
{
    int64_t bytes = 0;
    for (const ScannedPacket& packet : packets) {
        if (packet.pts >= from && packet.pts < until)
            bytes += packet.size;
    }
    return bytes;
}

// The first keyframe from the clip's first frame on where copying can begin.
Outcome<void> findCopyKey(Search& search, ClipPlan& plan)
{
    const int64_t margin = search.track.margin;
    const int64_t limit = plan.endPts.value_or(LATEST);
    for (int64_t ahead = margin;; ahead *= 4) {
        const Outcome<Packets> read = search.read(plan.firstPts, plan.firstPts + ahead);
        if (!read)
            return Outcome<void>::failure(read.error());
        const Packets& packets = read.value();
        for (const ScannedPacket& packet : packets) {
            if (packet.pts >= limit)
                continue;
            if (packet.pts >= plan.firstPts && packet.clean && (!packet.leading || search.track.mayDropLeading)
                && packet.dts >= plan.openKey.dts) {
                // Whether it has leading pictures is known once the read has gone past
                // its shown time.
                if (packets.back().dts >= packet.pts || packets.back().dts <= plan.firstPts + ahead) {
                    plan.copyKey = packet;
                    plan.headBytes = bytesShown(packets, plan.firstPts, packet.pts);
                    return {};
                }
            }
        }
        const bool reachedEnd = packets.empty() || packets.back().dts <= plan.firstPts + ahead;
        if (reachedEnd || packets.back().dts >= limit) {
            plan.headBytes = bytesShown(packets, plan.firstPts, limit);
            return {};
        }
    }
}

// The packets from the copy's first keyframe on, when a window read back from the
// end reached it: those decoded before it, and those shown before it, are the head's.
// False when the keyframe is not among them (a file that reads differently each time).
bool trimToCopyKey(Packets& packets, const ScannedPacket& copyKey)
{
    const auto it = std::find_if(packets.begin(), packets.end(), [&](const ScannedPacket& p) {
        return p.key && p.pts == copyKey.pts;
    });
    if (it == packets.end())
        return false;
    packets.erase(packets.begin(), it);
    packets.erase(std::remove_if(packets.begin() + 1, packets.end(),
                                 [&](const ScannedPacket& p) { return p.pts < copyKey.pts; }),
                  packets.end());
    return true;
}

// How many of the packets (in decode order, from a keyframe) can be copied with no
// frame shown at or after `end` and none shown after a later one that is needed
// before it; and the first shown time the copy leaves out.
std::pair<size_t, int64_t> copyablePrefix(const Packets& packets, int64_t end)
{
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
    return {stop, std::min(laterMinimum[stop], end)};
}

// Where the copy must stop so that no frame shown after the end is needed, and what
// has to be encoded again after it.
Outcome<void> findCopyEnd(Search& search, ClipPlan& plan)
{
    if (!plan.endPts || !plan.copyKey)
        return {};
    const int64_t end = *plan.endPts;
    const ScannedPacket copyKey = *plan.copyKey;
    auto copyNothing = [&plan] {
        plan.copyKey.reset(); // the whole clip is encoded again
        plan.copyUntil = std::numeric_limits<int64_t>::max();
        return Outcome<void>();
    };
    int64_t from = end - 1;
    for (int attempt = 0; attempt < 16; ++attempt) {
        Outcome<Packets> read = search.read(from, end);
        if (!read)
            return Outcome<void>::failure(read.error());
        Packets& packets = read.value();
        // The window starts at a keyframe; everything decoded before a keyframe is
        // shown before it, so the copy may always stop right there.
        const bool atCopyKey = packets.empty() || packets.front().dts <= copyKey.dts;
        if (atCopyKey && !trimToCopyKey(packets, copyKey))
            return copyNothing();
        const auto [stop, copyUntil] = copyablePrefix(packets, end);
        plan.copyUntil = copyUntil;
        if (plan.copyUntil >= end) {
            if (atCopyKey || packets.front().pts <= end)
                return {};
            // Unless that keyframe is shown after the end (a seek by decode time lands
            // on it when the end is a frame or two before it): then the frames decoded
            // before it may be shown after the end too, or need one that is. The window
            // starts at the keyframe before.
            from = packets.front().dts - 1;
            continue;
        }
        for (size_t i = stop; i-- > 0;) {
            if (packets[i].clean) {
                plan.tailKey = packets[i];
                plan.tailBytes = bytesShown(packets, plan.copyUntil, end);
                return {};
            }
        }
        // The last frames before the end are leading pictures of the keyframe this
        // read began at (decoded after it, shown before it): the tail is decoded from
        // the keyframe before.
        if (atCopyKey)
            return copyNothing();
        from = packets.front().dts - 1;
    }
    return copyNothing();
}

// Each end of a keyframe-mode clip at the clean keyframe at or before it.
PlanDecision onKeyframes(Search& search, ClipPlan plan)
{
    if (plan.endPts) {
        // The next clip starts at this keyframe; a clip to the video's end stays so.
        const Outcome<std::optional<ScannedPacket>> key = keyAtOrBefore(search, *plan.endPts);
        if (!key)
            return {PlanResult::Kind::Failed, {}, PlanProblem::Unreadable, key.error()};
        plan.endPts = key.value() ? key.value()->pts : plan.firstPts;
        if (*plan.endPts <= plan.firstPts) // both ends on one frame: said where
            return {PlanResult::Kind::Empty, plan, PlanProblem::None, {}};
    }
    // A keyframe the file's edit list hides (a video cut mid-GOP by another tool): the
    // frames from the first one shown up to the next keyframe are encoded again.
    const bool hidden = plan.openKey.pts < search.track.shownFrom && search.track.mayEncode;
    plan.copyUntil = plan.endPts.value_or(std::numeric_limits<int64_t>::max());
    if (hidden) {
        if (const Outcome<void> found = findCopyKey(search, plan); !found)
            return {PlanResult::Kind::Failed, {}, PlanProblem::Unreadable, found.error()};
    } else {
        plan.copyKey = plan.openKey;
        plan.firstPts = plan.openKey.pts;
    }
    // In an open GOP, the pictures shown before the end's keyframe are decoded after
    // it: they are encoded again at the end of this clip, and left out of the next.
    if (search.track.mayDropLeading || hidden) {
        if (const Outcome<void> found = findCopyEnd(search, plan); !found)
            return {PlanResult::Kind::Failed, {}, PlanProblem::Unreadable, found.error()};
        plan.dropLeading = plan.copyKey && plan.copyKey->leading;
    }
    return {PlanResult::Kind::Planned, plan, PlanProblem::None, {}};
}

} // namespace

PlanDecision planClip(PacketReader& reader, const TrackTiming& track, int64_t start, std::optional<int64_t> end,
                      bool keyframesOnly)
{
    Search search{reader, track};
    auto unreadable = [](const QString& why) {
        return PlanDecision{PlanResult::Kind::Failed, {}, PlanProblem::Unreadable, why};
    };
    const PlanDecision endsEarly{PlanResult::Kind::Failed, {}, PlanProblem::EndsEarly, {}};
    // A split this close to the stated end may find no frame after it; earlier, none
    // means the video is shorter than it says.
    const int64_t lastSplit = track.knownEnd - track.endSlack;
    // A clip to the video's stated end takes every frame after its start: the frames of
    // an AVI whose first one is late run past it.
    const bool toTheEnd = !end || (track.knownEnd > 0 && *end >= track.knownEnd);
    const int64_t endTicks = toTheEnd ? 0 : *end;
    int64_t threshold = start;
    if (keyframesOnly) {
        // The keyframe at or before the frame the time stands for.
        const Outcome<std::optional<int64_t>> frame = firstPtsAtOrAfter(search, start);
        if (!frame)
            return unreadable(frame.error());
        const Outcome<std::optional<ScannedPacket>> key = keyAtOrBefore(search, frame.value().value_or(start));
        if (!key)
            return unreadable(key.error());
        threshold = key.value() ? std::max(key.value()->pts, track.shownFrom) : EARLIEST;
    }
    const PlanDecision first = planStart(search, threshold);
    if (first.kind == PlanResult::Kind::Failed)
        return first;
    if (first.kind == PlanResult::Kind::Empty)
        return start < lastSplit ? endsEarly : first;
    ClipPlan plan = first.plan;
    if (!toTheEnd) {
        if (endTicks <= start)
            return {PlanResult::Kind::Empty, {}, PlanProblem::None, {}};
        const Outcome<std::optional<int64_t>> endPts = firstPtsAtOrAfter(search, endTicks);
        if (!endPts)
            return unreadable(endPts.error());
        plan.endPts = endPts.value();
        if (!plan.endPts && endTicks < lastSplit)
            return endsEarly;
        if (!keyframesOnly && plan.endPts && *plan.endPts <= plan.firstPts)
            return {PlanResult::Kind::Empty, plan, PlanProblem::None, {}};
    }
    if (keyframesOnly)
        return onKeyframes(search, plan);
    Outcome<void> found = findCopyKey(search, plan);
    if (found)
        found = findCopyEnd(search, plan);
    if (!found)
        return unreadable(found.error());
    plan.dropLeading = plan.copyKey && plan.copyKey->leading;
    return {PlanResult::Kind::Planned, plan, PlanProblem::None, {}};
}

SourceStamp stampOf(const QString& path)
{
    struct stat info { };
    if (::stat(fileNameBytes(path).constData(), &info) != 0)
        return {};
    return {qint64(info.st_size), qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

namespace {

// What a plan is asked for: its ends in seconds (the end infinite: to the video's
// end), whether it keeps to keyframes, and whether frames may be encoded.
using PlanQuestion = std::tuple<double, double, bool, bool>;

} // namespace

// What was read of an MP4 for the clips cut from it at a time: an opening of the file
// with its stream information, never read from, and the plans made. Only MP4's: its
// header names every stream, so a file opened again is the same streams, which
// openInputLike checks.
struct ClipPlanner::Known {
    explicit Known(InputFormat opened) : streams(std::move(opened)) { }
    const InputFormat streams;
    std::mutex mutex;
    std::map<PlanQuestion, PlanResult> plans;
};

namespace {

struct KnownFile {
    SourceStamp stamp;
    std::weak_ptr<ClipPlanner::Known> known;
};
std::mutex knownMutex;
std::map<QString, KnownFile> knownFiles;

std::shared_ptr<ClipPlanner::Known> knownFile(const QString& source, const SourceStamp& stamp)
{
    const std::lock_guard lock(knownMutex);
    const auto found = knownFiles.find(source);
    return found != knownFiles.end() && found->second.stamp == stamp ? found->second.known.lock() : nullptr;
}

void rememberFile(const QString& source, const SourceStamp& stamp, const std::shared_ptr<ClipPlanner::Known>& known)
{
    const std::lock_guard lock(knownMutex);
    std::erase_if(knownFiles, [](const auto& entry) { return entry.second.known.expired(); });
    knownFiles[source] = {stamp, known};
}

} // namespace

ClipPlanner::~ClipPlanner() = default;

Outcome<std::unique_ptr<ClipPlanner>> ClipPlanner::open(const QString& source, const CancelToken* cancel)
{
    std::unique_ptr<ClipPlanner> self(new ClipPlanner);
    self->source = source;
    self->cancel = cancel;
    const SourceStamp stamp = stampOf(source);
    self->known = knownFile(source, stamp);
    if (self->known) {
        Outcome<InputFormat> opened = openInputLike(source, self->known->streams.get(), cancel, nullptr, 0);
        if (opened)
            self->input = std::move(opened).value();
        else
            self->known.reset();
    }
    if (!self->input) {
        if (const Outcome<void> opened = self->reopen(); !opened)
            return Outcome<std::unique_ptr<ClipPlanner>>::failure(opened.error());
        // Kept unread, with no cancel of its own: the next planners only copy from it.
        Outcome<InputFormat> unread = readsAsMp4(self->input.get())
            ? openInputLike(source, self->input.get(), nullptr, nullptr, 0)
            : Outcome<InputFormat>::failure(QString());
        if (unread) {
            self->known = std::make_shared<Known>(std::move(unread).value());
            rememberFile(source, stamp, self->known);
        }
    }
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
    // HEVC's leading pictures are never references for the pictures after them, nor
    // are MPEG-1's, MPEG-2's and MPEG-4's B-frames, nor those of an H.264 recovery point for the pictures
    // shown after it, so a copy may start at any IRAP picture or I-frame of an open
    // GOP and leave them out.
    self->mayDropLeading = codec->codec_id == AV_CODEC_ID_HEVC || codec->codec_id == AV_CODEC_ID_MPEG1VIDEO
        || codec->codec_id == AV_CODEC_ID_MPEG2VIDEO || codec->codec_id == AV_CODEC_ID_MPEG4
        || codec->codec_id == AV_CODEC_ID_H264;
    return Outcome<std::unique_ptr<ClipPlanner>>(std::move(self));
}

QString ClipPlanner::problem(const QString& what) const
{
    return CutProblem(displayName(source))(what);
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
TrackTiming ClipPlanner::timing(bool canReencode) const
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
    track.mayDropLeading = mayDropLeading && canReencode;
    track.mayEncode = canReencode;
    track.shownFrom = origin;
    return track;
}

bool ClipPlanner::isClean(const AVPacket* packet) const
{
    if (!(packet->flags & AV_PKT_FLAG_KEY))
        return false;
    switch (input->streams[video]->codecpar->codec_id) {
    case AV_CODEC_ID_H264:
        // An IDR picture, or the I picture of an open GOP (a recovery point): a copy
        // that starts there is made to start with an IDR picture.
        return startsAfresh(packet, lengthSize);
    case AV_CODEC_ID_HEVC:
        return containsNal(packet, lengthSize, [](int header) {
            const int type = (header >> 1) & 0x3f;
            return type >= 16 && type <= 23;
        });
    default:
        return true;
    }
}

// Opens the file again, for a read from its top.
Outcome<void> ClipPlanner::reopen()
{
    Outcome<InputFormat> opened = openInput(source, cancel);
    if (!opened)
        return Outcome<void>::failure(opened.error());
    input = std::move(opened).value();
    return {};
}

// Back to the picture's first packet. An MP4's index lists every sample, so where the
// first is a keyframe a seek to it is exact; anything else is opened again, which
// reads the stream information anew (and decodes pictures).
Outcome<void> ClipPlanner::rewind()
{
    AVStream* stream = input->streams[video];
    const AVIndexEntry* first = avformat_index_get_entry(stream, 0);
    if (readsAsMp4(input.get()) && first
        && (first->flags & AVINDEX_KEYFRAME)
        && av_seek_frame(input.get(), video, first->timestamp, AVSEEK_FLAG_BACKWARD) >= 0)
        return {};
    return reopen();
}

Outcome<std::vector<ScannedPacket>> ClipPlanner::read(int64_t from, int64_t until)
{
    using Result = Outcome<std::vector<ScannedPacket>>;
    for (const Stretch& stretch : recentReads) {
        if (stretch.from == from && stretch.until == until)
            return stretch.packets;
    }
    // Before the first keyframe the seek fails, or lands on the last keyframe of
    // all (libavformat's answer to INT64_MIN): read from the top instead.
    readOnlyStream(input.get(), video);
    const int64_t fileStart = input->streams[video]->start_time != NO_TIME ? input->streams[video]->start_time : origin;
    if (from <= fileStart || !seekToKeyBefore(input.get(), video, from, from)) {
        if (const Outcome<void> rewound = rewind(); !rewound)
            return Result::failure(rewound.error());
        readOnlyStream(input.get(), video);
    }
    std::vector<ScannedPacket> packets;
    Packet packet(av_packet_alloc());
    if (!packet)
        return Result::failure(CutProblem(displayName(source)).outOfMemory());
    bool first = true;
    int status = 0;
    SourceReader reader(input.get());
    while ((status = reader.read(packet.get())) >= 0) {
        if (packet->stream_index != video) {
            av_packet_unref(packet.get());
            continue;
        }
        // Without shown times (AVI, some MPEG files) a frame's place cannot be known
        // from its packet: refuse rather than guess and cut wrong frames.
        if (packet->pts == NO_TIME)
            return Result::failure(problem(QCoreApplication::translate(
                "ClipPlan", "its frames carry no presentation times, so it cannot be cut exactly.")));
        const int64_t dts = packet->dts != NO_TIME ? packet->dts : packet->pts;
        const bool key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
        // A seek lands on a keyframe; anything read before one cannot be decoded.
        if (key || !first)
            packets.push_back({packet->pts, dts, key, isClean(packet.get()), false, packet->size});
        first = first && !key;
        av_packet_unref(packet.get());
        if (dts > until)
            break;
    }
    if (status < 0 && status != AVERROR_EOF) {
        qCInfo(lcMedia) << "av_read_frame failed while planning" << source << ffmpegErrorText(status);
        return Result::failure(
            problem(QCoreApplication::translate("ClipPlan", "the video is damaged or could not be read.")));
    }
    markLeading(packets);
    constexpr size_t KEPT_STRETCHES = 4;
    if (recentReads.size() == KEPT_STRETCHES)
        recentReads.pop_front();
    recentReads.push_back(Stretch{from, until, packets});
    return packets;
}

Outcome<std::vector<ScannedPacket>> ClipPlanner::allPackets()
{
    if (SourceFile::skimmable(input.get(), {video})) {
        if (Outcome<std::vector<ScannedPacket>> listed = indexedPackets(); listed)
            return listed;
    }
    return read(std::numeric_limits<int64_t>::min() / 2, std::numeric_limits<int64_t>::max() / 2);
}

// Every picture's packet as an MP4's index places it, its data not read: counting a
// clip's frames needs only their times, and a long film's index is read in a moment
// where its gigabytes of pictures would take minutes. What the index calls keyframes
// are marked so; whether a decoder can start at each is not looked at. Fails where the
// file cannot be read so (the caller then reads it whole).
Outcome<std::vector<ScannedPacket>> ClipPlanner::indexedPackets()
{
    using Result = Outcome<std::vector<ScannedPacket>>;
    SourceFile file;
    if (const int status = file.open(source, cancel); status < 0)
        return Result::failure(ffmpegErrorText(status));
    Outcome<InputFormat> opened
        = openInputLike(source, input.get(), cancel, file.reader(), AVFMT_FLAG_NOPARSE | AVFMT_FLAG_NOFILLIN);
    if (!opened)
        return Result::failure(opened.error());
    AVFormatContext* listed = opened->get();
    file.skimSamples(listed, {video});
    listed->pb->direct = 1; // straight into each packet's buffer: the skipped reads copy nothing
    readOnlyStream(listed, video);
    std::vector<ScannedPacket> packets;
    Packet packet(av_packet_alloc());
    if (!packet)
        return Result::failure(CutProblem(displayName(source)).outOfMemory());
    int status = 0;
    while ((status = av_read_frame(listed, packet.get())) >= 0) {
        const bool key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
        if (packet->stream_index == video && packet->pts == NO_TIME)
            return Result::failure(QString()); // read whole, which says why it cannot be cut
        if (packet->stream_index == video && (key || !packets.empty()))
            packets.push_back({packet->pts, packet->dts != NO_TIME ? packet->dts : packet->pts, key, false, false,
                               packet->size});
        av_packet_unref(packet.get());
    }
    if (status != AVERROR_EOF)
        return Result::failure(ffmpegErrorText(status));
    return packets;
}

Outcome<void> ClipPlanner::checkReadable()
{
    const Outcome<std::vector<ScannedPacket>> first = read(std::numeric_limits<int64_t>::min() / 2, toTicks(2.0));
    return first ? Outcome<void>() : Outcome<void>::failure(first.error());
}

double ClipPlanner::secondsOf(int64_t pts) const
{
    return std::max(0.0, double(pts - origin) * av_q2d(base));
}

PlanResult ClipPlanner::plan(double startTime, double endTime, CutMode mode, bool canReencode)
{
    if (!std::isfinite(startTime) || startTime < 0.0)
        startTime = 0.0;
    if (!std::isfinite(endTime))
        endTime = std::numeric_limits<double>::infinity();
    const bool keyframesOnly = mode == CutMode::KeyframesOnly;
    const PlanQuestion question{startTime, endTime, keyframesOnly, canReencode};
    if (known) {
        const std::lock_guard lock(known->mutex);
        if (const auto found = known->plans.find(question); found != known->plans.end())
            return found->second;
    }
    const std::optional<int64_t> end = std::isfinite(endTime) ? std::optional<int64_t>(toTicks(endTime)) : std::nullopt;
    PlanResult result = planAfresh(startTime, end, keyframesOnly, canReencode);
    // A failure may be a cancel's, or a read's that may go another time.
    if (known && result.kind != PlanResult::Kind::Failed) {
        const std::lock_guard lock(known->mutex);
        known->plans.emplace(question, result);
    }
    return result;
}

PlanResult ClipPlanner::planAfresh(double startTime, std::optional<int64_t> end, bool keyframesOnly, bool canReencode)
{
    const PlanDecision decision
        = planClip(*this, timing(canReencode), toTicks(startTime), end, keyframesOnly || !canReencode);
    switch (decision.problem) {
    case PlanProblem::None:
        break;
    case PlanProblem::Unreadable:
        return {PlanResult::Kind::Failed, {}, decision.error};
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
