#pragma once

#include <QString>

#include "CancelToken.h"
#include "CutProgress.h"

// What came of cutting one clip.
struct CutResult {
    enum class Kind {
        Written, // the output file holds the finished clip; extension names its container
        Empty,   // the range holds no frame: nothing was written, and that is no failure
        Failed,  // error says why, in the user's terms
    };

    Kind kind = Kind::Failed;
    QString extension; // "mp4", "mov", "mkv", "webm", ...: what the clip's final name ends with
    QString error;
    // Where the clip's first frame is shown, in seconds of the source (for a cut at
    // keyframes only, the keyframe its start moved to); negative when not known.
    double start = -1.0;

    static CutResult written(QString extension, double start = -1.0)
    {
        return {Kind::Written, std::move(extension), {}, start};
    }
    static CutResult empty() { return {Kind::Empty, {}, {}}; }
    static CutResult failed(QString why) { return {Kind::Failed, {}, std::move(why)}; }
};

// Where a clip may start and end. Exact: on the frames asked for; the few frames
// from a split to the next keyframe are encoded again. KeyframesOnly: each end moves
// to the keyframe at or before it, and nothing is encoded again.
enum class CutMode { Exact, KeyframesOnly };

// Where a cut writes its clip.
struct CutOutput {
    // The open file to write (read and write), made and owned by the caller, who names
    // or removes it once the cut is over: the cutter only writes it through this
    // descriptor (truncating and rewriting as it needs), and never opens it by a name.
    int descriptor = -1;
    // The folder the clip will live in, for messages ("there is not enough space in ...").
    QString folder;
};

// Cuts one time range of a video into a file. Synchronous, and called off the main
// thread, possibly for several clips of the same source at once.
class ClipCutter {
public:
    virtual ~ClipCutter() = default;

    // Writes the clip [startTime, endTime) of source into output.descriptor. Once
    // cancel is cancelled the cut ends at its next read of the source, with a result
    // nobody needs to read. progress moves on as the range is read.
    virtual CutResult cut(const QString& source, double startTime, double endTime, const CutOutput& output,
                          CutMode mode = CutMode::Exact, const CancelToken& cancel = CancelToken(),
                          const CutProgress& progress = CutProgress())
        = 0;
};
