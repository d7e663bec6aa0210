#include "ExportRun.h"

#include <memory>

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
        case ClipReport::Result::LibraryRefused:
            ++summary.failed;
            break;
        }
        if (handlers.clipDone)
            handlers.clipDone(clip, summary);
        if (summary.done() == summary.total && handlers.finished)
            handlers.finished(summary);
    }
};

} // namespace

void startExport(const std::vector<PlannedCut>& plan, const QUrl& source, VideoGenerator& generator,
                 VideoLibrary& library, ExportHandlers handlers)
{
    auto state = std::make_shared<ExportState>();
    state->handlers = std::move(handlers);
    state->summary.total = int(plan.size());
    VideoLibrary* target = &library;

    for (const PlannedCut& cut : plan) {
        ClipReport base;
        base.index = cut.index;
        base.fileName = cut.fileName;
        generator.fileName = cut.fileName;
        generator.cutMode = cut.keyframesOnly ? CutMode::KeyframesOnly : CutMode::Exact;
        generator.splitVideo(
            source, cut.startTime, cut.endTime,
            [state, base, target](const QUrl& clip) {
                target->addVideo(clip.toLocalFile(), [state, base](const Outcome<QString>& placed) {
                    ClipReport report = base;
                    if (placed) {
                        report.result = ClipReport::Result::InLibrary;
                        report.libraryPath = placed.value();
                    } else {
                        report.result = ClipReport::Result::LibraryRefused;
                        report.error = placed.error();
                    }
                    state->report(report);
                });
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
            });
    }
}
