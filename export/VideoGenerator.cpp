#include "VideoGenerator.h"

#include <algorithm>
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
    VideoGenerator::Stopped stopped;
};

// Which callback a cut calls, with what.
struct Answer {
    enum Kind { Stopped, Success, Failure, Empty };
    Kind kind = Stopped;
    QString text; // the clip's path in the library, or why it is not there
    double start = -1.0; // where the clip's first frame is, as the cutter says
};

// Cuts into a working file of the library and publishes it under the clip's name,
// unless the cut was cancelled meanwhile.
Answer cutInto(ClipCutter& cutter, const CutRequest& clip)
{
    VideoLibrary& library = *clip.library;
    Outcome<std::unique_ptr<VideoLibrary::WorkingFile>> file = library.createWorkingFile();
    if (!file)
        return {Answer::Failure, file.error()};
    const QString source = clip.source.isLocalFile() ? clip.source.toLocalFile() : clip.source.toString();
    const CutResult result = cutter.cut(source, clip.start.value_or(0.0),
                                        clip.end.value_or(std::numeric_limits<double>::infinity()),
                                        {file.value()->descriptor(), library.folder()}, clip.mode, clip.cancel,
                                        clip.progress);
    if (clip.cancel.isCancelled())
        return {};
    switch (result.kind) {
    case CutResult::Kind::Written: {
        const Outcome<QString> placed = file.value()->publish(clip.fileName + QLatin1Char('.') + result.extension);
        if (!placed)
            return {Answer::Failure, placed.error()};
        return {Answer::Success, placed.value(), result.start};
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

void VideoGenerator::splitVideo(CutRequest request, Success success, Failure failure, Empty empty, Stopped stopped)
{
    Q_ASSERT(request.library);
    {
        const std::lock_guard lock(liveMutex);
        live.push_back(request.cancel);
    }
    Callbacks callbacks{std::move(success), std::move(failure), std::move(empty), std::move(stopped)};
    pool->run([this, request = std::move(request), callbacks = std::move(callbacks)]() mutable {
        Answer answer;
        if (!request.cancel.isCancelled())
            answer = cutInto(cutter, request);
        // A stopped library refuses clips: that is no failure of theirs. A clip named
        // before the stop is in the library, and is said to be.
        if (request.cancel.isCancelled() && answer.kind == Answer::Failure)
            answer.kind = Answer::Stopped;
        request.progress.set(1.0);
        if (answer.kind == Answer::Failure)
            qCInfo(lcExport) << "cut failed:" << answer.text;
        {
            const std::lock_guard lock(liveMutex);
            live.erase(std::find(live.begin(), live.end(), request.cancel));
        }
        // The callbacks belong to the screens that gave them: they are let go there too,
        // whatever became of the cut.
        postToMainThread([callbacks = std::move(callbacks), answer] {
            switch (answer.kind) {
            case Answer::Stopped:
                if (callbacks.stopped)
                    callbacks.stopped();
                break;
            case Answer::Success:
                callbacks.success(QUrl::fromLocalFile(answer.text), answer.start);
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

void VideoGenerator::cancelAll()
{
    const std::lock_guard lock(liveMutex);
    for (const CancelToken& token : live)
        token.cancel();
}

void VideoGenerator::waitForCuts()
{
    pool->waitForDone();
}

bool VideoGenerator::waitForCuts(std::chrono::milliseconds limit)
{
    return pool->waitForDone(limit);
}
