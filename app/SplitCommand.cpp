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
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTextStream>
#include <QUrl>

#include "CommandLineTime.h"
#include "CutModel.h"
#include "ExportPlan.h"
#include "ExportRun.h"
#include "FileNames.h"
#include "FolderVideoLibrary.h"
#include "MainThread.h"
#include "MediaProbe.h"
#include "StopSignals.h"
#include "StreamCopyCutter.h"
#include "TimeText.h"
#include "VideoGenerator.h"

namespace {

constexpr int MAX_CLIPS = 10000;
// How long a stopped export waits for its cuts to let their working files go.
constexpr std::chrono::seconds STOP_GRACE{3};
// The longest clip name, in bytes: a file name holds 255, and the container's
// extension and a number for a name already taken (" (12).webm") need the rest.
constexpr int LONGEST_NAME = 230;

// How much is said on standard error besides errors.
enum class Verbosity { Quiet, Normal, Verbose };

} // namespace

struct SplitCommand::SplitRequest {
    QStringList at;
    std::optional<QString> parts;
    QString every;
    QString library;
    bool keyframes = false;
    bool dryRun = false;
    bool json = false;
    Verbosity verbosity = Verbosity::Normal;
};

// One video of the command: what it is, its clips, and what became of them.
struct SplitCommand::VideoJob {
    QString path; // absolute, as the system names it
    VideoInfo info;
    std::vector<PlannedCut> plan;
    StreamCopyCutter::Preview preview; // one clip per cut of the plan
    std::vector<std::optional<ClipReport>> reports;
};

namespace {

using SplitRequest = SplitCommand::SplitRequest;
using VideoJob = SplitCommand::VideoJob;
using ClipPreview = StreamCopyCutter::ClipPreview;

// Places the requested split points in the model, or says why they cannot be.
bool placeSplitPoints(const SplitRequest& request, double duration, CutModel& model, QString* error)
{
    if (!request.at.isEmpty()) {
        for (const QString& text : request.at) {
            const Outcome<CommandLineTime> time = parseCommandLineTime(text);
            if (!time) {
                *error = SplitCommand::tr("--at: %1").arg(time.error());
                return false;
            }
            const double seconds = time->seconds(duration);
            if (seconds > duration) {
                *error = SplitCommand::tr("--at %1 is after the end of the video (%2).").arg(text, timeText(duration));
                return false;
            }
            if (!model.addSplitPoint(seconds / duration)) {
                *error = SplitCommand::tr("--at %1 repeats a split point given before.").arg(text);
                return false;
            }
        }
        return true;
    }
    if (request.parts) {
        bool ok = false;
        const int parts = request.parts->trimmed().toInt(&ok);
        if (!ok) {
            *error = SplitCommand::tr("--parts: '%1' is not a number.").arg(*request.parts);
            return false;
        }
        if (parts < 1 || parts > MAX_CLIPS) {
            *error = SplitCommand::tr("--parts: %1 is not a whole number from 1 to %2.").arg(parts).arg(MAX_CLIPS);
            return false;
        }
        model.addSplitPoints(equalPartsPoints(parts));
        return true;
    }
    const Outcome<CommandLineTime> every = parseCommandLineTime(request.every);
    if (!every) {
        *error = SplitCommand::tr("--every: %1").arg(every.error());
        return false;
    }
    if (every->percent || !(every->value > 0.0)) {
        *error = SplitCommand::tr("--every: wants a length of time above zero, such as 30 or 5:00, not '%1'.")
                     .arg(request.every);
        return false;
    }
    if (duration / every->value > MAX_CLIPS) {
        *error = SplitCommand::tr("--every: %1 would make more than %2 clips.").arg(request.every).arg(MAX_CLIPS);
        return false;
    }
    model.addSplitPoints(everyPoints(every->value, duration));
    return true;
}

QString secondsText(double seconds)
{
    return QString::number(seconds, 'f', 3);
}

bool moved(double from, double to)
{
    return std::abs(from - to) > 1e-6;
}

// Keyframe mode on its own lines: where each split moved, and which clips it left
// without a frame.
void keyframeNotes(const VideoJob& job, QTextStream& err)
{
    const std::vector<ClipPreview>& clips = job.preview.clips;
    err << SplitCommand::tr("Cutting at keyframes only (the frames are copied as they are):") << "\n";
    int notes = 0;
    for (size_t k = 1; k < clips.size(); ++k) {
        if (clips[k].kind == ClipPreview::Kind::Failed || !moved(job.plan[k].startTime, clips[k].start))
            continue;
        err << "  " << SplitCommand::tr("the split at %1 s moves to the keyframe at %2 s")
                          .arg(secondsText(job.plan[k].startTime), secondsText(clips[k].start))
            << "\n";
        ++notes;
    }
    for (size_t k = 0; k < clips.size(); ++k) {
        if (clips[k].kind != ClipPreview::Kind::Empty)
            continue;
        err << "  " << SplitCommand::tr("%1 holds no frame: both its ends are at the keyframe at %2 s; it is skipped")
                          .arg(job.plan[k].fileName, secondsText(clips[k].start))
            << "\n";
        ++notes;
    }
    if (notes == 0)
        err << "  " << SplitCommand::tr("every split is on a keyframe") << "\n";
}

// What a clip of the preview comes to, after its name: "0.000 s to 3.360 s, 84 frames,
// 16 encoded again".
QString plannedText(const ClipPreview& clip)
{
    switch (clip.kind) {
    case ClipPreview::Kind::Empty:
        return SplitCommand::tr("empty, skipped");
    case ClipPreview::Kind::Failed:
        return SplitCommand::tr("failed: %1").arg(escapeControlCharacters(clip.error));
    case ClipPreview::Kind::Clip:
        break;
    }
    QString text = SplitCommand::tr("%1 s to %2 s").arg(secondsText(clip.start), secondsText(clip.end));
    if (clip.frames >= 0)
        text += QStringLiteral(", ") + SplitCommand::tr("%n frames", nullptr, clip.frames);
    if (clip.encodedFrames > 0)
        text += QStringLiteral(", ") + SplitCommand::tr("%1 encoded again").arg(clip.encodedFrames);
    return text;
}

// In exact mode, a clip of a video we cannot encode starts at the keyframe before its
// split: said after its result.
QString startNote(const VideoJob& job, size_t index)
{
    const ClipPreview& clip = job.preview.clips[index];
    if (job.plan[index].keyframesOnly || job.preview.reencodable || clip.kind != ClipPreview::Kind::Clip
        || !(clip.start < job.plan[index].startTime - 1e-6))
        return {};
    return QStringLiteral(" ")
        + SplitCommand::tr("(starts at the keyframe at %1 s, before the split: its %2 video cannot be encoded "
                           "again here)")
              .arg(secondsText(clip.start), job.preview.codec);
}

QString progressBar(int done, int total)
{
    constexpr int WIDTH = 30;
    const int filled = total > 0 ? done * WIDTH / total : WIDTH;
    return QStringLiteral("\r[%1%2] ").arg(QString(filled, QLatin1Char('#')), QString(WIDTH - filled, QLatin1Char(' ')))
        + SplitCommand::tr("%1 of %2 clips").arg(done).arg(total);
}

// Back to the start of the progress bar's line, and the line wiped.
constexpr char CLEAR_LINE[] = "\r\x1b[K";

QString resultLine(const ClipReport& report)
{
    switch (report.result) {
    case ClipReport::Result::InLibrary:
        return QStringLiteral("%1: %2").arg(report.fileName, escapeControlCharacters(report.libraryPath));
    case ClipReport::Result::Empty:
        return SplitCommand::tr("%1: empty, skipped").arg(report.fileName);
    case ClipReport::Result::Stopped:
        return SplitCommand::tr("%1: stopped").arg(report.fileName);
    case ClipReport::Result::CutFailed:
        break;
    }
    return SplitCommand::tr("%1: failed: %2")
        .arg(report.fileName, escapeControlCharacters(report.error));
}

// What the user sees of a running export: one result line per clip, in timeline order,
// each as soon as it and all before it are done; and, on a terminal, a progress bar on
// standard error that result lines never run into.
class ExportConsole final {
public:
    // results: where the result lines go (standard output, or standard error under
    // --json, or nowhere when quiet then).
    ExportConsole(SplitCommand::Io& streams, VideoJob& video, QTextStream* results, bool showProgress)
        : io(streams)
        , job(video)
        , lines(results)
        , progress(showProgress && streams.liveProgress)
    {
        job.reports.assign(job.plan.size(), std::nullopt);
    }

    void start()
    {
        drawProgress();
    }

    void clipDone(const ClipReport& report)
    {
        job.reports[size_t(report.index)] = report;
        ++done;
        if (report.result == ClipReport::Result::InLibrary)
            ++saved;
        clearProgress();
        while (printed < job.reports.size() && job.reports[printed]) {
            if (lines)
                *lines << line(printed) << "\n";
            ++printed;
        }
        if (lines) {
            lines->flush();
            if (lines->status() != QTextStream::Ok && lines == &io.out && outputClosed) {
                outputClosed();
                return;
            }
        }
        if (done < int(job.reports.size()))
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
    void stopped(bool outputGone)
    {
        clearProgress();
        for (; printed < job.reports.size(); ++printed) {
            const std::optional<ClipReport>& report = job.reports[printed];
            if (lines && !(outputGone && lines == &io.out) && report && report->result == ClipReport::Result::InLibrary)
                *lines << line(printed) << "\n";
        }
        if (lines)
            lines->flush();
    }

    int savedCount() const { return saved; }

private:
    QString line(size_t index) const
    {
        const ClipReport& report = *job.reports[index];
        return resultLine(report) + (report.result == ClipReport::Result::InLibrary ? startNote(job, index) : QString());
    }

    void drawProgress()
    {
        if (!progress)
            return;
        io.err << progressBar(done, int(job.reports.size()));
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
    VideoJob& job;
    QTextStream* lines;
    bool progress;
    size_t printed = 0;
    int done = 0;
    int saved = 0;
    bool barShown = false;
};

// The options of `trimora split`, each with the one description its help gives.
struct SplitOptions {
    QCommandLineOption at{QStringLiteral("at"),
        SplitCommand::tr("split at TIME; repeat for more splits. TIME is seconds (75.5), with a unit (75.5s, 1500ms, "
           "2min, 1h), mm:ss(.fff), h:mm:ss(.fff) or a share of the video (40%)"),
        QStringLiteral("TIME")};
    QCommandLineOption parts{
        QStringLiteral("parts"), SplitCommand::tr("cut into N parts of equal length"), QStringLiteral("N")};
    QCommandLineOption every{
        QStringLiteral("every"), SplitCommand::tr("cut into clips of TIME each (the last one may be shorter)"),
        QStringLiteral("TIME")};
    QCommandLineOption keyframes{
        QStringLiteral("keyframes"), SplitCommand::tr("encode nothing: move each split to the keyframe at or before it")};
    QCommandLineOption library{QStringLiteral("library"),
        SplitCommand::tr("add the clips to DIR instead of the video library (%1)")
            .arg(QDir::toNativeSeparators(FolderVideoLibrary::defaultFolder())),
        QStringLiteral("DIR")};
    QCommandLineOption name{QStringLiteral("name"),
        SplitCommand::tr("name the clips by TEMPLATE: {stem} is the video's name without its extension, {n} the "
           "clip's number from 0, {n:02} the number with two digits at least (default: split-{n})"),
        QStringLiteral("TEMPLATE")};
    QCommandLineOption dryRun{
        QStringLiteral("dry-run"), SplitCommand::tr("show the clips that would be cut (times, frames), and cut nothing")};
    QCommandLineOption json{QStringLiteral("json"),
        SplitCommand::tr("write one JSON document about the clips to standard output; the result lines go to "
           "standard error")};
    QCommandLineOption quiet{QStringList{QStringLiteral("q"), QStringLiteral("quiet")},
        SplitCommand::tr("say nothing on standard error but errors")};
    QCommandLineOption verbose{QStringList{QStringLiteral("v"), QStringLiteral("verbose")},
        SplitCommand::tr("say more: each clip's times and frames before cutting")};
    QCommandLineOption help{QStringList{QStringLiteral("h"), QStringLiteral("help")}, SplitCommand::tr("show this help")};
    QCommandLineOption version{
        QStringList{QStringLiteral("V"), QStringLiteral("version")}, SplitCommand::tr("show Trimora's version")};

    QList<QCommandLineOption> all() const
    {
        return {at, parts, every, keyframes, library, name, dryRun, json, quiet, verbose, help, version};
    }
};

// An option's line of the help: "  -q, --quiet       say nothing ...", its description
// wrapped to the terminal's usual 80 columns.
QString optionHelp(const QCommandLineOption& option)
{
    constexpr int INDENT = 21;
    constexpr int WIDTH = 80;
    QStringList names;
    for (const QString& name : option.names())
        names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    QString head = QStringLiteral("  ") + names.join(QStringLiteral(", "));
    if (!option.valueName().isEmpty())
        head += QLatin1Char(' ') + option.valueName();
    QStringList lines;
    QString line = head.leftJustified(INDENT);
    if (head.size() >= INDENT - 1) {
        lines << head;
        line = QString(INDENT, QLatin1Char(' '));
    }
    for (const QString& word : option.description().split(QLatin1Char(' '))) {
        if (line.size() > INDENT && line.size() + word.size() > WIDTH) {
            line.chop(1);
            lines << line;
            line = QString(INDENT, QLatin1Char(' '));
        }
        line += word + QLatin1Char(' ');
    }
    line.chop(1);
    lines << line;
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

// A number for JSON: seconds to the microsecond, so that a reader gets what was printed.
double jsonSeconds(double seconds)
{
    return std::round(seconds * 1e6) / 1e6;
}

QJsonObject clipJson(const VideoJob& job, size_t k, bool dryRun)
{
    const PlannedCut& cut = job.plan[k];
    const ClipPreview& clip = job.preview.clips[k];
    QJsonObject object{
        {QStringLiteral("name"), cut.fileName},
        {QStringLiteral("askedStart"), jsonSeconds(cut.startTime)},
        {QStringLiteral("askedEnd"), jsonSeconds(cut.endTime)},
    };
    if (clip.kind == ClipPreview::Kind::Clip) {
        object.insert(QStringLiteral("start"), jsonSeconds(clip.start));
        object.insert(QStringLiteral("end"), jsonSeconds(clip.end));
        object.insert(QStringLiteral("frames"), clip.frames);
        object.insert(QStringLiteral("encodedFrames"), clip.encodedFrames);
    }
    QString result;
    if (dryRun) {
        result = clip.kind == ClipPreview::Kind::Clip ? QStringLiteral("planned")
            : clip.kind == ClipPreview::Kind::Empty   ? QStringLiteral("empty")
                                                      : QStringLiteral("failed");
        if (clip.kind == ClipPreview::Kind::Failed)
            object.insert(QStringLiteral("error"), shownFileName(clip.error));
    } else if (!job.reports[k]) {
        result = QStringLiteral("stopped");
    } else {
        const ClipReport& report = *job.reports[k];
        switch (report.result) {
        case ClipReport::Result::InLibrary:
            result = QStringLiteral("saved");
            object.insert(QStringLiteral("path"), shownFileName(report.libraryPath));
            break;
        case ClipReport::Result::Empty:
            result = QStringLiteral("empty");
            break;
        case ClipReport::Result::Stopped:
            result = QStringLiteral("stopped");
            break;
        case ClipReport::Result::CutFailed:
            result = QStringLiteral("failed");
            object.insert(QStringLiteral("error"), shownFileName(report.error));
            break;
        }
    }
    object.insert(QStringLiteral("result"), result);
    return object;
}

// The whole command as one JSON document, for scripts. Names that are not UTF-8
// show each such byte as "\xFF", as the messages do.
QByteArray commandJson(const std::vector<VideoJob>& jobs, const SplitRequest& request, int status)
{
    QJsonArray videos;
    // Every result a clip can have, counted (those of a dry run and a stop included).
    QJsonObject totals{{QStringLiteral("clips"), 0}, {QStringLiteral("saved"), 0}, {QStringLiteral("empty"), 0},
                       {QStringLiteral("failed"), 0}};
    for (const VideoJob& job : jobs) {
        QJsonArray list;
        for (size_t k = 0; k < job.plan.size(); ++k) {
            const QJsonObject clip = clipJson(job, k, request.dryRun);
            const QString result = clip.value(QStringLiteral("result")).toString();
            totals.insert(result, totals.value(result).toInt() + 1);
            list.append(clip);
        }
        totals.insert(QStringLiteral("clips"), totals.value(QStringLiteral("clips")).toInt() + int(job.plan.size()));
        videos.append(QJsonObject{
            {QStringLiteral("path"), shownFileName(job.path)},
            {QStringLiteral("duration"), jsonSeconds(job.info.duration)},
            {QStringLiteral("clips"), list},
        });
    }
    const QString statusText = request.dryRun ? QStringLiteral("dry run")
        : status > 128                        ? QStringLiteral("stopped")
        : status == 0                         ? QStringLiteral("done")
                                              : QStringLiteral("failed");
    const QJsonObject document{
        {QStringLiteral("status"), statusText},
        {QStringLiteral("exitStatus"), status},
        {QStringLiteral("keyframesOnly"), request.keyframes},
        {QStringLiteral("library"), shownFileName(request.library)},
        {QStringLiteral("videos"), videos},
        {QStringLiteral("totals"), totals},
    };
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

} // namespace

QString SplitCommand::usage()
{
    QString text = tr("Usage: trimora split [OPTION]... VIDEO... (--at TIME... | --parts N | --every TIME)\n"
                      "\n"
                      "Cuts each VIDEO into clips and adds them to the video library. Clips start and end\n"
                      "on the frames asked for; only the few frames from a split to the next keyframe are\n"
                      "encoded again. Nothing in the library is ever replaced.\n"
                      "\n");
    for (const QCommandLineOption& option : SplitOptions().all())
        text += optionHelp(option);
    return text;
}

int SplitCommand::run(const QStringList& arguments, VideoGenerator& generator, Io io)
{
    QCommandLineParser parser;
    // A word after a single dash is short options, never a long one ("-at" is no --at).
    const SplitOptions options;
    parser.addOptions(options.all());

    auto badUsage = [&io](const QString& why) {
        io.err << "trimora split: " << why << "\n" << SplitCommand::tr("Try 'trimora split --help'.") << "\n";
        io.err.flush();
        return BadUsage;
    };
    if (!parser.parse(QStringList{QStringLiteral("trimora-split")} + arguments))
        return badUsage(parser.errorText());
    if (parser.isSet(options.help)) {
        io.out << usage();
        io.out.flush();
        return 0;
    }
    if (parser.positionalArguments().isEmpty())
        return badUsage(SplitCommand::tr("name a video to split."));
    const int ways = int(parser.isSet(options.at)) + int(parser.isSet(options.parts)) + int(parser.isSet(options.every));
    if (ways != 1)
        return badUsage(SplitCommand::tr("give exactly one of --at, --parts and --every."));
    for (const QCommandLineOption& once : {options.library, options.parts, options.every, options.name}) {
        if (parser.values(once).size() > 1)
            return badUsage(SplitCommand::tr("--%1 can be given once.").arg(once.names().constLast()));
    }
    if (parser.isSet(options.quiet) && parser.isSet(options.verbose))
        return badUsage(SplitCommand::tr("--quiet and --verbose cannot be given together."));
    if (parser.isSet(options.library) && parser.value(options.library).isEmpty())
        return badUsage(SplitCommand::tr("--library: '' is not a folder."));
    const Outcome<ClipNamePattern> names
        = ClipNamePattern::parse(parser.isSet(options.name) ? parser.value(options.name) : QStringLiteral("split-{n}"));
    if (!names)
        return badUsage(SplitCommand::tr("--name: %1").arg(names.error()));

    SplitRequest request;
    request.at = parser.values(options.at);
    if (parser.isSet(options.parts))
        request.parts = parser.value(options.parts);
    request.every = parser.value(options.every);
    // Absolute here, against the working folder as the system names it: the names may
    // hold bytes that are not UTF-8, which QFileInfo and QDir would replace.
    request.library = absoluteFileName(
        parser.isSet(options.library) ? parser.value(options.library) : FolderVideoLibrary::defaultFolder());
    request.keyframes = parser.isSet(options.keyframes);
    request.dryRun = parser.isSet(options.dryRun);
    request.json = parser.isSet(options.json);
    request.verbosity = parser.isSet(options.quiet) ? Verbosity::Quiet
        : parser.isSet(options.verbose)             ? Verbosity::Verbose
                                                    : Verbosity::Normal;

    // Every video is read and every split placed before anything is cut: a mistake in
    // the last name leaves the library as it was.
    const QStringList paths = parser.positionalArguments();
    std::vector<VideoJob> jobs;
    for (const QString& path : paths) {
        VideoJob job;
        job.path = absoluteFileName(path);
        Outcome<VideoInfo> video = probeVideo(job.path);
        if (!video) {
            io.err << "trimora split: " << escapeControlCharacters(video.error()) << "\n";
            if (paths.size() > 1)
                io.err << SplitCommand::tr("Nothing was cut.") << "\n";
            io.err.flush();
            return BadUsage;
        }
        job.info = std::move(video.value());
        CutModel model(job.info.duration);
        QString error;
        const QString shown = escapeControlCharacters(QFileInfo(job.path).fileName());
        if (!placeSplitPoints(request, job.info.duration, model, &error))
            return badUsage(paths.size() > 1 ? shown + QStringLiteral(": ") + error : error);
        job.plan = exportPlan(model.splitPoints(), model.duration(), request.keyframes);
        const QString stem = QFileInfo(job.path).completeBaseName();
        for (PlannedCut& cut : job.plan) {
            cut.fileName = names->name(stem, cut.index);
            if (cut.fileName.isEmpty() || fileNameBytes(cut.fileName).size() > LONGEST_NAME)
                return badUsage(SplitCommand::tr("--name: the clips of %1 would be named '%2', which is no file name.")
                                    .arg(shown, escapeControlCharacters(cut.fileName.left(60))));
        }
        jobs.push_back(std::move(job));
    }

    // Where each clip really starts and ends (and how many frames it holds, when that
    // is to be shown): keyframe mode moves the splits, and a video we cannot encode
    // starts its clips at keyframes.
    const bool countFrames = request.dryRun || request.json || request.verbosity == Verbosity::Verbose;
    const CutMode mode = request.keyframes ? CutMode::KeyframesOnly : CutMode::Exact;
    for (VideoJob& job : jobs) {
        std::vector<std::pair<double, double>> ranges;
        for (const PlannedCut& cut : job.plan)
            ranges.emplace_back(cut.startTime, cut.endTime);
        Outcome<StreamCopyCutter::Preview> preview = StreamCopyCutter::preview(job.path, ranges, mode, countFrames);
        if (!preview) {
            // None of its clips could be cut: said before anything is.
            io.err << "trimora split: " << escapeControlCharacters(preview.error()) << "\n"
                   << SplitCommand::tr("Nothing was cut.") << "\n";
            io.err.flush();
            return BadUsage;
        }
        job.preview = std::move(preview.value());
    }

    int status = Success;
    QTextStream* results = request.json ? (request.verbosity == Verbosity::Quiet ? nullptr : &io.err) : &io.out;
    if (request.dryRun) {
        for (const VideoJob& job : jobs) {
            if (request.verbosity != Verbosity::Quiet) {
                io.err << SplitCommand::tr("Would cut %1 (%2) into %n clips for %3; nothing is cut", nullptr,
                                           int(job.plan.size()))
                              .arg(escapeControlCharacters(QFileInfo(job.path).fileName()), timeText(job.info.duration),
                                   escapeControlCharacters(QDir::toNativeSeparators(request.library)))
                       << "\n";
                if (request.keyframes)
                    keyframeNotes(job, io.err);
            }
            int holding = 0;
            for (size_t k = 0; k < job.plan.size(); ++k) {
                const ClipPreview& clip = job.preview.clips[k];
                holding += clip.kind == ClipPreview::Kind::Clip;
                if (clip.kind == ClipPreview::Kind::Failed || (holding == 0 && k + 1 == job.plan.size()))
                    status = ClipFailed;
                if (results)
                    *results << job.plan[k].fileName << ": " << plannedText(clip) << startNote(job, k) << "\n";
            }
        }
    } else {
        for (VideoJob& job : jobs) {
            const int result = runExport(request, job, generator, io, results);
            status = std::max(status, result);
            if (result == BadUsage) {
                // The library cannot take this video's clips: nor, then, those of the next.
                io.err << (&job == &jobs.front() ? tr("Nothing was cut.") : tr("Nothing more was cut.")) << "\n";
                break;
            }
            if (result > 128)
                break;
        }
    }
    if (request.json) {
        io.out << QString::fromUtf8(commandJson(jobs, request, status));
    }
    io.out.flush();
    io.err.flush();
    return status;
}

int SplitCommand::runExport(const SplitRequest& request, VideoJob& job, VideoGenerator& generator, Io& io,
                            QTextStream* results)
{
    FolderVideoLibrary folder(request.library);
    // From here a stop signal is ours: whatever it interrupts is tidied up first.
    StopSignals stopSignals;

    const bool quiet = request.verbosity == Verbosity::Quiet;
    ExportConsole console(io, job, results, !quiet);
    ExportSummary result;
    QEventLoop loop;
    int stoppedBy = 0;
    const CancelToken cancel;
    ExportHandlers handlers;
    handlers.clipDone = [&](const ClipReport& report, const ExportSummary&) {
        if (!stoppedBy || report.result == ClipReport::Result::InLibrary)
            console.clipDone(report);
    };
    handlers.finished = [&](const ExportSummary& summary) {
        result = summary;
        loop.quit();
    };
    // A stop ends every cut of this export and names nothing more; the working files go
    // once their cuts let them go, or after a moment whatever they do.
    auto stopExport = [&](int signalNumber) {
        if (stoppedBy)
            return;
        stoppedBy = signalNumber;
        folder.stop();
        cancel.cancel();
        loop.quit();
    };
    QObject::connect(&stopSignals, &StopSignals::stopRequested, &loop, stopExport);
    // A closed standard output is a stop too (the shell reports a process it ended with
    // SIGPIPE the same way), so that nothing is left half-written.
    console.outputClosed = [&] { stopExport(SIGPIPE); };
    // Said from the thread that waits; shown here, and never once the export is over.
    const auto noticeTarget = std::make_shared<ExportConsole*>(quiet ? nullptr : &console);
    const auto forgetTarget = qScopeGuard([noticeTarget] { *noticeTarget = nullptr; });
    folder.setWaitNotice([noticeTarget](const QString& text) {
        postToMainThread([noticeTarget, text] {
            if (*noticeTarget)
                (*noticeTarget)->notice(text);
        });
    });

    const Outcome<void> started = startExport(job.plan, QUrl::fromLocalFile(QFileInfo(job.path).absoluteFilePath()),
                                              generator, folder, std::move(handlers), cancel);
    if (!started) {
        io.err << "trimora split: " << escapeControlCharacters(started.error()) << "\n";
        io.err.flush();
        return BadUsage;
    }
    if (!quiet) {
        io.err << SplitCommand::tr("Cutting %1 (%2) into %n clips for %3", nullptr, int(job.plan.size()))
                      .arg(escapeControlCharacters(QFileInfo(job.path).fileName()), timeText(job.info.duration),
                           escapeControlCharacters(QDir::toNativeSeparators(folder.folder())))
               << "\n";
        if (request.keyframes)
            keyframeNotes(job, io.err);
        if (request.verbosity == Verbosity::Verbose) {
            for (size_t k = 0; k < job.plan.size(); ++k)
                io.err << "  " << job.plan[k].fileName << ": " << plannedText(job.preview.clips[k]) << "\n";
        }
        io.err.flush();
    }
    console.start();
    loop.exec();

    if (stoppedBy) {
        // Cuts end at their next read; what they finished before the stop is reported.
        generator.waitForCuts(STOP_GRACE);
        folder.removeWorkingFiles();
        QCoreApplication::sendPostedEvents();
        console.stopped(stoppedBy == SIGPIPE);
        if (stoppedBy == SIGPIPE)
            io.err << SplitCommand::tr("Standard output was closed.") << "\n";
        io.err << SplitCommand::tr("Stopped: %1 of %2 clips saved to %3")
                      .arg(console.savedCount())
                      .arg(job.plan.size())
                      .arg(escapeControlCharacters(QDir::toNativeSeparators(folder.folder())))
               << "\n";
        io.err.flush();
        // Cancelled, the cuts still running end at their next read: none outlives the
        // export, nor the library it writes in.
        generator.waitForCuts();
        return StopSignals::exitStatus(stoppedBy);
    }
    if (!result.succeeded()) {
        if (result.failed == 0)
            io.err << SplitCommand::tr("No clip of %1 holds a frame; nothing was saved.")
                          .arg(escapeControlCharacters(QFileInfo(job.path).fileName()))
                   << "\n";
        else
            io.err << SplitCommand::tr("%1 of %2 clips failed.").arg(result.failed).arg(result.total) << "\n";
        io.err.flush();
        return ClipFailed;
    }
    return Success;
}
