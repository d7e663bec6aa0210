#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QString>
#include <QUrl>

#include "ClipCutter.h"

class TaskPool;

// Cuts clips out of videos in the background. Each cut writes into a new folder of
// its own under the user's cache folder, so two exports with the same clip names
// never touch the same file.
//
// The clip's name is the value of fileName at the moment splitVideo is called.
// splitVideo returns at once; exactly one of its callbacks runs for each cut, on the
// main thread, once the cut is done.
class VideoGenerator final {
public:
    using Success = std::function<void(const QUrl& clip)>;
    using Failure = std::function<void(const QString& error)>;
    using Empty = std::function<void()>;

    // The generator keeps a reference: the cutter must outlive it.
    explicit VideoGenerator(ClipCutter& cutter, QString workingRoot = defaultWorkingRoot());
    ~VideoGenerator();
    Q_DISABLE_COPY_MOVE(VideoGenerator)

    // The one generator of the process, made on first use with the cutter given to
    // provideCurrentCutter; using it before is a programming error.
    static VideoGenerator& current();
    static bool provideCurrentCutter(std::unique_ptr<ClipCutter> cutter);

    static QString defaultWorkingRoot();

    QString fileName;
    // How the cuts started from now on place their ends (read, like fileName, when
    // splitVideo is called).
    CutMode cutMode = CutMode::Exact;

    // Cuts [startTime, endTime) of the video at url; an absent start is the beginning
    // and an absent end the end of the video.
    void splitVideo(const QUrl& url, std::optional<double> startTime, std::optional<double> endTime,
                    Success success, Failure failure, Empty empty);

    // Blocks until every cut started so far has run its course (its callback may still
    // be queued for the main thread). For orderly shutdown and tests.
    void waitForCuts();

private:
    ClipCutter& cutter;
    QString workingRoot;
    std::unique_ptr<TaskPool> pool;
};
