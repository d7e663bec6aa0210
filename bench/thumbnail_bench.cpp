// How long the editor's timeline strip takes to fill: the eight pictures of the
// stretches [k*D/8, (k+1)*D/8) (k = 0..7), each cut to the strip's 160x90, through the
// same ThumbnailSource the editor uses. Two figures:
//   cold  - opening the video and taking the eight pictures, what a user waits for
//           after choosing a video;
//   warm  - the eight pictures from a source already open, what a strip redraw costs.
// The video's length is read once beforehand, untimed: the editor knows it from the
// probe it makes when the video is chosen, whatever the strip does.
//
// Usage: trimora_thumbnail_bench FILE [--runs N] [--save DIR]
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
#include <QImage>
#include <QStringList>

#include "MediaProbe.h"
#include "ThumbnailSource.h"

namespace {

constexpr int STRIP_PICTURES = 8;
const QSize STRIP_PICTURE_SIZE(160, 90);

struct Options {
    QString file;
    int runs = 7;
    QString saveFolder;
};

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
        } else if (argument.startsWith(QLatin1String("--")) || !options->file.isEmpty()) {
            return false;
        } else {
            options->file = argument;
        }
    }
    return !options->file.isEmpty();
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

// Takes the strip's pictures from an open source; false (with the reason printed) when
// one cannot be made or has the wrong size, which would make the timing meaningless.
bool takeStrip(ThumbnailSource& source, double duration, std::vector<QImage>* pictures)
{
    pictures->clear();
    for (int k = 0; k < STRIP_PICTURES; ++k) {
        const double at = duration * k / STRIP_PICTURES;
        Outcome<QImage> picture = source.frameWithin(at, duration * (k + 1) / STRIP_PICTURES, STRIP_PICTURE_SIZE);
        if (!picture) {
            std::fprintf(stderr, "trimora_thumbnail_bench: %s\n", qPrintable(picture.error()));
            return false;
        }
        if (picture.value().size() != STRIP_PICTURE_SIZE) {
            std::fprintf(stderr, "trimora_thumbnail_bench: the picture at %.3f s is %dx%d, not %dx%d\n", at,
                         picture.value().width(), picture.value().height(), STRIP_PICTURE_SIZE.width(),
                         STRIP_PICTURE_SIZE.height());
            return false;
        }
        pictures->push_back(std::move(picture).value());
    }
    return true;
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

} // namespace

int main(int argc, char* argv[])
{
    // QImage needs no windowing system: a core application is all the source uses.
    QCoreApplication app(argc, argv);
    Options options;
    if (!parseArguments(QCoreApplication::arguments().mid(1), &options)) {
        std::fprintf(stderr, "Usage: trimora_thumbnail_bench FILE [--runs N] [--save DIR]\n");
        return 2;
    }

    const Outcome<VideoInfo> info = probeVideo(options.file);
    if (!info) {
        std::fprintf(stderr, "trimora_thumbnail_bench: %s\n", qPrintable(info.error()));
        return 2;
    }
    const double duration = info->duration;

    std::vector<QImage> pictures;
    {
        std::unique_ptr<ThumbnailSource> source = openSource(options.file);
        if (!source || !takeStrip(*source, duration, &pictures))
            return 1;
    }
    if (!options.saveFolder.isEmpty()) {
        QDir().mkpath(options.saveFolder);
        for (size_t k = 0; k < pictures.size(); ++k)
            pictures[k].save(QDir(options.saveFolder).filePath(QStringLiteral("strip-%1.png").arg(k)));
    }

    std::vector<double> cold;
    for (int run = 0; run < options.runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        std::unique_ptr<ThumbnailSource> source = openSource(options.file);
        if (!source || !takeStrip(*source, duration, &pictures))
            return 1;
        cold.push_back(milliseconds(timer));
    }

    std::vector<double> warm;
    std::unique_ptr<ThumbnailSource> source = openSource(options.file);
    if (!source)
        return 1;
    for (int run = 0; run < options.runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        if (!takeStrip(*source, duration, &pictures))
            return 1;
        warm.push_back(milliseconds(timer));
    }

    std::printf("file: %s (%.1f s, %dx%d %s)\n", qPrintable(options.file), duration, info->displaySize.width(),
                info->displaySize.height(), qPrintable(info->videoCodec));
    std::printf("pictures: %d at %dx%d, %d runs each\n", STRIP_PICTURES, STRIP_PICTURE_SIZE.width(),
                STRIP_PICTURE_SIZE.height(), options.runs);
    std::printf("cold_ms %.2f (open + 8 pictures; min %.2f, max %.2f)\n", median(cold),
                *std::min_element(cold.begin(), cold.end()), *std::max_element(cold.begin(), cold.end()));
    std::printf("warm_ms %.2f (8 pictures, source open; min %.2f, max %.2f)\n", median(warm),
                *std::min_element(warm.begin(), warm.end()), *std::max_element(warm.begin(), warm.end()));
    return 0;
}
