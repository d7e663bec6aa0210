#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <sys/prctl.h>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <QCoreApplication>
#include <QTextStream>

#include "DesktopApp.h"
#include "FileNames.h"
#include "MediaLog.h"
#include "SplitCommand.h"
#include "StreamCopyCutter.h"
#include "Translations.h"
#include "VideoGenerator.h"

namespace {

QString versionLine()
{
    return QStringLiteral("trimora %1\n").arg(QStringLiteral(TRIMORA_VERSION));
}

QString mainUsage()
{
    // The split command's usage, from its synopsis on, under the editor's: "Usage:" may
    // be a word of another length in the user's language.
    const QString usage = QCoreApplication::translate("main", "Usage:") + QLatin1Char(' ');
    const QString indent(usage.size(), QLatin1Char(' '));
    const QString split = SplitCommand::usage();
    return usage + QStringLiteral("trimora [--library DIR] [VIDEO]\n") + indent + QStringLiteral("trimora --version | -V\n")
        + indent + QStringLiteral("trimora help [split]\n") + indent
        + split.mid(std::max(qsizetype(0), split.indexOf(QStringLiteral("trimora split"))));
}

// What the command line asks before anything else: --help, -h, --version or -V
// anywhere before "--", or `trimora help [split]`, answered at once as command-line
// tools do, whatever else is given.
enum class Asked { Nothing, Version, Help, SplitHelp };

Asked askedFor(int argc, char* argv[])
{
    const QByteArray first = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (first == "help")
        return argc > 2 && QByteArray(argv[2]) == "split" ? Asked::SplitHelp : Asked::Help;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--")
            break;
        if (argument == "--version" || argument == "-V")
            return Asked::Version;
        if (argument == "--help" || argument == "-h")
            return first == "split" ? Asked::SplitHelp : Asked::Help;
    }
    return Asked::Nothing;
}

} // namespace

int main(int argc, char* argv[])
{
    // A limit on file sizes (ulimit -f) must make a write fail with a message, not
    // end the program.
    std::signal(SIGXFSZ, SIG_IGN);
#ifdef __GLIBC__
    // Blocks of a megabyte and more (pictures in an encoder or decoder) go back to the
    // system when freed. glibc would raise this limit after the first such block is
    // freed and keep later ones in each thread's pool; a smart cut opens one encoder
    // after another on different worker threads, and each would leave its pictures
    // behind (some 40 MB more at 1080p).
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
    // x264 asks for huge pages (2 MB each) for its picture buffers, and a page is kept
    // whole however little of it is used. The few dozen frames a cut encodes gain no
    // measurable speed from them, and a 1080p cut took 9 MB more memory with them.
    prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0);
    routeFfmpegLogging();
    VideoGenerator::provideCurrentCutter(std::make_unique<StreamCopyCutter>());

    const Asked asked = askedFor(argc, argv);
    if (asked == Asked::Nothing && (argc < 2 || QByteArray(argv[1]) != "split"))
        return runDesktopApp(argc, argv);

    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Trimora"));
    QCoreApplication::setApplicationName(QStringLiteral("Trimora"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TRIMORA_VERSION));
    installTranslations(app);

    // A reader of standard output that goes away (`| head -1`) stops an export as a
    // signal does, tidily: the write fails instead of ending the program.
    std::signal(SIGPIPE, SIG_IGN);
    QTextStream out(stdout);
    QTextStream err(stderr);
    // Not QCoreApplication::arguments(): a video or a library named in bytes that are not
    // UTF-8 keeps its name.
    const QStringList arguments = argumentsFromBytes(argc, argv).mid(1);

    switch (asked) {
    case Asked::Version:
        out << versionLine();
        return 0;
    case Asked::Help:
        out << mainUsage();
        return 0;
    case Asked::SplitHelp:
        out << SplitCommand::usage();
        return 0;
    case Asked::Nothing:
        break;
    }
    const int status = SplitCommand::run(arguments.mid(1), VideoGenerator::current(),
                                         {out, err, ::isatty(STDERR_FILENO) == 1});
    VideoGenerator::current().waitForCuts();
    return status;
}
