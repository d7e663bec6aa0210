#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include <QString>
#include <QUrl>

#include "ClipCutter.h"

class TaskPool;
class VideoLibrary;

// Cuts clips out of videos in the background, each straight into a working file of
// the library it is for, which is published under the clip's name once whole.
//
// The clip's name is the value of fileName at the moment splitVideo is called.
// splitVideo returns at once; exactly one of its callbacks runs for each cut, on the
// main thread, once the cut is done and the clip is in the library (or not) - unless
// stop() comes first.
class VideoGenerator final {
public:
    using Success = std::function<void(const QUrl& clip)>; // the clip in the library
    using Failure = std::function<void(const QString& error)>;
    using Empty = std::function<void()>;

    // The generator keeps a reference: the cutter must outlive it.
    explicit VideoGenerator(ClipCutter& cutter);
    ~VideoGenerator();
    Q_DISABLE_COPY_MOVE(VideoGenerator)

    // The one generator of the process, made on first use with the cutter given to
    // provideCurrentCutter; using it before is a programming error.
    static VideoGenerator& current();
    static bool provideCurrentCutter(std::unique_ptr<ClipCutter> cutter);

    QString fileName;
    // How the cuts started from now on place their ends (read, like fileName, when
    // splitVideo is called).
    CutMode cutMode = CutMode::Exact;

    // Cuts [startTime, endTime) of the video at url into the library; an absent start
    // is the beginning and an absent end the end of the video. The library must
    // outlive the cut.
    void splitVideo(const QUrl& url, std::optional<double> startTime, std::optional<double> endTime,
                    VideoLibrary& library, Success success, Failure failure, Empty empty);

    // Abandons every cut, for a stop asked by the system: those not started never
    // start, and those under way stay silent unless their clip was in the library
    // before the stop (then success says so). They end on their own, soonest when their
    // reads are stopped too; their working files go with them.
    void stop();

    // Blocks until every cut started so far has run its course (its callback may still
    // be queued for the main thread). For orderly shutdown and tests.
    void waitForCuts();
    // The same, for at most the time given; whether every cut is over.
    bool waitForCuts(std::chrono::milliseconds limit);

private:
    ClipCutter& cutter;
    std::atomic<bool> stopped{false};
    std::unique_ptr<TaskPool> pool;
};
