#pragma once

#include <vector>

#include <QCoreApplication>
#include <QString>
#include <QStringList>

class QTextStream;
class VideoGenerator;

// `trimora split [OPTION]... VIDEO... (--at TIME... | --parts N | --every TIME)`: the
// editor's whole job without a screen, through the same cut model, export plan,
// generator and library, for each video in turn (all are read and their splits placed
// before anything is cut). `--dry-run` shows the clips and cuts nothing; `--json`
// writes one document about them to standard output. Exit status 0 when every clip is
// in the library, 1 when a clip failed, 2 for bad usage, a video that cannot be read
// or a library that cannot take the clips (nothing is cut then), 128 + the signal's
// number when stopped by SIGINT, SIGTERM, SIGHUP or a closed standard output. Exports
// from here do not count towards the review prompt.
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
    struct VideoJob;

    Q_DECLARE_TR_FUNCTIONS(SplitCommand)

private:
    static int runExport(const SplitRequest& request, VideoJob& job, VideoGenerator& generator, Io& io,
                         QTextStream* results);
};
