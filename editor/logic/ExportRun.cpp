#include "ExportRun.h"

#include <algorithm>
#include <memory>

#include <sys/stat.h>

#include "FileNames.h"
#include "VideoGenerator.h"
#include "VideoLibrary.h"

namespace {

// Shared by the callbacks of one export; lives until the last of them has run.
struct ExportState {
    ExportHandlers handlers;
    ExportSummary summary;

    void report(ClipReport clip)
    {
        switch (clip.result) {
        case ClipReport::Result::InLibrary:
            ++summary.inLibrary;
            break;
        case ClipReport::Result::Empty:
            ++summary.empty;
            break;
        case ClipReport::Result::CutFailed:
            ++summary.failed;
            break;
        case ClipReport::Result::Stopped:
            ++summary.stopped;
            break;
        }
        if (handlers.clipDone)
            handlers.clipDone(clip, summary);
        if (summary.done() == summary.total && handlers.finished)
            handlers.finished(summary);
    }
};

} // namespace

double ExportProgress::fraction() const
{
    double done = 0.0;
    double total = 0.0;
    for (const Clip& clip : *clips) {
        // A clip of no length still takes its turn.
        const double weight = std::max(clip.seconds, 0.001);
        done += clip.progress.fraction() * weight;
        total += weight;
    }
    return total > 0.0 ? done / total : 0.0;
}

CutProgress ExportProgress::addClip(double seconds) const
{
    clips->push_back({CutProgress(), seconds});
    return clips->back().progress;
}

Outcome<void> startExport(const std::vector<PlannedCut>& plan, const QUrl& source, VideoGenerator& generator,
                          VideoLibrary& library, ExportHandlers handlers, const CancelToken& cancel,
                          const ExportProgress& progress)
{
    // The clips together hold what the source holds, copied: its size, and a little
    // for each clip's own index and headers.
    constexpr qint64 PER_CLIP = 256 * 1024;
    // By the source's real name, which QFileInfo would not find if it is not UTF-8.
    struct stat info {};
    const qint64 size = ::stat(fileNameBytes(source.toLocalFile()).constData(), &info) == 0 ? qint64(info.st_size) : 0;
    const qint64 estimate = size + PER_CLIP * qint64(plan.size());
    auto state = std::make_shared<ExportState>();
    state->handlers = std::move(handlers);
    state->summary.total = int(plan.size());
    Outcome<void> ready = library.prepare(estimate);
    if (!ready) {
        // Ended before it began: whoever counts running exports sees this one end.
        state->summary.failed = state->summary.total;
        if (state->handlers.finished)
            state->handlers.finished(state->summary);
        return ready;
    }

    const bool reportStopped = state->handlers.reportStopped;
    for (const PlannedCut& cut : plan) {
        ClipReport base;
        base.index = cut.index;
        base.fileName = cut.fileName;
        const CutMode mode = cut.keyframesOnly ? CutMode::KeyframesOnly : CutMode::Exact;
        VideoGenerator::Stopped stopped;
        if (reportStopped) {
            stopped = [state, base] {
                ClipReport report = base;
                report.result = ClipReport::Result::Stopped;
                state->report(report);
            };
        }
        generator.splitVideo(
            {source, cut.startTime, cut.endTime, cut.fileName, mode, &library, cancel,
             progress.addClip(cut.endTime - cut.startTime)},
            [state, base](const QUrl& clip, double start) {
                ClipReport report = base;
                report.result = ClipReport::Result::InLibrary;
                report.libraryPath = clip.toLocalFile();
                report.start = start;
                state->report(report);
            },
            [state, base](const QString& error) {
                ClipReport report = base;
                report.result = ClipReport::Result::CutFailed;
                report.error = error;
                state->report(report);
            },
            [state, base] {
                ClipReport report = base;
                report.result = ClipReport::Result::Empty;
                state->report(report);
            },
            std::move(stopped));
    }
    return ready;
}
