#pragma once

#include <vector>

#include <QString>
#include <QStringList>

class QTextStream;
class VideoGenerator;
struct PlannedCut;
struct VideoInfo;

// `trimora split VIDEO (--at TIME... | --parts N | --every SECONDS) [--library DIR]`:
// the editor's whole job without a screen, through the same cut model, export plan,
// generator and library. Exit status 0 when every clip is in the library, 1 when a
// clip failed, 2 for bad usage, a video that cannot be read or a library that cannot
// take the clips (nothing is cut then), 128 + the signal's number when stopped by
// SIGINT, SIGTERM or SIGHUP. Exports from here do not count towards the review prompt.
class SplitCommand final {
public:
    enum ExitStatus { Success = 0, ClipFailed = 1, BadUsage = 2 };

    struct Io {
        QTextStream& out;       // one result line per clip
        QTextStream& err;       // messages, and progress when it is a terminal
        bool liveProgress = false; // err is a terminal: redraw one progress bar in place
    };

    // arguments are those after "split". The library is made for the folder asked
    // for (or the default folder) by makeLibrary.
    static int run(const QStringList& arguments, VideoGenerator& generator, Io io);

    static QString usage();

    struct SplitRequest;

private:
    static int runExport(const SplitRequest& request, const std::vector<PlannedCut>& plan, const VideoInfo& video,
                         VideoGenerator& generator, Io& io);
};
