#include "SplitCommand.h"

#include <cmath>
#include <memory>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTextStream>
#include <QUrl>

#include "CommandLineTime.h"
#include "CutModel.h"
#include "ExportPlan.h"
#include "ExportRun.h"
#include "FolderVideoLibrary.h"
#include "MediaProbe.h"
#include "StreamCopyCutter.h"
#include "TimeText.h"
#include "VideoGenerator.h"

namespace {

constexpr int MAX_CLIPS = 10000;

QString timeForMessage(double seconds)
{
    return timeText(seconds);
}

struct SplitRequest {
    QString video;
    QStringList at;
    QString parts;
    QString every;
    QString library;
};

// Places the requested split points in the model, or says why they cannot be.
bool placeSplitPoints(const SplitRequest& request, double duration, CutModel& model, QString* error)
{
    if (!request.at.isEmpty()) {
        for (const QString& text : request.at) {
            const std::optional<CommandLineTime> time = parseCommandLineTime(text, error);
            if (!time)
                return false;
            const double seconds = time->seconds(duration);
            if (seconds > duration) {
                *error = QStringLiteral("--at %1 is after the end of the video (%2).").arg(text, timeForMessage(duration));
                return false;
            }
            if (!model.addSplitPoint(seconds / duration)) {
                *error = QStringLiteral("--at %1 repeats a split point given before.").arg(text);
                return false;
            }
        }
        return true;
    }
    if (!request.parts.isEmpty()) {
        bool ok = false;
        const int parts = request.parts.toInt(&ok);
        if (!ok || parts < 1 || parts > MAX_CLIPS) {
            *error = QStringLiteral("--parts wants a whole number from 1 to %1, not '%2'.").arg(MAX_CLIPS).arg(request.parts);
            return false;
        }
        for (int k = 1; k < parts; ++k)
            model.addSplitPoint(double(k) / parts);
        return true;
    }
    const std::optional<CommandLineTime> every = parseCommandLineTime(request.every, error);
    if (!every)
        return false;
    if (every->percent || !(every->value > 0.0)) {
        *error = QStringLiteral("--every wants a length of time above zero, such as 30 or 5:00, not '%1'.").arg(request.every);
        return false;
    }
    if (duration / every->value > MAX_CLIPS) {
        *error = QStringLiteral("--every %1 would make more than %2 clips.").arg(request.every).arg(MAX_CLIPS);
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
        err << "Cutting at keyframes only (nothing is encoded again):\n";
        for (size_t k = 0; k < plan.size(); ++k)
            err << QStringLiteral("  %1 starts at %2 s (asked for %3 s)\n")
                       .arg(plan[k].fileName, secondsText(starts->times[k]), secondsText(plan[k].startTime));
        return notes;
    }
    for (size_t k = 0; k < plan.size(); ++k) {
        if (starts->times[k] < plan[k].startTime - 1e-6)
            notes[k] = QStringLiteral(" (starts at the keyframe at %1 s, before the split: its %2 video cannot be "
                                      "encoded again here)").arg(secondsText(starts->times[k]), starts->codec);
    }
    return notes;
}

QString progressBar(int done, int total)
{
    constexpr int WIDTH = 30;
    const int filled = total > 0 ? done * WIDTH / total : WIDTH;
    return QStringLiteral("\r[%1%2] %3 of %4 clips")
        .arg(QString(filled, QLatin1Char('#')), QString(WIDTH - filled, QLatin1Char(' ')))
        .arg(done)
        .arg(total);
}

QString resultLine(const ClipReport& report)
{
    switch (report.result) {
    case ClipReport::Result::InLibrary:
        return QStringLiteral("%1: %2").arg(report.fileName, escapeControlCharacters(report.libraryPath));
    case ClipReport::Result::Empty:
        return QStringLiteral("%1: empty, skipped").arg(report.fileName);
    case ClipReport::Result::CutFailed:
    case ClipReport::Result::LibraryRefused:
        break;
    }
    return QStringLiteral("%1: failed: %2").arg(report.fileName, escapeControlCharacters(report.error));
}

} // namespace

QString SplitCommand::usage()
{
    return QStringLiteral(
        "Usage: trimora split VIDEO (--at TIME... | --parts N | --every TIME) [--keyframes] [--library DIR]\n"
        "\n"
        "Cuts VIDEO into clips and adds them to the video library. Clips start and end on the\n"
        "frames asked for; only the few frames from a split to the next keyframe are encoded again.\n"
        "\n"
        "  --at TIME       split at TIME; repeat for more splits. TIME is seconds (75.5),\n"
        "                  mm:ss(.fff), h:mm:ss(.fff) or a share of the video (40%)\n"
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
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption at(QStringLiteral("at"), QString(), QStringLiteral("TIME"));
    const QCommandLineOption parts(QStringLiteral("parts"), QString(), QStringLiteral("N"));
    const QCommandLineOption every(QStringLiteral("every"), QString(), QStringLiteral("TIME"));
    const QCommandLineOption library(QStringLiteral("library"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption keyframes(QStringLiteral("keyframes"));
    parser.addOptions({at, parts, every, library, keyframes});

    auto badUsage = [&io](const QString& why) {
        io.err << "trimora split: " << why << "\n\n" << usage();
        io.err.flush();
        return BadUsage;
    };
    if (!parser.parse(QStringList{QStringLiteral("trimora-split")} + arguments))
        return badUsage(parser.errorText());
    if (parser.positionalArguments().size() != 1)
        return badUsage(parser.positionalArguments().isEmpty() ? QStringLiteral("name one video to split.")
                                                               : QStringLiteral("name only one video to split."));
    const int ways = int(parser.isSet(at)) + int(parser.isSet(parts)) + int(parser.isSet(every));
    if (ways != 1)
        return badUsage(QStringLiteral("give exactly one of --at, --parts and --every."));
    if (parser.values(library).size() > 1 || parser.values(parts).size() > 1 || parser.values(every).size() > 1)
        return badUsage(QStringLiteral("--parts, --every and --library can each be given once."));

    SplitRequest request;
    request.video = parser.positionalArguments().constFirst();
    request.at = parser.values(at);
    request.parts = parser.value(parts);
    request.every = parser.value(every);
    request.library = parser.isSet(library) ? parser.value(library) : FolderVideoLibrary::defaultFolder();

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

    const std::vector<PlannedCut> plan = exportPlan(model.splitPoints(), model.duration());
    generator.cutMode = parser.isSet(keyframes) ? CutMode::KeyframesOnly : CutMode::Exact;
    const std::vector<QString> notes = keyframeNotes(request.video, plan, generator.cutMode, io.err);
    FolderVideoLibrary folder(QDir(request.library).absolutePath());
    io.err << QStringLiteral("Cutting %1 (%2) into %3 clips for %4\n")
                  .arg(escapeControlCharacters(QFileInfo(request.video).fileName()), timeText(video->duration))
                  .arg(plan.size())
                  .arg(escapeControlCharacters(QDir::toNativeSeparators(folder.folder())));
    io.err.flush();

    // Results are printed in timeline order, each as soon as it and all before it
    // are done; progress is reported as clips finish, in any order.
    std::vector<std::optional<ClipReport>> reports(plan.size());
    size_t printed = 0;
    ExportSummary result;
    QEventLoop loop;
    ExportHandlers handlers;
    handlers.clipDone = [&](const ClipReport& report, const ExportSummary& soFar) {
        reports[size_t(report.index)] = report;
        if (io.liveProgress) {
            io.err << progressBar(soFar.done(), soFar.total);
            if (soFar.done() == soFar.total)
                io.err << "\n";
        } else {
            io.err << QStringLiteral("[%1/%2] %3 %4\n")
                          .arg(soFar.done())
                          .arg(soFar.total)
                          .arg(report.fileName,
                               report.result == ClipReport::Result::InLibrary ? QStringLiteral("done")
                               : report.result == ClipReport::Result::Empty   ? QStringLiteral("empty")
                                                                              : QStringLiteral("failed"));
        }
        io.err.flush();
        while (printed < reports.size() && reports[printed]) {
            io.out << resultLine(*reports[printed])
                   << (reports[printed]->result == ClipReport::Result::InLibrary ? notes[printed] : QString()) << "\n";
            ++printed;
        }
        io.out.flush();
    };
    handlers.finished = [&](const ExportSummary& summary) {
        result = summary;
        loop.quit();
    };
    if (io.liveProgress) {
        io.err << progressBar(0, int(plan.size()));
        io.err.flush();
    }
    startExport(plan, QUrl::fromLocalFile(QFileInfo(request.video).absoluteFilePath()), generator, folder,
                std::move(handlers));
    loop.exec();

    if (!result.succeeded()) {
        if (result.failed == 0)
            io.err << QStringLiteral("No clip holds a frame; nothing was saved.\n");
        else
            io.err << QStringLiteral("%1 of %2 clips failed.\n").arg(result.failed).arg(result.total);
        io.err.flush();
        return ClipFailed;
    }
    return Success;
}
