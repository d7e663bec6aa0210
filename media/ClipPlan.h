#pragma once

#include <cstdint>
#include <deque>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include <QString>

#include "ClipCutter.h"
#include "FfmpegSupport.h"
#include "Outcome.h"

// How one clip of a video is made, worked out from the video's packets before a byte is
// written. Times are the video stream's, in its own time base.
//
// A clip shows the source frames from firstPts up to (not including) endPts. Where the
// clip's first frame is not a keyframe the decoder can start at, the frames from it up
// to copyKey (the next one) are decoded from openKey on and encoded again (the head).
// From copyKey the source's packets are copied as they are, up to the frames shown from
// copyUntil, which the last frames shown before the end may need after them in decode
// order; those few are encoded again too (the tail, decoded from tailKey on).
struct ScannedPacket {
    int64_t pts = 0;
    int64_t dts = 0;
    bool key = false;     // the container marks it as a keyframe
    bool clean = false;   // a decoder can start here (H.264 IDR, HEVC IRAP, any VP8/VP9 key)
    bool leading = false; // frames decoded after it are shown before it (open GOP)
    int size = 0;         // bytes
};

struct ClipPlan {
    int64_t firstPts = 0;
    std::optional<int64_t> endPts; // none: to the end of the video
    ScannedPacket openKey;
    std::optional<ScannedPacket> copyKey;
    int64_t copyUntil = INT64_MAX;
    std::optional<ScannedPacket> tailKey;
    // The copy leaves out the pictures shown before copyKey that are decoded after it
    // (HEVC leading pictures); the head holds them, encoded again.
    bool dropLeading = false;
    // The bytes of the source's frames that the head and the tail replace (0: not known).
    int64_t headBytes = 0;
    int64_t tailBytes = 0;

    bool hasHead() const { return !copyKey || copyKey->pts > firstPts; }
    bool hasTail() const { return copyKey && endPts && copyUntil < *endPts; }
    bool reencodes() const { return hasHead() || hasTail(); }
};

// What planning a clip came to.
struct PlanResult {
    enum class Kind { Planned, Empty, Failed };
    Kind kind = Kind::Failed;
    ClipPlan plan; // for Empty, where both its ends fell when that is known (endPts set)
    QString error; // for Failed, complete and in the user's terms
};

// Marks each keyframe of packets (in decode order) that frames decoded after it are
// shown before.
void markLeading(std::vector<ScannedPacket>& packets);

// The video track's packets as the planner reads them: the file's, or a list in a test.
class PacketReader {
public:
    virtual ~PacketReader() = default;
    // The packets in decode order from the keyframe that decodes at or before `from`
    // (from the track's first keyframe when there is none) until the first one that
    // decodes after `until`, or the end, with their leading marks; or why the track
    // cannot be read, complete and in the user's terms.
    virtual Outcome<std::vector<ScannedPacket>> read(int64_t from, int64_t until) = 0;
};

// What the planner knows of the track besides its packets, in the track's ticks.
struct TrackTiming {
    int64_t margin = 1;                                   // how far around a time is read first
    int64_t knownEnd = std::numeric_limits<int64_t>::max(); // the picture's end as the file states it
    int64_t endSlack = 0; // a split this close to knownEnd may find no frame after it
    bool mayDropLeading = false; // a copy may start at a keyframe and leave out its leading pictures
    bool mayEncode = false;      // frames may be encoded again, even in keyframe mode
    // The first time shown: frames before it are hidden by the file's edit list.
    int64_t shownFrom = std::numeric_limits<int64_t>::min() / 2;
};

// Why a clip could not be planned.
enum class PlanProblem { None, Unreadable, EndsEarly, NoFirstKeyframe };

struct PlanDecision {
    PlanResult::Kind kind = PlanResult::Kind::Failed;
    ClipPlan plan;
    PlanProblem problem = PlanProblem::None;
    QString error; // for Unreadable: the reader's reason
};

// How a clip from the first frame shown at or after `start` up to the first shown at or
// after `end` (none: to the end of the video) is made, from the packets alone. With
// onKeyframes, each end moves to the clean keyframe at or before it and nothing is
// encoded. Times are ticks of the track.
PlanDecision planClip(PacketReader& reader, const TrackTiming& track, int64_t start, std::optional<int64_t> end,
                      bool keyframesOnly);

// How many frames a clip planned so holds, and how many of them are encoded again,
// from the video track's packets in decode order.
struct FrameCount {
    int frames = 0;
    int encoded = 0;
};
FrameCount countClipFrames(const std::vector<ScannedPacket>& packets, const ClipPlan& plan);

// What tells that a file was changed: its size and the time of its last change, read
// by its real name (QFileInfo would read another file for a name that is not UTF-8).
struct SourceStamp {
    qint64 size = -1; // -1: gone
    qint64 modified = 0; // nanoseconds
    bool operator==(const SourceStamp&) const = default;
};
SourceStamp stampOf(const QString& path);

// Reads a video's packets (only the video stream's, and only near the clip's ends) to
// plan clips. Owns its own reader of the file.
class ClipPlanner final : private PacketReader {
public:
    // The error is complete ("Could not read video 'x.mp4': ..."). Reads end early
    // once cancel, when given, is cancelled; it must outlive the planner.
    static Outcome<std::unique_ptr<ClipPlanner>> open(const QString& source, const CancelToken* cancel = nullptr);
    // Reading an MP4's stream information decodes pictures, and each clip's planner opens
    // the file anew: what one planner read, and the clips it planned, are shared with the
    // next ones, for as long as a holder of this keeps it and the file is unchanged.
    std::shared_ptr<const void> streamsRead() const { return known; }
    struct Known;
    ~ClipPlanner();
    Q_DISABLE_COPY_MOVE(ClipPlanner)

    PlanResult plan(double startTime, double endTime, CutMode mode, bool canReencode);

    // Every packet of the video track, in decode order, from its first keyframe on.
    Outcome<std::vector<ScannedPacket>> allPackets();
    // Whether the track's first seconds read as planning needs them (with the times
    // each frame is shown), or why not.
    Outcome<void> checkReadable();

    // A time of the video track in seconds from the video's start.
    double secondsOf(int64_t pts) const;

    const AVCodecParameters* codec() const { return input->streams[video]->codecpar; }
    // The file as the planner reads it: its container and streams.
    const AVFormatContext* file() const { return input.get(); }

private:
    ClipPlanner() = default;
    QString problem(const QString& what) const;
    Outcome<std::vector<ScannedPacket>> read(int64_t from, int64_t until) override;
    PlanResult planAfresh(double startTime, std::optional<int64_t> end, bool keyframesOnly, bool canReencode);
    Outcome<std::vector<ScannedPacket>> indexedPackets();
    Outcome<void> reopen();
    Outcome<void> rewind();
    bool isClean(const AVPacket* packet) const;
    int64_t toTicks(double seconds) const;
    TrackTiming timing(bool canReencode) const;

    QString source;
    const CancelToken* cancel = nullptr;
    InputFormat input;
    std::shared_ptr<Known> known; // for the next planners of the file
    int video = -1;
    AVRational base{1, 1};
    int64_t origin = 0;
    int lengthSize = 4; // 0: start codes
    bool mayDropLeading = false;
    // The last stretches read: planning a clip reads one more than once, and a clip's
    // end is the next one's start.
    struct Stretch {
        int64_t from;
        int64_t until;
        std::vector<ScannedPacket> packets;
    };
    std::deque<Stretch> recentReads;
};
