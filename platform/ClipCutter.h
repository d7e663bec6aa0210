#pragma once

#include <QString>

// What came of cutting one clip.
struct CutResult {
    enum class Kind {
        Written, // path names the finished clip
        Empty,   // the range holds no frame: nothing was written, and that is no failure
        Failed,  // error says why, in the user's terms
    };

    Kind kind = Kind::Failed;
    QString path;
    QString error;

    static CutResult written(QString file) { return {Kind::Written, std::move(file), {}}; }
    static CutResult empty() { return {Kind::Empty, {}, {}}; }
    static CutResult failed(QString why) { return {Kind::Failed, {}, std::move(why)}; }
};

// Where a clip may start and end. Exact: on the frames asked for; the few frames
// from a split to the next keyframe are encoded again. KeyframesOnly: each end moves
// to the keyframe at or before it, and nothing is encoded again.
enum class CutMode { Exact, KeyframesOnly };

// Cuts one time range of a video into a new file. Synchronous, and called off the
// main thread, possibly for several clips of the same source at once.
class ClipCutter {
public:
    virtual ~ClipCutter() = default;

    // Writes the clip [startTime, endTime) of source into outputFolder, named
    // baseName plus the extension of the container chosen for it.
    virtual CutResult cut(const QString& source, double startTime, double endTime,
                          const QString& outputFolder, const QString& baseName,
                          CutMode mode = CutMode::Exact) = 0;
};
