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

private:
    const StreamChoice what;
    const AVStream* const source;
    AVStream* const output;
    const int64_t clipStart; // the clip's first picture, in this stream's time base
    const int64_t origin;    // the clip's time 0
    const int64_t clipEnd;   // the first picture after the clip
    const bool fromTop;
    bool started = false;
    bool finished = false;
    Packet waiting;
    int64_t lastStep = 0;
};
