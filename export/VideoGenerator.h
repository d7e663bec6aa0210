#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <QString>
#include <QUrl>

#include "CancelToken.h"
#include "ClipCutter.h"

class TaskPool;
class VideoLibrary;

// One clip to cut: [start, end) of the video at source, into library under fileName.
struct CutRequest {
    QUrl source;
    std::optional<double> start; // absent: the beginning of the video
    std::optional<double> end;   // absent: its end
    QString fileName;            // the clip's name, without the container's extension
    CutMode mode = CutMode::Exact;
    VideoLibrary* library = nullptr; // must outlive the cut
    // The token of the export the cut belongs to: once it is cancelled, the cut does not
    // start, or ends at its next read, and only its stopped callback runs, if any.
    CancelToken cancel;
    // Moves on as the cut reads its range; 1 once the cut is over, whatever came of it.
    CutProgress progress;
};

// Cuts clips out of videos in the background, each straight into a working file of
// the library it is for, which is published under the clip's name once whole.
//
// splitVideo returns at once; exactly one of its callbacks runs for each cut, on the
// main thread, once the cut is done and the clip is in the library (or not). A cut
// whose token is cancelled first calls stopped, or nothing when none is given.
class VideoGenerator final {
public:
    // The clip in the library, and where its first frame is in the source (in seconds;
    // negative when the cutter does not say).
    using Success = std::function<void(const QUrl& clip, double start)>;
    using Failure = std::function<void(const QString& error)>;
    using Empty = std::function<void()>;
    using Stopped = std::function<void()>;

    // The generator keeps a reference: the cutter must outlive it.
    explicit VideoGenerator(ClipCutter& cutter);
    ~VideoGenerator();
    Q_DISABLE_COPY_MOVE(VideoGenerator)

    // The one generator of the process, made on first use with the cutter given to
    // provideCurrentCutter; using it before is a programming error.
    static VideoGenerator& current();
    static bool provideCurrentCutter(std::unique_ptr<ClipCutter> cutter);

    void splitVideo(CutRequest request, Success success, Failure failure, Empty empty, Stopped stopped = {});

    // Cancels the token of every cut not yet over, for a stop asked by the system as
    // the process ends: those not started never start, and those under way end as
    // stopped unless their clip was in the library before the stop (then success says so).
    // Cuts asked for later run as usual.
    void cancelAll();

    // Blocks until every cut started so far has run its course (its callback may still
    // be queued for the main thread). For orderly shutdown and tests.
    void waitForCuts();
    // The same, for at most the time given; whether every cut is over.
    bool waitForCuts(std::chrono::milliseconds limit);

private:
    ClipCutter& cutter;
    // The tokens of the cuts asked for and not yet over, one entry a cut.
    std::mutex liveMutex;
    std::vector<CancelToken> live;
    std::unique_ptr<TaskPool> pool;
};
