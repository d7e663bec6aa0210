#include "CopiedStream.h"

#include <algorithm>

extern "C" {
#include <libavutil/intreadwrite.h>
#include <libavutil/mathematics.h>
}

namespace {

constexpr int64_t NO_TIME = AV_NOPTS_VALUE;
constexpr int64_t LATEST = std::numeric_limits<int64_t>::max();

// A frame's usual length, for a packet that states none and has no next one to take
// it from (a clip of one frame).
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

} // namespace

CopiedStream::CopiedStream(StreamChoice choice, const AVStream* from, AVStream* to, const ClipSpan& span)
    : what(choice)
    , source(from)
    , output(to)
    , clipStart(av_rescale_q(span.firstPts, span.videoBase, from->time_base))
    , origin(av_rescale_q(span.firstPts - span.lead, span.videoBase, from->time_base))
    , clipEnd(span.endPts == LATEST ? LATEST : av_rescale_q(span.endPts, span.videoBase, from->time_base))
    , fromTop(span.fromTop)
    , keepFrom(clipStart)
{
}

void CopiedStream::preRollFrom(int64_t from)
{
    keepFrom = std::min(from, clipStart);
    delay = clipStart - keepFrom;
}

Outcome<void> CopiedStream::send(ClipMuxer& muxer, Packet packet)
{
    if (packet) {
        if (packet->pts != NO_TIME)
            packet->pts += delay - origin;
        if (packet->dts != NO_TIME)
            packet->dts += delay - origin;
        packet->flags &= ~AV_PKT_FLAG_DISCARD;
    }
    Packet written = std::exchange(waiting, std::move(packet));
    if (!written)
        return {};
    if (written->duration <= 0 && waiting && written->dts != NO_TIME && waiting->dts != NO_TIME)
        written->duration = waiting->dts - written->dts;
    if (written->duration <= 0)
        written->duration = lastStep > 0 ? lastStep : typicalStep(source);
    lastStep = written->duration;
    written->stream_index = output->index;
    av_packet_rescale_ts(written.get(), source->time_base, output->time_base);
    written->pos = -1;
    return muxer.write(written.get());
}

Outcome<void> CopiedStream::flush(ClipMuxer& muxer)
{
    return waiting ? send(muxer, nullptr) : Outcome<void>();
}

Outcome<void> CopiedStream::take(ClipMuxer& muxer, Packet packet)
{
    const AVCodecParameters* codec = source->codecpar;
    const int64_t pts = packet->pts != NO_TIME ? packet->pts : packet->dts;
    if (pts == NO_TIME)
        return {};
    if (packet->duration <= 0 && codec->frame_size > 0 && codec->sample_rate > 0)
        packet->duration = av_rescale_q(codec->frame_size, AVRational{1, codec->sample_rate}, source->time_base);
    if (pts >= clipEnd) {
        finished = true;
        return {};
    }
    if (what.role == Role::OtherPicture) {
        // Another angle: from its first keyframe in the clip.
        started = started || ((packet->flags & AV_PKT_FLAG_KEY) && pts >= clipStart);
        if (!started)
            return {};
    } else if (pts < (what.role == Role::Sound ? keepFrom : clipStart) && !fromTop) {
        // A subtitle line shown across the split: this clip shows the rest of it.
        if (what.role != Role::Text || packet->duration <= 0 || pts + packet->duration <= clipStart)
            return {};
        packet->duration -= clipStart - pts;
        packet->pts = packet->dts = clipStart;
    }
    // and the clip before shows it up to its end, not beyond.
    if (what.role == Role::Text && packet->duration > 0 && clipEnd != LATEST
        && packet->pts + packet->duration > clipEnd)
        packet->duration = clipEnd - packet->pts;
    if (padEnd && packet->duration > 0 && clipEnd != LATEST && pts + packet->duration > clipEnd && codec->sample_rate > 0) {
        // The next clip plays these samples: this one ends with its picture.
        const auto past = uint32_t(av_rescale_q(pts + packet->duration - clipEnd, source->time_base, {1, codec->sample_rate}));
        // Without memory for the note, the clip ends a few milliseconds late; the
        // write after it says whether memory ran out.
        if (uint8_t* skip = av_packet_new_side_data(packet.get(), AV_PKT_DATA_SKIP_SAMPLES, 10)) {
            AV_WL32(skip, 0);
            AV_WL32(skip + 4, past);
            skip[8] = skip[9] = 0;
        }
    }
    return send(muxer, std::move(packet));
}
