// How long opening a video in the editor takes, as the user waits for it: the probe
// (the home screen's check), the editor's set-up with its eight strip pictures, and
// the first frame of the video on screen through the real player. Two figures:
//   ready_ms - probe and strip: the editor is shown, its strip filled;
//   frame_ms - until the first frame of the video is painted in the preview.
// Each run is a fresh editor and a fresh player on the same file.
//
// Usage: trimora_open_bench FILE [--runs N]
// Prints medians of N runs (default 7) after one untimed run that brings the code and
// the file into memory. Runs offscreen (QT_QPA_PLATFORM=offscreen unless set).
//
// A benchmark, never a test: it prints numbers and exits 0 whatever they are; a video
// that does not open or shows no frame within 10 s exits 1.

#include <algorithm>
#include <cstdio>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QUrl>

#include "CutterViewController.h"
#include "FfmpegVideoAsset.h"
#include "QtMediaPlayer.h"
#include "VideoFrameScaler.h"
#include "VideoView.h"

namespace {

constexpr qint64 FRAME_TIMEOUT_MS = 10000;

struct Times {
    double ready = 0.0;
    double frame = 0.0;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

bool openOnce(const QString& file, Times* times)
{
    QElapsedTimer timer;
    timer.start();
    Outcome<std::shared_ptr<VideoAsset>> asset = FfmpegVideoAsset::open(file);
    if (!asset) {
        std::fprintf(stderr, "trimora_open_bench: %s\n", qPrintable(asset.error()));
        return false;
    }
    EditorServices services;
    services.openAsset = &FfmpegVideoAsset::open;
    services.makePlayer = [] { return std::unique_ptr<Player>(new QtMediaPlayer); };
    services.makeFrameScaler = [] { return std::make_unique<VideoFrameScaler>(); };
    CutterViewController editor(services);
    editor.videoURL = QUrl::fromLocalFile(file);
    editor.openedAsset = std::move(asset).value();
    editor.resize(1280, 800);
    editor.show();
    times->ready = double(timer.nsecsElapsed()) / 1.0e6;
    while (editor.videoView()->pictureRect().isEmpty()) {
        if (timer.elapsed() > FRAME_TIMEOUT_MS) {
            std::fprintf(stderr, "trimora_open_bench: no frame of %s within 10 s\n", qPrintable(file));
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    times->frame = double(timer.nsecsElapsed()) / 1.0e6;
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QtMediaPlayer::chooseBackend();
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    int runs = 7;
    const qsizetype runsAt = arguments.indexOf(QStringLiteral("--runs"));
    if (runsAt >= 0)
        runs = arguments.value(runsAt + 1).toInt();
    const QString file = arguments.value(0);
    if (file.isEmpty() || file.startsWith(QLatin1String("--")) || runs < 1) {
        std::fprintf(stderr, "Usage: trimora_open_bench FILE [--runs N]\n");
        return 2;
    }

    Times times;
    if (!openOnce(file, &times))
        return 1;
    std::vector<double> ready;
    std::vector<double> frame;
    for (int run = 0; run < runs; ++run) {
        if (!openOnce(file, &times))
            return 1;
        ready.push_back(times.ready);
        frame.push_back(times.frame);
    }
    std::printf("file: %s, %d runs\n", qPrintable(file), runs);
    std::printf("ready_ms %.2f (probe + editor + 8 strip pictures; min %.2f, max %.2f)\n", median(ready),
                *std::min_element(ready.begin(), ready.end()), *std::max_element(ready.begin(), ready.end()));
    std::printf("frame_ms %.2f (until the first frame is shown; min %.2f, max %.2f)\n", median(frame),
                *std::min_element(frame.begin(), frame.end()), *std::max_element(frame.begin(), frame.end()));
    return 0;
}
