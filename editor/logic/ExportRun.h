#pragma once

#include <functional>
#include <vector>

#include <QString>
#include <QUrl>

#include "CancelToken.h"
#include "CutProgress.h"
#include "ExportPlan.h"
#include "Outcome.h"

class VideoGenerator;
class VideoLibrary;

// What became of one clip of an export.
struct ClipReport {
    enum class Result {
        InLibrary,      // libraryPath names it
        Empty,          // its range holds no frame; nothing written, nothing lost
        CutFailed,      // error says why (a library that refuses a clip fails its cut)
        Stopped,        // the export was cancelled before the clip was in the library
    };

    int index = 0;
    QString fileName;
    Result result = Result::CutFailed;
    QString libraryPath;
    QString error;
    double start = -1.0; // where an InLibrary clip's first frame is in the source; negative: not known
};

struct ExportSummary {
    int total = 0;
    int inLibrary = 0;
    int empty = 0;
    int failed = 0;
    int stopped = 0;

    int done() const { return inLibrary + empty + failed + stopped; }
    // Every clip that holds a frame is in the library. An export of nothing but
    // empty clips brought nothing home: that is no success.
    bool succeeded() const { return failed == 0 && stopped == 0 && done() == total && inLibrary > 0; }
};

struct ExportHandlers {
    // Once per clip, as each clip's course ends, in whatever order they end.
    std::function<void(const ClipReport& report, const ExportSummary& soFar)> clipDone;
    // Once, after the last clip's report.
    std::function<void(const ExportSummary& summary)> finished;
    // Whether clips that a cancel stopped are reported (as Stopped), so that finished
    // runs once the last of them is over. Off, they are never reported: for callers
    // whose handlers do not outlive the stop.
    bool reportStopped = false;
};

// How far an export has come, from 0 to 1: its clips' progress, each weighted by its
// length. Copies share one state; used on the main thread.
class ExportProgress final {
public:
    double fraction() const;
    // The progress of one more clip, of that many seconds.
    CutProgress addClip(double seconds) const;

private:
    struct Clip {
        CutProgress progress;
        double seconds = 0.0;
    };
    std::shared_ptr<std::vector<Clip>> clips = std::make_shared<std::vector<Clip>>();
};

// Checks that the library can take the clips (it is, or can be made, a folder we may
// write in, with room for about the source's size), then starts every cut of the plan
// at once, in timeline order, each under its planned name; each clip is written
// straight into the library. Every cut carries the export's token: cancelling it
// stops this export alone. Returns at once. When the
// library cannot take the clips, nothing is cut and the failure says why, in words to
// show the user once: finished runs at once (every clip counted failed, so that a
// count of running exports stays right) and clipDone never does. The handlers run on
// the main thread. The export keeps its own count, so several can run side by side;
// progress follows its clips.
Outcome<void> startExport(const std::vector<PlannedCut>& plan, const QUrl& source, VideoGenerator& generator,
                          VideoLibrary& library, ExportHandlers handlers, const CancelToken& cancel = CancelToken(),
                          const ExportProgress& progress = ExportProgress());
