#pragma once

#include <cstdint>
#include <limits>

#include "ClipMuxer.h"
#include "FfmpegSupport.h"
#include "Outcome.h"

// Where a clip lies on the video's timeline, in the video stream's time base.
struct ClipSpan {
    int64_t firstPts = 0;                                // the clip's first picture
    int64_t endPts = std::numeric_limits<int64_t>::max(); // the first picture after it
    int64_t lead = 0;     // sound before the first picture that the first clip keeps
    bool fromTop = false; // the first clip: what comes before its first picture is its own
    AVRational videoBase{1, 1};
};

// One source stream that goes into the clip, on the clip's timeline: its times are
// moved so that the clip's first picture is at 0 (or, in the first clip, the source's
// start), and its packets are written one step late, so that a packet without a
// duration (as the MP4 demuxer hands out for some variable-rate files) can take it from
// the next one.
class CopiedStream final {
public:
    CopiedStream(StreamChoice choice, const AVStream* source, AVStream* output, const ClipSpan& span);
    Q_DISABLE_COPY_MOVE(CopiedStream)

    Role role() const { return what.role; }
    int input() const { return what.input; }
    bool done() const { return finished; }
    void finish() { finished = true; }

    // Sound, text and further picture tracks: each packet goes into the clip its time
    // falls in, so neighbouring clips share none and miss none.
    Outcome<void> take(ClipMuxer& muxer, Packet packet);
    // Writes a packet of the source's timeline on the clip's.
    Outcome<void> send(ClipMuxer& muxer, Packet packet);
    // Writes the packet still held back.
    Outcome<void> flush(ClipMuxer& muxer);
    // The packet held back, for a last change before it is written; null when none is.
    Packet& held() { return waiting; }

    // Opus sound in Matroska: the player drops the samples of the last packet past the
    // clip's end as its padding.
    void padToEnd() { padEnd = true; }
    // And the clip's sound is decoded from `from`, before the clip's start, so that its
    // first samples come out whole (the codec needs a pre-roll); the player drops the
    // samples before the start as the track's codec delay, which the caller sets.
    // Matroska counts that delay into the times: the first packet is at 0.
    void preRollFrom(int64_t from);
    // Or, in the clip that starts where the source does, the source's own codec delay,
    // which Matroska's reader takes off the times it reads: the packets are written
    // that much later, and read back at the source's times.
    void keepCodecDelay(int64_t ticks) { delay = ticks; }

private:
    const StreamChoice what;
    const AVStream* const source;
    AVStream* const output;
    const int64_t clipStart; // the clip's first picture, in this stream's time base
    const int64_t origin;    // the clip's time 0
    const int64_t clipEnd;   // the first picture after the clip
    const bool fromTop;
    int64_t keepFrom;        // the first sound packet kept, in this stream's time base
    int64_t delay = 0;       // how much later than their time packets are written
    bool padEnd = false;     // the last packet's samples past the end are dropped
    bool started = false;
    bool finished = false;
    Packet waiting;
    int64_t lastStep = 0;
};
