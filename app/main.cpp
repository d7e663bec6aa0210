#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

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
    return QStringLiteral("Usage: trimora [--library DIR] [VIDEO]\n       trimora --version\n       ")
        + SplitCommand::usage().mid(QStringLiteral("Usage: ").size());
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
    routeFfmpegLogging();
    VideoGenerator::provideCurrentCutter(std::make_unique<StreamCopyCutter>());

    const QByteArray first = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (first != "split" && first != "--version" && first != "--help" && first != "-h")
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

    if (arguments.value(0) == QLatin1String("--version")) {
        out << versionLine();
        return 0;
    }
    if (arguments.value(0) == QLatin1String("--help") || arguments.value(0) == QLatin1String("-h")) {
        out << mainUsage();
        return 0;
    }
    const int status = SplitCommand::run(arguments.mid(1), VideoGenerator::current(),
                                         {out, err, ::isatty(STDERR_FILENO) == 1});
    if (status > 128) {
        // Stopped by a signal, with the library tidied up: a cut still flushing its
        // abandoned file to a slow disk must not hold the exit.
        out.flush();
        err.flush();
        std::fflush(nullptr);
        std::_Exit(status);
    }
    VideoGenerator::current().waitForCuts();
    return status;
}
