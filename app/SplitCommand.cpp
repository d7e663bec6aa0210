#include "SplitCommand.h"

#include <chrono>
#include <cmath>
#include <csignal>
#include <functional>
#include <memory>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTextStream>
#include <QUrl>

#include "CommandLineTime.h"
#include "CutModel.h"
#include "ExportPlan.h"
#include "ExportRun.h"
#include "FfmpegSupport.h"
#include "FileNames.h"
#include "FolderVideoLibrary.h"
#include "MediaProbe.h"
#include "StopSignals.h"
#include "StreamCopyCutter.h"
#include "TaskPool.h"
#include "TimeText.h"
#include "VideoGenerator.h"

namespace {

constexpr int MAX_CLIPS = 10000;
// How long a stopped export waits for its cuts to let their working files go.
constexpr std::chrono::seconds STOP_GRACE{3};

QString timeForMessage(double seconds)
{
    return timeText(seconds);
}

} // namespace

struct SplitCommand::SplitRequest {
    QString video;
    QStringList at;
    std::optional<QString> parts;
    QString every;
    QString library;
};

namespace {

using SplitRequest = SplitCommand::SplitRequest;

// Places the requested split points in the model, or says why they cannot be.
bool placeSplitPoints(const SplitRequest& request, double duration, CutModel& model, QString* error)
{
    if (!request.at.isEmpty()) {
        for (const QString& text : request.at) {
            const Outcome<CommandLineTime> time = parseCommandLineTime(text);
            if (!time) {
                *error = QCoreApplication::translate("SplitCommand", "--at: %1").arg(time.error());
                return false;
            }
            const double seconds = time->seconds(duration);
            if (seconds > duration) {
                *error = QCoreApplication::translate("SplitCommand", "--at %1 is after the end of the video (%2).")
                             .arg(text, timeForMessage(duration));
                return false;
            }
            if (!model.addSplitPoint(seconds / duration)) {
                *error = QCoreApplication::translate("SplitCommand", "--at %1 repeats a split point given before.")
                             .arg(text);
                return false;
            }
        }
        return true;
    }
    if (request.parts) {
        bool ok = false;
        const int parts = request.parts->trimmed().toInt(&ok);
        if (!ok) {
            *error = QCoreApplication::translate("SplitCommand", "--parts: '%1' is not a number.").arg(*request.parts);
            return false;
        }
        if (parts < 1 || parts > MAX_CLIPS) {
            *error = QCoreApplication::translate("SplitCommand", "--parts: %1 is not a whole number from 1 to %2.")
                         .arg(parts)
                         .arg(MAX_CLIPS);
            return false;
        }
        for (int k = 1; k < parts; ++k)
            model.addSplitPoint(double(k) / parts);
        return true;
    }
    const Outcome<CommandLineTime> every = parseCommandLineTime(request.every);
    if (!every) {
        *error = QCoreApplication::translate("SplitCommand", "--every: %1").arg(every.error());
        return false;
    }
    if (every->percent || !(every->value > 0.0)) {
        *error = QCoreApplication::translate(
            "SplitCommand", "--every: wants a length of time above zero, such as 30 or 5:00, not '%1'.")
                     .arg(request.every);
        return false;
    }
    if (duration / every->value > MAX_CLIPS) {
        *error = QCoreApplication::translate("SplitCommand", "--every: %1 would make more than %2 clips.")
                     .arg(request.every)
                     .arg(MAX_CLIPS);
        return false;
    }
    for (int k = 1; k * every->value < duration; ++k)
        model.addSplitPoint(k * every->value / duration);
    return true;
}

QString secondsText(double seconds)
{
    return QString::number(seconds, 'f', 3);
}

// In keyframe mode, lists where each clip starts (with the messages: the output
// keeps one line per clip). In exact mode, notes each clip that starts at the
// keyframe before its split because the video cannot be encoded here.
std::vector<QString> keyframeNotes(const QString& video, const std::vector<PlannedCut>& plan, CutMode mode,
                                   QTextStream& err)
{
    std::vector<QString> notes(plan.size());
    std::vector<double> asked;
    for (const PlannedCut& cut : plan)
        asked.push_back(cut.startTime);
    const Outcome<StreamCopyCutter::KeyframeStarts> starts = StreamCopyCutter::keyframeStarts(video, asked, mode);
    if (!starts || starts->times.size() != plan.size())
        return notes; // the cuts say what is wrong, if anything
    if (mode == CutMode::KeyframesOnly) {
        err << QCoreApplication::translate("SplitCommand", "Cutting at keyframes only (nothing is encoded again):")
            << "\n";
        for (size_t k = 0; k < plan.size(); ++k)
            err << "  "
                << QCoreApplication::translate("SplitCommand", "%1 starts at %2 s (asked for %3 s)")
                       .arg(plan[k].fileName, secondsText(starts->times[k]), secondsText(plan[k].startTime))
                << "\n";
        return notes;
    }
    for (size_t k = 0; k < plan.size(); ++k) {
        if (starts->times[k] < plan[k].startTime - 1e-6)
            notes[k] = QStringLiteral(" ")
                + QCoreApplication::translate("SplitCommand",
                    "(starts at the keyframe at %1 s, before the split: its %2 "
                    "video cannot be encoded again here)")
                      .arg(secondsText(starts->times[k]), starts->codec);
    }
    return notes;
}

QString progressBar(int done, int total)
{
    constexpr int WIDTH = 30;
    const int filled = total > 0 ? done * WIDTH / total : WIDTH;
    return QStringLiteral("\r[%1%2] ").arg(QString(filled, QLatin1Char('#')), QString(WIDTH - filled, QLatin1Char(' ')))
        + QCoreApplication::translate("SplitCommand", "%1 of %2 clips").arg(done).arg(total);
}

// Back to the start of the progress bar's line, and the line wiped.
constexpr char CLEAR_LINE[] = "\r\x1b[K";

QString resultLine(const ClipReport& report)
{
    switch (report.result) {
    case ClipReport::Result::InLibrary:
        return QStringLiteral("%1: %2").arg(report.fileName, escapeControlCharacters(report.libraryPath));
    case ClipReport::Result::Empty:
        return QCoreApplication::translate("SplitCommand", "%1: empty, skipped").arg(report.fileName);
    case ClipReport::Result::CutFailed:
        break;
    }
    return QCoreApplication::translate("SplitCommand", "%1: failed: %2")
        .arg(report.fileName, escapeControlCharacters(report.error));
}

// What the user sees of a running export: one result line per clip on standard
// output, in timeline order, each as soon as it and all before it are done; and, on a
// terminal, a progress bar on standard error that result lines never run into.
class ExportConsole final {
public:
    // clipNotes: what to add to each clip's line when it is in the library.
    ExportConsole(SplitCommand::Io& streams, std::vector<QString> clipNotes)
        : io(streams)
        , reports(clipNotes.size())
        , notes(std::move(clipNotes))
    {
    }

    void start()
    {
        drawProgress();
    }

    void clipDone(const ClipReport& report)
    {
        reports[size_t(report.index)] = report;
        ++done;
        if (report.result == ClipReport::Result::InLibrary)
            ++saved;
        clearProgress();
        while (printed < reports.size() && reports[printed]) {
            io.out << line(printed) << "\n";
            ++printed;
        }
        io.out.flush();
        if (io.out.status() != QTextStream::Ok && outputClosed) {
            outputClosed();
            return;
        }
        if (done < int(reports.size()))
            drawProgress();
    }

    // Another process's lock holds the export up: said between the progress bar's
    // redraws.
    void notice(const QString& text)
    {
        clearProgress();
        io.err << escapeControlCharacters(text) << "\n";
        io.err.flush();
        drawProgress();
    }

    // Called when standard output cannot take a line (a pipe whose reader is gone, as
    // with `| head -1`).
    std::function<void()> outputClosed;

    // After a stop: the clips that made it into the library, whatever came before them.
    void stopped(const QString& library, bool outputGone)
    {
        clearProgress();
        for (; printed < reports.size() && !outputGone; ++printed) {
            if (reports[printed] && reports[printed]->result == ClipReport::Result::InLibrary)
                io.out << line(printed) << "\n";
        }
        io.out.flush();
        if (outputGone)
            io.err << QCoreApplication::translate("SplitCommand", "Standard output was closed.") << "\n";
        io.err << QCoreApplication::translate("SplitCommand", "Stopped: %1 of %2 clips saved to %3")
                      .arg(saved)
                      .arg(reports.size())
                      .arg(escapeControlCharacters(QDir::toNativeSeparators(library)))
               << "\n";
        io.err.flush();
    }

private:
    QString line(size_t index) const
    {
        const ClipReport& report = *reports[index];
        return resultLine(report) + (report.result == ClipReport::Result::InLibrary ? notes[index] : QString());
    }

    void drawProgress()
    {
        if (!io.liveProgress)
            return;
        io.err << progressBar(done, int(reports.size()));
        io.err.flush();
        barShown = true;
    }

    void clearProgress()
    {
        if (!barShown)
            return;
        io.err << CLEAR_LINE;
        io.err.flush();
        barShown = false;
    }

    SplitCommand::Io& io;
    std::vector<std::optional<ClipReport>> reports;
    std::vector<QString> notes;
    size_t printed = 0;
    int done = 0;
    int saved = 0;
    bool barShown = false;
};

} // namespace

QString SplitCommand::usage()
{
    return QCoreApplication::translate("SplitCommand",
        "Usage: trimora split VIDEO (--at TIME... | --parts N | --every TIME) [--keyframes] [--library DIR]\n"
        "\n"
        "Cuts VIDEO into clips and adds them to the video library. Clips start and end on the\n"
        "frames asked for; only the few frames from a split to the next keyframe are encoded again.\n"
        "\n"
        "  --at TIME       split at TIME; repeat for more splits. TIME is seconds (75.5),\n"
        "                  with a unit (75.5s, 1500ms, 2min, 1h), mm:ss(.fff), h:mm:ss(.fff)\n"
        "                  or a share of the video (40%)\n"
        "  --parts N       cut into N parts of equal length\n"
        "  --every TIME    cut into clips of TIME each (the last one may be shorter)\n"
        "  --keyframes     encode nothing: move each split to the keyframe at or before it\n"
        "  --library DIR   add the clips to DIR instead of the video library\n"
        "                  (%1)\n")
        .arg(QDir::toNativeSeparators(FolderVideoLibrary::defaultFolder()));
}

int SplitCommand::run(const QStringList& arguments, VideoGenerator& generator, Io io)
{
    QCommandLineParser parser;
    // A word after a single dash is short options, never a long one ("-at" is no --at).
    const QCommandLineOption at(QStringLiteral("at"), QString(), QStringLiteral("TIME"));
    const QCommandLineOption parts(QStringLiteral("parts"), QString(), QStringLiteral("N"));
    const QCommandLineOption every(QStringLiteral("every"), QString(), QStringLiteral("TIME"));
    const QCommandLineOption library(QStringLiteral("library"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption keyframes(QStringLiteral("keyframes"));
    const QCommandLineOption help(QStringList{QStringLiteral("help"), QStringLiteral("h")});
    parser.addOptions({at, parts, every, library, keyframes, help});

    auto badUsage = [&io](const QString& why) {
        io.err << "trimora split: " << why << "\n"
               << QCoreApplication::translate("SplitCommand", "Try 'trimora split --help'.") << "\n";
        io.err.flush();
        return BadUsage;
    };
    if (!parser.parse(QStringList{QStringLiteral("trimora-split")} + arguments))
        return badUsage(parser.errorText());
    if (parser.isSet(help)) {
        io.out << usage();
        io.out.flush();
        return 0;
    }
    if (parser.positionalArguments().size() != 1)
        return badUsage(parser.positionalArguments().isEmpty()
                ? QCoreApplication::translate("SplitCommand", "name one video to split.")
                : QCoreApplication::translate("SplitCommand", "name only one video to split."));
    const int ways = int(parser.isSet(at)) + int(parser.isSet(parts)) + int(parser.isSet(every));
    if (ways != 1)
        return badUsage(QCoreApplication::translate("SplitCommand", "give exactly one of --at, --parts and --every."));
    if (parser.values(library).size() > 1 || parser.values(parts).size() > 1 || parser.values(every).size() > 1)
        return badUsage(
            QCoreApplication::translate("SplitCommand", "--parts, --every and --library can each be given once."));
    if (parser.isSet(library) && parser.value(library).isEmpty())
        return badUsage(QCoreApplication::translate("SplitCommand", "--library: '' is not a folder."));

    SplitRequest request;
    // Absolute here, against the working folder as the system names it: the names may
    // hold bytes that are not UTF-8, which QFileInfo and QDir would replace.
    request.video = absoluteFileName(parser.positionalArguments().constFirst());
    request.at = parser.values(at);
    if (parser.isSet(parts))
        request.parts = parser.value(parts);
    request.every = parser.value(every);
    request.library = absoluteFileName(parser.isSet(library) ? parser.value(library) : FolderVideoLibrary::defaultFolder());

    const Outcome<VideoInfo> video = probeVideo(request.video);
    if (!video) {
        io.err << "trimora split: " << escapeControlCharacters(video.error()) << "\n";
        io.err.flush();
        return BadUsage;
    }

    CutModel model(video->duration);
    QString error;
    if (!placeSplitPoints(request, video->duration, model, &error))
        return badUsage(error);

    return runExport(request, exportPlan(model.splitPoints(), model.duration(), parser.isSet(keyframes)), video.value(),
                     generator, io);
}

int SplitCommand::runExport(const SplitRequest& request, const std::vector<PlannedCut>& plan, const VideoInfo& video,
                            VideoGenerator& generator, Io& io)
{
    FolderVideoLibrary folder(request.library);
    // From here a stop signal is ours: whatever it interrupts is tidied up first.
    StopSignals stopSignals;

    const bool keyframesOnly = !plan.empty() && plan.front().keyframesOnly;
    ExportConsole console(io, keyframeNotes(request.video, plan, keyframesOnly ? CutMode::KeyframesOnly : CutMode::Exact,
                                            io.err));
    ExportSummary result;
    QEventLoop loop;
    int stoppedBy = 0;
    ExportHandlers handlers;
    handlers.clipDone = [&](const ClipReport& report, const ExportSummary&) {
        if (!stoppedBy || report.result == ClipReport::Result::InLibrary)
            console.clipDone(report);
    };
    handlers.finished = [&](const ExportSummary& summary) {
        result = summary;
        loop.quit();
    };
    // A stop ends every cut and names nothing more; the working files go once their
    // cuts let them go, or after a moment whatever they do.
    auto stopExport = [&](int signalNumber) {
        if (stoppedBy)
            return;
        stoppedBy = signalNumber;
        folder.stop();
        generator.stop();
        stopAllMediaReads();
        loop.quit();
    };
    QObject::connect(&stopSignals, &StopSignals::stopRequested, &loop, stopExport);
    // A closed standard output is a stop too (the shell reports a process it ended with
    // SIGPIPE the same way), so that nothing is left half-written.
    console.outputClosed = [&] { stopExport(SIGPIPE); };
    // Said from the thread that waits; shown here, and never once the export is over.
    const auto noticeTarget = std::make_shared<ExportConsole*>(&console);
    const auto forgetTarget = qScopeGuard([noticeTarget] { *noticeTarget = nullptr; });
    folder.setWaitNotice([noticeTarget](const QString& text) {
        postToMainThread([noticeTarget, text] {
            if (*noticeTarget)
                (*noticeTarget)->notice(text);
        });
    });

    const Outcome<void> started = startExport(plan, QUrl::fromLocalFile(QFileInfo(request.video).absoluteFilePath()),
                                              generator, folder, std::move(handlers));
    if (!started) {
        io.err << "trimora split: " << escapeControlCharacters(started.error()) << "\n"
               << QCoreApplication::translate("SplitCommand", "Nothing was cut.") << "\n";
        io.err.flush();
        return BadUsage;
    }
    io.err << QCoreApplication::translate("SplitCommand", "Cutting %1 (%2) into %n clips for %3", nullptr, int(plan.size()))
                  .arg(escapeControlCharacters(QFileInfo(request.video).fileName()), timeText(video.duration),
                       escapeControlCharacters(QDir::toNativeSeparators(folder.folder())))
           << "\n";
    io.err.flush();
    console.start();
    loop.exec();

    if (stoppedBy) {
        // Cuts end at their next read; what they finished before the stop is reported.
        generator.waitForCuts(STOP_GRACE);
        folder.removeWorkingFiles();
        QCoreApplication::sendPostedEvents();
        console.stopped(folder.folder(), stoppedBy == SIGPIPE);
        return StopSignals::exitStatus(stoppedBy);
    }
    if (!result.succeeded()) {
        if (result.failed == 0)
            io.err << QCoreApplication::translate("SplitCommand", "No clip holds a frame; nothing was saved.") << "\n";
        else
            io.err << QCoreApplication::translate("SplitCommand", "%1 of %2 clips failed.")
                          .arg(result.failed)
                          .arg(result.total)
                   << "\n";
        io.err.flush();
        return ClipFailed;
    }
    return Success;
}
