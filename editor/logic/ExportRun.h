#pragma once

#include <functional>
#include <vector>

#include <QString>
#include <QUrl>

#include "ExportPlan.h"

class VideoGenerator;
class VideoLibrary;

// What became of one clip of an export.
struct ClipReport {
    enum class Result {
        InLibrary,      // libraryPath names it
        Empty,          // its range holds no frame; nothing written, nothing lost
        CutFailed,      // error says why
        LibraryRefused, // error says why and where the clip was kept
    };

    int index = 0;
    QString fileName;
    Result result = Result::CutFailed;
    QString libraryPath;
    QString error;
};

struct ExportSummary {
    int total = 0;
    int inLibrary = 0;
    int empty = 0;
    int failed = 0;

    int done() const { return inLibrary + empty + failed; }
    // Every clip that holds a frame is in the library. An export of nothing but
    // empty clips brought nothing home: that is no success.
    bool succeeded() const { return failed == 0 && done() == total && inLibrary > 0; }
};

struct ExportHandlers {
    // Once per clip, as each clip's course ends, in whatever order they end.
    std::function<void(const ClipReport& report, const ExportSummary& soFar)> clipDone;
    // Once, after the last clip's report.
    std::function<void(const ExportSummary& summary)> finished;
};

// Starts every cut of the plan at once, in timeline order, naming each through the
// generator's fileName just before its cut; each written clip goes on to the library.
// Returns at once. The handlers run on the main thread. The export keeps its own
// count, so several exports can run side by side without disturbing each other.
void startExport(const std::vector<PlannedCut>& plan, const QUrl& source, VideoGenerator& generator,
                 VideoLibrary& library, ExportHandlers handlers);
