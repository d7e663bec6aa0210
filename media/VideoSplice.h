#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include <QByteArray>

#include "ClipPlan.h"
#include "CopiedStream.h"
#include "CutProblem.h"
#include "FfmpegSupport.h"
#include "FrameReencoder.h"
#include "H264Restart.h"

// The encoders a clip's plan needs, opened before the clip's file is begun: the file's
// header carries the parameter sets of the frames they make. The head's encoder is
// open from the start; the tail's is opened when the tail is reached, and shares the
// head's parameter sets.
class SpliceEncoders final {
public:
    static Outcome<SpliceEncoders> open(const ClipPlan& plan, const AVStream* source, const CutProblem& problem);

    // The encoders' parameter sets, start-code framed; empty when nothing is encoded.
    const QByteArray& headers() const { return encoderHeaders; }

private:
    friend class VideoSplice;
    SpliceEncoders(const AVStream* source, const CutProblem& problem);
    Outcome<std::unique_ptr<FrameReencoder>> openOne(int64_t from, int64_t until, int64_t bytes);

    const AVStream* source;
    CutProblem problem;
    // One clip at a time encodes: held while one of its encoders is open.
    std::unique_lock<std::mutex> turn;
    int parameterSetId = 0;
    QByteArray encoderHeaders;
    std::unique_ptr<FrameReencoder> head;
};

// How many of the clip's frames were read, and what became of them.
struct SpliceTally {
    bool begun = false;      // the first packet the clip needs was read
    bool reachedEnd = false; // a frame at or after the clip's end was read, or decoding ended there
    int64_t lastShownEnd = AV_NOPTS_VALUE;
    int sourceFrames = 0; // frames of the clip's range that the source delivered
    int copied = 0;
    int encoded = 0;
};

// The clip's main picture, spliced from the frames encoded again at its start (the
// head), the source's packets copied as they are, and the frames encoded again at its
// end (the tail), in one decode order that every player follows across the joins.
class VideoSplice final {
public:
    VideoSplice(const ClipPlan& plan, const AVStream* source, SpliceEncoders encoders, CopiedStream& picture,
                ClipMuxer& muxer);
    Q_DISABLE_COPY_MOVE(VideoSplice)

    // Takes the video stream's packets in the order the file holds them.
    Outcome<void> take(Packet packet);
    // Whether taking the packet reads its data: false for one that is copied as it is.
    bool needsData(const AVPacket& packet) const;
    // After the last packet: writes what the encoders still hold.
    Outcome<void> finish();
    bool finished() const { return stage == Stage::Finished; }
    const SpliceTally& tally() const { return count; }

private:
    enum class Stage { Waiting, Head, Copy, Finished };

    bool opensClip(const AVPacket& packet) const;
    Outcome<void> feedEncoders(const AVPacket* packet);
    Outcome<void> keep(Packet packet);
    Outcome<void> keepAwaitingKey();
    std::vector<QByteArray> unitsOf(const AVPacket* packet) const;
    Outcome<void> restart(Packet& packet);
    Outcome<void> sendCopied(Packet packet);
    Outcome<void> closeEncoder(std::unique_ptr<FrameReencoder>& encoder, bool afterCopy);
    Outcome<void> finishHead();
    Outcome<void> writeEncoded(FrameReencoder& encoder, bool afterCopy);
    QString undecodableKeyframe(int64_t pts) const;

    const ClipPlan plan;
    const AVStream* const source;
    SpliceEncoders encoders;
    CopiedStream& picture;
    ClipMuxer& muxer;

    Stage stage = Stage::Waiting;
    std::unique_ptr<FrameReencoder> tail;
    bool tailFeeding = false;
    int64_t delay = 0;                // decode before show, of the copied frames
    int64_t lastDts = AV_NOPTS_VALUE; // of the last packet sent
    std::vector<Packet> copiedBeforeHeadEnds;
    Packet keyAwaiting;                   // the copy's first keyframe, until its leading pictures are past
    int64_t leadingDts = AV_NOPTS_VALUE; // of the last of them
    // The copy starts at an H.264 I picture of an open GOP, made an IDR picture.
    std::optional<H264Restart> restarted;
    SpliceTally count;
};
