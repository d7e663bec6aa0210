#include "VideoSplice.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include <QCoreApplication>

#include "ParameterSets.h"

namespace {

constexpr int64_t NO_TIME = AV_NOPTS_VALUE;
constexpr int64_t LATEST = std::numeric_limits<int64_t>::max();
// HEVC end of sequence: the picture after it starts afresh, with its own parameter sets.
const QByteArray HEVC_END_OF_SEQUENCE("\x48\x01", 2);

// One clip at a time encodes: an encoder and its decoder for a large picture take more
// memory than everything else together, and each already uses every core. The other
// cuts copy meanwhile, so encoding overlaps copying across clips.
std::mutex encodingTurn;

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

// A packet of these bytes, with the timing and flags of another; null when out of
// memory.
Packet withData(const AVPacket* packet, const QByteArray& data)
{
    Packet out(av_packet_alloc());
    if (!out || av_new_packet(out.get(), int(data.size())) < 0 || av_packet_copy_props(out.get(), packet) < 0)
        return nullptr;
    std::memcpy(out->data, data.constData(), size_t(data.size()));
    out->stream_index = packet->stream_index;
    return out;
}

// A packet with NAL units added before and after its own, in the stream's framing;
// null when out of memory.
Packet withUnits(
    const AVPacket* packet, const std::vector<QByteArray>& before, const std::vector<QByteArray>& after, int lengthSize)
{
    return withData(packet, lengthPrefixed(before, lengthSize)
                                + QByteArray::fromRawData(reinterpret_cast<const char*>(packet->data), packet->size)
                                + lengthPrefixed(after, lengthSize));
}

// The bytes of an H.264 or HEVC NAL unit's length prefix; 0: start codes.
int unitLengthSize(const AVCodecParameters* codec)
{
    return FrameReencoder::unitFraming(codec).value_or(4);
}

} // namespace

SpliceEncoders::SpliceEncoders(const AVStream* stream, const CutProblem& cutProblem)
    : source(stream)
    , problem(cutProblem)
    , turn(encodingTurn, std::defer_lock)
{
}

Outcome<SpliceEncoders> SpliceEncoders::open(const ClipPlan& plan, const AVStream* source, const CutProblem& problem)
{
    SpliceEncoders encoders(source, problem);
    if (!plan.reencodes())
        return encoders;
    encoders.parameterSetId = unusedParameterSetId(source->codecpar);
    const int64_t until = plan.copyKey ? plan.copyKey->pts : plan.endPts.value_or(LATEST);
    // Without a head, this is the tail's, opened to learn its parameter sets.
    Outcome<std::unique_ptr<FrameReencoder>> first = plan.hasHead()
        ? encoders.openOne(plan.firstPts, until, plan.headBytes)
        : encoders.openOne(plan.copyUntil, plan.endPts.value_or(LATEST), plan.tailBytes);
    if (!first)
        return Outcome<SpliceEncoders>::failure(first.error());
    if (plan.hasHead()) {
        encoders.head = std::move(first.value());
    } else {
        // Only a tail: its parameter sets are known now, its encoder opened later.
        first.value().reset();
        encoders.turn.unlock();
    }
    return encoders;
}

Outcome<std::unique_ptr<FrameReencoder>> SpliceEncoders::openOne(int64_t from, int64_t until, int64_t bytes)
{
    if (!turn.owns_lock())
        turn.lock();
    // Frames to the end of the video last until the stream's stated end.
    int64_t end = until;
    if (end == LATEST && source->duration > 0 && source->duration != NO_TIME)
        end = (source->start_time != NO_TIME ? source->start_time : 0) + source->duration;
    const double seconds = end == LATEST || end <= from ? 0.0 : double(end - from) * av_q2d(source->time_base);
    Outcome<std::unique_ptr<FrameReencoder>> encoder
        = FrameReencoder::open(source, parameterSetId, problem.name(), {bytes, seconds});
    if (!encoder)
        return encoder;
    encoder.value()->setRange(from, until);
    // Head and tail share one set of parameter sets in the sample description.
    if (!encoderHeaders.isEmpty() && encoder.value()->headers() != encoderHeaders)
        return problem.fail<std::unique_ptr<FrameReencoder>>(QCoreApplication::translate(
            "StreamCopyCutter", "the encoder described the frames at the two ends differently."));
    encoderHeaders = encoder.value()->headers();
    return encoder;
}

VideoSplice::VideoSplice(const ClipPlan& clipPlan, const AVStream* stream, SpliceEncoders opened,
    CopiedStream& pictureStream, ClipMuxer& clipMuxer)
    : plan(clipPlan)
    , source(stream)
    , encoders(std::move(opened))
    , picture(pictureStream)
    , muxer(clipMuxer)
{
}

QString VideoSplice::undecodableKeyframe(int64_t pts) const
{
    const int64_t start = source->start_time != NO_TIME ? source->start_time : 0;
    return encoders.problem(
        QCoreApplication::translate("StreamCopyCutter", "its keyframe at %1 s cannot be decoded; the file is damaged.")
            .arg(double(pts - start) * av_q2d(source->time_base), 0, 'f', 2));
}

Outcome<void> VideoSplice::take(Packet packet)
{
    const int64_t pts = packet->pts;
    const int64_t dts = packet->dts != NO_TIME ? packet->dts : pts;
    const bool key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
    const int64_t end = plan.endPts.value_or(LATEST);
    if (stage == Stage::Finished)
        return {};
    if (stage == Stage::Waiting) {
        if (!opensClip(*packet))
            return {};
        stage = plan.hasHead() ? Stage::Head : Stage::Copy;
        count.begun = true;
    }
    if (pts >= end)
        count.reachedEnd = true;
    // Nothing decoded from here on is shown before the end.
    if (dts >= end)
        return finish();
    if (pts >= plan.firstPts && pts < end)
        ++count.sourceFrames;
    if (packet->duration > 0)
        count.lastShownEnd = std::max(count.lastShownEnd, pts + packet->duration);
    if (plan.copyKey && key && pts == plan.copyKey->pts) {
        stage = Stage::Copy;
        delay = std::max<int64_t>(0, pts - dts);
        const std::vector<QByteArray> units = unitsOf(packet.get());
        // An I picture of an open GOP: made an IDR picture, which decodes alone.
        if (source->codecpar->codec_id == AV_CODEC_ID_H264
            && std::none_of(units.begin(), units.end(), [](const QByteArray& unit) { return h264NalType(unit) == 5; }))
            restarted.emplace(FrameReencoder::parameterSets(source->codecpar));
        else if (!plan.hasHead() && !FrameReencoder::decodesAlone(source, packet.get()))
            return Outcome<void>::failure(undecodableKeyframe(pts));
    }
    if (keyAwaiting && pts >= plan.copyKey->pts && !(key && pts == plan.copyKey->pts)) {
        if (Outcome<void> kept = keepAwaitingKey(); !kept)
            return kept;
    }
    if (stage == Stage::Copy && pts < plan.copyKey->pts && dts > plan.copyKey->dts) {
        leadingDts = dts;
        if (restarted)
            restarted->leaveOut(unitsOf(packet.get()));
    }
    if (const Outcome<void> fed = feedEncoders(packet.get()); !fed)
        return fed;
    if (stage != Stage::Copy || pts < plan.copyKey->pts || pts >= plan.copyUntil)
        return {}; // encoded in the head or the tail
    if (restarted) {
        if (Outcome<void> renumbered = restart(packet); !renumbered)
            return renumbered;
    }
    if (plan.dropLeading && key && pts == plan.copyKey->pts) {
        keyAwaiting = std::move(packet);
        return {};
    }
    return keep(std::move(packet));
}

// Whether the clip's pictures begin at this packet: the keyframe they are decoded from.
// A read starts earlier (for the sound); what comes before is passed over.
bool VideoSplice::opensClip(const AVPacket& packet) const
{
    const int64_t dts = packet.dts != NO_TIME ? packet.dts : packet.pts;
    return (packet.flags & AV_PKT_FLAG_KEY) && (packet.pts == plan.openKey.pts || dts > plan.openKey.dts);
}

// What take() reads the data of: the keyframe the clip opens at, everything from it
// up to the copy and at the copy's first keyframe, what the encoders decode, and what
// is rewritten.
bool VideoSplice::needsData(const AVPacket& packet) const
{
    if (stage == Stage::Finished)
        return false;
    if (stage == Stage::Waiting)
        return opensClip(packet);
    if (stage != Stage::Copy || !plan.copyKey || restarted)
        return true;
    const int64_t pts = packet.pts;
    const int64_t dts = packet.dts != NO_TIME ? packet.dts : pts;
    if (pts <= plan.copyKey->pts || (plan.dropLeading && dts < plan.copyKey->pts) || pts >= plan.copyUntil)
        return true;
    const bool key = (packet.flags & AV_PKT_FLAG_KEY) != 0;
    return plan.hasTail() && (tailFeeding || (key && pts == plan.tailKey->pts));
}

std::vector<QByteArray> VideoSplice::unitsOf(const AVPacket* packet) const
{
    const int lengthSize = unitLengthSize(source->codecpar);
    if (lengthSize == 0)
        return annexBNalUnits(packet->data, packet->size);
    return lengthPrefixedNalUnits(packet->data, packet->size, lengthSize).value_or(std::vector<QByteArray>{});
}

// A copied H.264 picture numbered on from the copy's first, made an IDR picture.
Outcome<void> VideoSplice::restart(Packet& packet)
{
    const std::optional<std::vector<QByteArray>> units = restarted->rewrite(unitsOf(packet.get()));
    if (!units) {
        const int64_t start = source->start_time != NO_TIME ? source->start_time : 0;
        return encoders.problem.fail<void>(
            QCoreApplication::translate("StreamCopyCutter",
                                        "the pictures after its keyframe at %1 s refer to others in a way Trimora "
                                        "cannot follow; cut it at an earlier keyframe.")
                .arg(double(plan.copyKey->pts - start) * av_q2d(source->time_base), 0, 'f', 2));
    }
    packet = withData(packet.get(), lengthPrefixed(*units, unitLengthSize(source->codecpar)));
    return packet ? Outcome<void>() : Outcome<void>::failure(encoders.problem.outOfMemory());
}

// The copy's first keyframe, once its leading pictures have been left out: it takes
// the decode time of the last of them, so the copied frames decode at an even pace
// (GStreamer loses the last pictures of an MP4 track whose first frame lasts longer).
Outcome<void> VideoSplice::keepAwaitingKey()
{
    Packet key = std::move(keyAwaiting);
    if (leadingDts != NO_TIME && leadingDts <= key->pts) {
        key->dts = leadingDts;
        delay = key->pts - leadingDts;
    }
    return keep(std::move(key));
}

// The head's decoder takes the packets up to the copy's first keyframe, and the
// pictures shown before that keyframe that are decoded after it (HEVC leading
// pictures); the tail's decoder those from the tail's keyframe on.
Outcome<void> VideoSplice::feedEncoders(const AVPacket* packet)
{
    const int64_t dts = packet->dts != NO_TIME ? packet->dts : packet->pts;
    const bool key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
    const bool headNeedsIt = stage == Stage::Head || (plan.dropLeading && dts < plan.copyKey->pts);
    if (encoders.head && headNeedsIt) {
        if (Outcome<void> decoded = encoders.head->decode(packet); !decoded)
            return decoded;
    } else if (encoders.head) {
        if (Outcome<void> written = finishHead(); !written)
            return written;
    }
    if (stage != Stage::Copy)
        return {};
    if (plan.hasTail() && !tailFeeding && key && packet->pts == plan.tailKey->pts) {
        Outcome<std::unique_ptr<FrameReencoder>> opened = encoders.openOne(plan.copyUntil, *plan.endPts, plan.tailBytes);
        if (!opened)
            return Outcome<void>::failure(opened.error());
        tail = std::move(opened.value());
        tailFeeding = true;
    }
    return tailFeeding ? tail->decode(packet) : Outcome<void>();
}

// A packet copied as it is; while the head is still being encoded, it waits for it.
Outcome<void> VideoSplice::keep(Packet packet)
{
    const AVCodecParameters* codec = source->codecpar;
    if (plan.hasHead() && codec->codec_id == AV_CODEC_ID_HEVC && packet->pts == plan.copyKey->pts)
        packet = withUnits(packet.get(), FrameReencoder::parameterSets(codec), {}, unitLengthSize(codec));
    // MPEG-4 Part 2: our frames carry our layer header; the copy goes back to the
    // source's, which the clip's own header also holds.
    if (plan.hasHead() && codec->codec_id == AV_CODEC_ID_MPEG4 && packet->pts == plan.copyKey->pts
        && mpeg4LayerHeader(packet->data, packet->size) < 0)
        packet = withData(packet.get(), QByteArray(reinterpret_cast<const char*>(codec->extradata), codec->extradata_size)
                                             + QByteArray::fromRawData(reinterpret_cast<const char*>(packet->data), packet->size));
    if (!packet)
        return Outcome<void>::failure(encoders.problem.outOfMemory());
    if (encoders.head) {
        copiedBeforeHeadEnds.push_back(std::move(packet));
        return {};
    }
    return sendCopied(std::move(packet));
}

Outcome<void> VideoSplice::sendCopied(Packet packet)
{
    lastDts = packet->dts != NO_TIME ? packet->dts : packet->pts;
    ++count.copied;
    return picture.send(muxer, std::move(packet));
}

// Writes what an encoder still holds and closes it; the turn to encode passes on once
// neither end's encoder is open.
Outcome<void> VideoSplice::closeEncoder(std::unique_ptr<FrameReencoder>& encoder, bool afterCopy)
{
    if (Outcome<void> drained = encoder->finish(); !drained)
        return drained;
    if (Outcome<void> written = writeEncoded(*encoder, afterCopy); !written)
        return written;
    count.encoded += encoder->framesEncoded();
    encoder.reset();
    if (!encoders.head && !tail && encoders.turn.owns_lock())
        encoders.turn.unlock();
    return {};
}

Outcome<void> VideoSplice::finishHead()
{
    if (Outcome<void> closed = closeEncoder(encoders.head, false); !closed)
        return closed;
    std::vector<Packet> waiting = std::move(copiedBeforeHeadEnds);
    copiedBeforeHeadEnds.clear();
    for (Packet& packet : waiting) {
        if (Outcome<void> sent = sendCopied(std::move(packet)); !sent)
            return sent;
    }
    return {};
}

Outcome<void> VideoSplice::finish()
{
    if (stage == Stage::Waiting || stage == Stage::Finished)
        return {};
    if (keyAwaiting) {
        if (Outcome<void> kept = keepAwaitingKey(); !kept)
            return kept;
    }
    stage = Stage::Finished;
    picture.finish();
    if (encoders.head) {
        if (Outcome<void> written = finishHead(); !written)
            return written;
    }
    return tail ? closeEncoder(tail, true) : Outcome<void>();
}

// Sends the frames an encoder made. Their decode times keep the copied frames' delay
// before the head, and fit between the copy and the shown times after it.
Outcome<void> VideoSplice::writeEncoded(FrameReencoder& encoder, bool afterCopy)
{
    std::deque<Packet>& packets = encoder.output();
    if (packets.empty())
        return {};
    const AVCodecParameters* codec = source->codecpar;
    int64_t shift = delay;
    if (afterCopy && lastDts != NO_TIME)
        shift = std::clamp<int64_t>(packets.front()->pts - lastDts - 1, 0, delay);
    if (codec->codec_id == AV_CODEC_ID_HEVC) {
        const int lengthSize = unitLengthSize(codec);
        const QByteArray& headers = encoders.headers();
        const std::vector<QByteArray> ours
            = annexBNalUnits(reinterpret_cast<const uint8_t*>(headers.constData()), int(headers.size()));
        // A new coded video sequence with our parameter sets, and back to the
        // source's after it.
        Packet& held = picture.held();
        const bool endsHeld = afterCopy && held;
        if (endsHeld)
            held = withUnits(held.get(), {}, {HEVC_END_OF_SEQUENCE}, lengthSize);
        packets.front() = withUnits(packets.front().get(), ours, {}, lengthSize);
        if (!afterCopy && plan.copyKey)
            packets.back() = withUnits(packets.back().get(), {}, {HEVC_END_OF_SEQUENCE}, lengthSize);
        if ((endsHeld && !held) || !packets.front() || !packets.back())
            return Outcome<void>::failure(encoders.problem.outOfMemory());
    }
    for (Packet& packet : packets) {
        packet->dts = packet->pts - shift;
        lastDts = packet->dts;
        if (Outcome<void> sent = picture.send(muxer, std::move(packet)); !sent)
            return sent;
    }
    packets.clear();
    return {};
}
