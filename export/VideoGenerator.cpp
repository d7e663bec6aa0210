#include "VideoGenerator.h"

#include <cmath>
#include <limits>
#include <mutex>

#include "ClipCutter.h"
#include "ExportLog.h"
#include "MainThread.h"
#include "TaskPool.h"
#include "VideoLibrary.h"

namespace {

struct CurrentCutter {
    std::mutex mutex;
    bool created = false;
    std::unique_ptr<ClipCutter> cutter;
};

CurrentCutter& currentCutter()
{
    static CurrentCutter holder;
    return holder;
}

struct Callbacks {
    VideoGenerator::Success success;
    VideoGenerator::Failure failure;
    VideoGenerator::Empty empty;
};

// Which callback a cut calls, with what.
struct Answer {
    enum Kind { None, Success, Failure, Empty };
    Kind kind = None;
    QString text; // the clip's path in the library, or why it is not there
};

struct ClipRequest {
    QString source;
    double start = 0.0;
    double end = 0.0;
    QString name;
    CutMode mode = CutMode::Exact;
};

// Cuts into a working file of the library and publishes it under the clip's name,
// unless a stop came meanwhile.
Answer cutInto(ClipCutter& cutter, VideoLibrary& library, const ClipRequest& clip, const std::atomic<bool>& stopped)
{
    Outcome<std::unique_ptr<VideoLibrary::WorkingFile>> file = library.createWorkingFile();
    if (!file)
        return {Answer::Failure, file.error()};
    const CutResult result = cutter.cut(clip.source, clip.start, clip.end, {file.value()->descriptor(), library.folder()}, clip.mode);
    if (stopped)
        return {};
    switch (result.kind) {
    case CutResult::Kind::Written: {
        const Outcome<QString> placed = file.value()->publish(clip.name + QLatin1Char('.') + result.extension);
        if (!placed)
            return {Answer::Failure, placed.error()};
        return {Answer::Success, placed.value()};
    }
    case CutResult::Kind::Empty:
        return {Answer::Empty, {}};
    case CutResult::Kind::Failed:
        break;
    }
    return {Answer::Failure, result.error};
}

} // namespace

VideoGenerator::VideoGenerator(ClipCutter& clipCutter)
    : cutter(clipCutter)
    // Cutting is mostly reading and writing; two cuts at once keep the disk busy
    // without thrashing it.
    , pool(std::make_unique<TaskPool>(2))
{
}

VideoGenerator::~VideoGenerator()
{
    pool->waitForDone();
}

bool VideoGenerator::provideCurrentCutter(std::unique_ptr<ClipCutter> clipCutter)
{
    CurrentCutter& holder = currentCutter();
    const std::lock_guard lock(holder.mutex);
    if (holder.created || !clipCutter)
        return false;
    holder.cutter = std::move(clipCutter);
    return true;
}

VideoGenerator& VideoGenerator::current()
{
    static VideoGenerator generator = [] {
        CurrentCutter& holder = currentCutter();
        const std::lock_guard lock(holder.mutex);
        if (!holder.cutter)
            qFatal("VideoGenerator::current() used before its cutter was provided");
        holder.created = true;
        return VideoGenerator(*holder.cutter);
    }();
    return generator;
}

void VideoGenerator::splitVideo(const QUrl& url, std::optional<double> startTime, std::optional<double> endTime,
                                VideoLibrary& library, Success success, Failure failure, Empty empty)
{
    const QString name = fileName;
    const CutMode mode = cutMode;
    const QString source = url.isLocalFile() ? url.toLocalFile() : url.toString();
    const double start = startTime.value_or(0.0);
    const double end = endTime.value_or(std::numeric_limits<double>::infinity());
    Callbacks callbacks{std::move(success), std::move(failure), std::move(empty)};
    pool->run([this, &library, name, mode, source, start, end, callbacks = std::move(callbacks)]() mutable {
        Answer answer;
        if (!stopped)
            answer = cutInto(cutter, library, {source, start, end, name, mode}, stopped);
        // A stopped library refuses clips: that is no failure of theirs. A clip named
        // before the stop is in the library, and is said to be.
        if (stopped && answer.kind == Answer::Failure)
            answer.kind = Answer::None;
        if (answer.kind == Answer::Failure)
            qCInfo(lcExport) << "cut failed:" << answer.text;
        // The callbacks belong to the screens that gave them: they are let go there too,
        // whatever became of the cut.
        postToMainThread([callbacks = std::move(callbacks), answer] {
            switch (answer.kind) {
            case Answer::None:
                break;
            case Answer::Success:
                callbacks.success(QUrl::fromLocalFile(answer.text));
                break;
            case Answer::Failure:
                callbacks.failure(answer.text);
                break;
            case Answer::Empty:
                callbacks.empty();
                break;
            }
        });
    });
}

void VideoGenerator::stop()
{
    stopped = true;
}

void VideoGenerator::waitForCuts()
{
    pool->waitForDone();
}

bool VideoGenerator::waitForCuts(std::chrono::milliseconds limit)
{
    return pool->waitForDone(limit);
}
