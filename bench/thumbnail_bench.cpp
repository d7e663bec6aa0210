// How long the editor's timeline strip takes to fill: the eight slots' pictures, each
// from its own eighth of the video (the stretches the editor asks for) and cut to the
// strip's 160x90, through the same ThumbnailSource the editor uses. Two figures:
//   cold  - opening the video and taking the eight pictures, what a user waits for
//           after choosing a video;
//   warm  - the eight pictures from a source already open, what a strip redraw costs;
//   zoom  - the eight pictures a strip zoomed in to a second a thumbnail shows around
//           the video's middle, from a source already open: what a user waits for
//           after zooming in;
//   frames - the same, zoomed in all the way: a frame a thumbnail.
// The video's length is read once beforehand, untimed: the editor knows it from the
// probe it makes when the video is chosen, whatever the strip does.
//
// Usage: trimora_thumbnail_bench (FILE | --sources DIR) [--runs N] [--save DIR]
// With --sources, it makes its own videos in DIR with the ffmpeg command (once; kept
// for later runs): a minute of 1080p H.264 at 30 fps, as a camera writes it, with a
// keyframe every 2 s and with one every 10 s, and times the strip of each against its
// target and against ffmpeg run once a slot. With 10 s between keyframes two of the
// eight slots hold none, and their pictures are decoded on from the keyframe before
// (2.5 s of frames each).
// Prints the median of N runs (default 7) after one untimed run that brings the
// decoder's code and the file's index into memory. --save writes the strip's pictures
// as PNG files, to look at what was timed.
//
// A benchmark, never a test: it prints numbers and exits 0 whatever they are; only a
// picture that cannot be made is a failure (exit 1), since its time would mean nothing.

#include <algorithm>
#include <cstdio>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include "MediaProbe.h"
#include "StripGeometry.h"
#include "ThumbnailSource.h"

namespace {

const QSize STRIP_PICTURE_SIZE(160, 90);

struct Options {
    QString file;
    QString sourcesFolder;
    int runs = 7;
    QString saveFolder;
};

// The videos --sources makes: their keyframe spacing and the strip's target time.
struct MadeSource {
    const char* name;
    int keyframeSeconds;
    double targetMs;
};
constexpr MadeSource MADE_SOURCES[] = {{"keyframes-2s.mp4", 2, 150.0}, {"keyframes-10s.mp4", 10, 400.0}};
constexpr int MADE_SECONDS = 60;

bool parseArguments(const QStringList& arguments, Options* options)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("--runs") && i + 1 < arguments.size()) {
            bool ok = false;
            options->runs = arguments.at(++i).toInt(&ok);
            if (!ok || options->runs < 1)
                return false;
        } else if (argument == QLatin1String("--save") && i + 1 < arguments.size()) {
            options->saveFolder = arguments.at(++i);
        } else if (argument == QLatin1String("--sources") && i + 1 < arguments.size()) {
            options->sourcesFolder = arguments.at(++i);
        } else if (argument.startsWith(QLatin1String("--")) || !options->file.isEmpty()) {
            return false;
        } else {
            options->file = argument;
        }
    }
    return options->file.isEmpty() != options->sourcesFolder.isEmpty();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

double milliseconds(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1.0e6;
}

// Takes the strip's pictures from an open source, left to right as the editor asks for
// them; false (with the reason printed) when one cannot be made or has the wrong size,
// which would make the timing meaningless.
std::vector<strip::ThumbnailSlot> stripSlots(double duration)
{
    return strip::thumbnailSlots(STRIP_PICTURE_SIZE.width() * strip::THUMBNAIL_COUNT, STRIP_PICTURE_SIZE.height(),
                                 duration);
}

// The slots on the strip zoomed in as far as thumbnails a frame long allow (a second
// long: frameDuration 0), the video's middle in the strip's middle.
std::vector<strip::ThumbnailSlot> zoomedSlots(double duration, double frameDuration)
{
    const double width = STRIP_PICTURE_SIZE.width() * strip::THUMBNAIL_COUNT;
    const int deepest = strip::maxZoomLevel(duration, frameDuration);
    const strip::Viewport view = strip::zoomedTo(strip::Viewport{width, 0, 0.0}, deepest, deepest, 0.5, width / 2);
    return strip::thumbnailSlots(view, STRIP_PICTURE_SIZE.height(), duration);
}

bool takeStrip(ThumbnailSource& source, const std::vector<strip::ThumbnailSlot>& placed, std::vector<QImage>* pictures)
{
    pictures->clear();
    for (const strip::ThumbnailSlot& slot : placed) {
        Outcome<QImage> picture = source.frameWithin(slot.requestTime, slot.requestEnd, STRIP_PICTURE_SIZE);
        if (!picture) {
            std::fprintf(stderr, "trimora_thumbnail_bench: %s\n", qPrintable(picture.error()));
            return false;
        }
        if (picture.value().size() != STRIP_PICTURE_SIZE) {
            std::fprintf(stderr, "trimora_thumbnail_bench: the picture at %.3f s is %dx%d, not %dx%d\n",
                         slot.requestTime, picture.value().width(), picture.value().height(),
                         STRIP_PICTURE_SIZE.width(), STRIP_PICTURE_SIZE.height());
            return false;
        }
        pictures->push_back(std::move(picture).value());
    }
    return true;
}

// Makes one of --sources' videos unless it is there: 1080p H.264 (x264 "veryfast", High
// profile with B-frames, 17 Mbit/s as a phone's camera writes) with the keyframe spacing
// asked for and no others. Written under a temporary name, so a stopped run leaves no
// short video behind.
bool makeSource(const QString& path, int keyframeSeconds)
{
    if (QFileInfo::exists(path))
        return true;
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QString partial = path + QStringLiteral(".partial.mp4");
    const QString spacing = QString::number(keyframeSeconds * 30);
    std::fprintf(stderr, "making %s\n", qPrintable(path));
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {"-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                  QStringLiteral("testsrc2=size=1920x1080:rate=30:duration=%1").arg(MADE_SECONDS), "-c:v", "libx264",
                  "-preset", "veryfast", "-b:v", "17M", "-g", spacing, "-keyint_min", spacing, "-sc_threshold", "0",
                  "-pix_fmt", "yuv420p", partial});
    if (!ffmpeg.waitForFinished(-1) || ffmpeg.exitStatus() != QProcess::NormalExit || ffmpeg.exitCode() != 0) {
        std::fprintf(stderr, "trimora_thumbnail_bench: ffmpeg could not make %s\n", qPrintable(path));
        QFile::remove(partial);
        return false;
    }
    return QFile::rename(partial, path);
}

std::unique_ptr<ThumbnailSource> openSource(const QString& file)
{
    Outcome<std::unique_ptr<ThumbnailSource>> opened = ThumbnailSource::open(file);
    if (!opened) {
        std::fprintf(stderr, "trimora_thumbnail_bench: %s\n", qPrintable(opened.error()));
        return nullptr;
    }
    return std::move(opened).value();
}

// What a script without Trimora does for the same strip: ffmpeg once per slot, seeking
// on input (which decodes on to the time asked for, as the strip does where its slot
// holds no keyframe), scaled to the strip's size. False when ffmpeg fails.
bool ffmpegStrip(const QString& file, double duration, std::vector<double>* times)
{
    QTemporaryDir folder;
    QElapsedTimer timer;
    timer.start();
    for (const strip::ThumbnailSlot& slot : stripSlots(duration)) {
        QProcess ffmpeg;
        ffmpeg.start(QStringLiteral("ffmpeg"),
                     {"-nostdin", "-hide_banner", "-v", "error", "-y", "-ss", QString::number(slot.requestTime, 'f', 3),
                      "-i", file, "-frames:v", "1", "-s", "160x90",
                      folder.filePath(QStringLiteral("strip-%1.png").arg(slot.index))});
        if (!ffmpeg.waitForFinished(-1) || ffmpeg.exitStatus() != QProcess::NormalExit || ffmpeg.exitCode() != 0)
            return false;
    }
    times->push_back(milliseconds(timer));
    return true;
}

struct StripTimes {
    std::vector<double> cold;
    std::vector<double> warm;
    std::vector<double> zoom;
    std::vector<double> frames;
};

// Times the strip of one file; empty times when a picture could not be made.
StripTimes timeStrip(const QString& file, double duration, double frameDuration, const Options& options)
{
    std::vector<QImage> pictures;
    {
        std::unique_ptr<ThumbnailSource> source = openSource(file);
        if (!source || !takeStrip(*source, stripSlots(duration), &pictures))
            return {};
    }
    if (!options.saveFolder.isEmpty()) {
        const QDir folder(QDir(options.saveFolder).filePath(QFileInfo(file).completeBaseName()));
        QDir().mkpath(folder.path());
        for (size_t k = 0; k < pictures.size(); ++k)
            pictures[k].save(folder.filePath(QStringLiteral("strip-%1.png").arg(k)));
    }

    StripTimes times;
    for (int run = 0; run < options.runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        std::unique_ptr<ThumbnailSource> source = openSource(file);
        if (!source || !takeStrip(*source, stripSlots(duration), &pictures))
            return {};
        times.cold.push_back(milliseconds(timer));
    }
    std::unique_ptr<ThumbnailSource> source = openSource(file);
    if (!source)
        return {};
    for (int run = 0; run < options.runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        if (!takeStrip(*source, stripSlots(duration), &pictures))
            return {};
        times.warm.push_back(milliseconds(timer));
    }
    for (int run = 0; run < options.runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        if (!takeStrip(*source, zoomedSlots(duration, 0.0), &pictures))
            return {};
        times.zoom.push_back(milliseconds(timer));
    }
    for (int run = 0; run < options.runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        if (!takeStrip(*source, zoomedSlots(duration, frameDuration), &pictures))
            return {};
        times.frames.push_back(milliseconds(timer));
    }
    return times;
}

void printTimes(const char* key, const std::vector<double>& times, const char* what)
{
    std::printf("%s %.2f (%s; min %.2f, max %.2f)\n", key, median(times), what,
                *std::min_element(times.begin(), times.end()), *std::max_element(times.begin(), times.end()));
}

// Times one file's strip and prints it: false when a picture could not be made.
bool benchFile(const QString& file, const Options& options, double targetMs)
{
    const Outcome<VideoInfo> info = probeVideo(file);
    if (!info) {
        std::fprintf(stderr, "trimora_thumbnail_bench: %s\n", qPrintable(info.error()));
        return false;
    }
    const StripTimes times = timeStrip(file, info->duration, info->frameDuration, options);
    if (times.cold.empty())
        return false;
    std::printf("file: %s (%.1f s, %dx%d %s)\n", qPrintable(file), info->duration, info->displaySize.width(),
                info->displaySize.height(), qPrintable(info->videoCodec));
    std::printf("pictures: %d at %dx%d, %d runs each\n", strip::THUMBNAIL_COUNT, STRIP_PICTURE_SIZE.width(),
                STRIP_PICTURE_SIZE.height(), options.runs);
    printTimes("cold_ms", times.cold, "open + 8 pictures");
    printTimes("warm_ms", times.warm, "8 pictures, source open");
    printTimes("zoom_ms", times.zoom, "the pictures a second each, source open");
    printTimes("frames_ms", times.frames, "the pictures a frame each, source open");
    if (targetMs <= 0.0)
        return true;
    std::printf("target_ms %.0f (cold at %.2f of it)\n", targetMs, median(times.cold) / targetMs);
    std::vector<double> peer;
    for (int run = 0; run < options.runs; ++run) {
        if (!ffmpegStrip(file, info->duration, &peer)) {
            std::fprintf(stderr, "trimora_thumbnail_bench: ffmpeg could not take the strip of %s\n", qPrintable(file));
            return true;
        }
    }
    printTimes("ffmpeg_ms", peer, "ffmpeg -ss T -i FILE -frames:v 1, once a slot");
    std::printf("ratio cold/ffmpeg %.2f, warm/ffmpeg %.2f\n", median(times.cold) / median(peer),
                median(times.warm) / median(peer));
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    // QImage needs no windowing system: a core application is all the source uses.
    QCoreApplication app(argc, argv);
    Options options;
    if (!parseArguments(QCoreApplication::arguments().mid(1), &options)) {
        std::fprintf(stderr, "Usage: trimora_thumbnail_bench (FILE | --sources DIR) [--runs N] [--save DIR]\n");
        return 2;
    }
    if (!options.file.isEmpty())
        return benchFile(options.file, options, 0.0) ? 0 : 1;
    for (const MadeSource& made : MADE_SOURCES) {
        const QString file = QDir(options.sourcesFolder).filePath(QString::fromLatin1(made.name));
        if (!makeSource(file, made.keyframeSeconds))
            return 2;
        if (!benchFile(file, options, made.targetMs))
            return 1;
    }
    return 0;
}
