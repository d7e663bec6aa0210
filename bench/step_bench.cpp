// How long a frame step takes in the paused editor: the picture of the next or the
// previous frame, decoded and scaled to the preview's 1280x720 through the same
// StillFrames the editor uses, from the moment the key is pressed to the picture.
//   right      - steps forward from the middle of a keyframe interval (one frame more
//                to decode each);
//   left       - steps back through the interval just decoded (from memory, as far as
//                the kept frames reach; past them, decoded again from the keyframe);
//   left, key  - the step back from a keyframe onto the frame before it: the whole
//                interval before is decoded; at once, and after the pause in which the
//                editor decodes it in the background (StillFrames::decodeEarlier).
// Against the floor (decoding one frame, from ffmpeg decoding the whole video with as
// many threads, divided by its frames) and the peer (ffmpeg -ss T -frames:v 1: what a
// script shows a frame with, seeking to the keyframe and decoding on).
//
// Usage: trimora_step_bench (FILE | --sources DIR) [--runs N]
// With --sources, it makes its own videos in DIR with the ffmpeg command (once; kept):
// 1080p H.264 and 4K HEVC with 10 bits a sample, both 30 fps with a keyframe every 2 s.
//
// A benchmark, never a test: it exits 0 whatever the numbers; only a picture that
// cannot be made, or is of the wrong frame, is a failure (exit 1).

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>

#include "MediaProbe.h"
#include "StillFrames.h"

namespace {

const QSize PREVIEW(1280, 720);
constexpr int STEPS = 30;

struct MadeSource {
    const char* name;
    const char* size;
    int seconds;
    double rightTargetMs;
    double leftTargetMs;
    QStringList codec;
};

const MadeSource MADE_SOURCES[] = {
    {"step-1080p-h264.mp4", "1920x1080", 10, 50.0, 150.0,
     {"-c:v", "libx264", "-preset", "veryfast", "-b:v", "17M", "-pix_fmt", "yuv420p"}},
    {"step-2160p-hevc10.mp4", "3840x2160", 6, 300.0, 300.0,
     {"-c:v", "libx265", "-preset", "ultrafast", "-b:v", "40M", "-pix_fmt", "yuv420p10le", "-tag:v", "hvc1",
      "-x265-params", "log-level=error"}},
};

double milliseconds(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1.0e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

bool run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool makeSource(const QString& path, const MadeSource& made)
{
    if (QFileInfo::exists(path))
        return true;
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QString partial = path + QStringLiteral(".partial.mp4");
    std::fprintf(stderr, "making %s\n", qPrintable(path));
    QStringList arguments{"-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                          QStringLiteral("testsrc2=size=%1:rate=30:duration=%2").arg(made.size).arg(made.seconds)};
    arguments << made.codec << QStringList{"-g", "60", "-keyint_min", "60", "-sc_threshold", "0", partial};
    if (!run(QStringLiteral("ffmpeg"), arguments)) {
        std::fprintf(stderr, "trimora_step_bench: ffmpeg could not make %s\n", qPrintable(path));
        QFile::remove(partial);
        return false;
    }
    return QFile::rename(partial, path);
}

struct Steps {
    std::vector<double> right;
    std::vector<double> left;
    std::vector<double> leftAcrossKey;
    std::vector<double> leftAcrossKeyAfterPause; // the interval before decoded meanwhile
    std::vector<double> decodedMeanwhile;        // how long that took, in the background
};

// One picture, timed; false (with the reason printed) when it cannot be made or shows
// another frame than the one asked for.
bool step(StillFrames& frames, double frameSeconds, int frame, std::vector<double>* times)
{
    QElapsedTimer timer;
    timer.start();
    const Outcome<FramePicture> picture = frames.pictureAt(frame * frameSeconds, PREVIEW);
    const double elapsed = milliseconds(timer);
    if (!picture) {
        std::fprintf(stderr, "trimora_step_bench: %s\n", qPrintable(picture.error()));
        return false;
    }
    if (std::abs(picture->time - frame * frameSeconds) > frameSeconds / 2) {
        std::fprintf(stderr, "trimora_step_bench: frame %d shows %.3f s\n", frame, picture->time);
        return false;
    }
    if (times)
        times->push_back(elapsed);
    return true;
}

// Each round opens the video afresh: steps forward from 2.5 s and back from the last
// frame before the keyframe at 4 s; then, opened again, from that keyframe back across it.
bool timeSteps(const QString& file, double frameSeconds, int runs, Steps* steps)
{
    for (int round = 0; round <= runs; ++round) {
        Outcome<std::unique_ptr<StillFrames>> opened = StillFrames::open(file);
        if (!opened) {
            std::fprintf(stderr, "trimora_step_bench: %s\n", qPrintable(opened.error()));
            return false;
        }
        StillFrames& frames = *opened.value();
        // The first round warms the code and the page cache, untimed.
        const bool timed = round > 0;
        const int start = int(std::lround(2.5 / frameSeconds));
        const int key = int(std::lround(4.0 / frameSeconds));
        if (!step(frames, frameSeconds, start, nullptr))
            return false;
        for (int k = 1; k <= STEPS; ++k) {
            if (!step(frames, frameSeconds, start + k, timed ? &steps->right : nullptr))
                return false;
        }
        if (!step(frames, frameSeconds, key - 1, nullptr))
            return false;
        for (int k = 2; k <= STEPS + 1; ++k) {
            if (!step(frames, frameSeconds, key - k, timed ? &steps->left : nullptr))
                return false;
        }
    }
    // Across a keyframe: its own pass holds nothing before it. At once, and after the
    // pause in which the editor decodes the interval before (while the user looks).
    for (int round = 0; round <= runs; ++round) {
        const int key = int(std::lround(4.0 / frameSeconds));
        for (const bool paused : {false, true}) {
            Outcome<std::unique_ptr<StillFrames>> opened = StillFrames::open(file);
            if (!opened || !step(*opened.value(), frameSeconds, key, nullptr))
                return false;
            if (paused) {
                QElapsedTimer timer;
                timer.start();
                opened.value()->decodeEarlier(key * frameSeconds, [] { return false; });
                if (round > 0)
                    steps->decodedMeanwhile.push_back(milliseconds(timer));
            }
            std::vector<double>* times = paused ? &steps->leftAcrossKeyAfterPause : &steps->leftAcrossKey;
            if (!step(*opened.value(), frameSeconds, key - 1, round > 0 ? times : nullptr))
                return false;
        }
    }
    return true;
}

// The floor: ffmpeg decoding the whole video on two threads, per frame. The peer:
// ffmpeg showing one frame 3.5 s in.
bool timePeers(const QString& file, double frameSeconds, double duration, int runs, double* floorMs, double* peerMs)
{
    std::vector<double> floors;
    std::vector<double> peers;
    for (int round = 0; round <= runs; ++round) {
        QElapsedTimer timer;
        timer.start();
        if (!run(QStringLiteral("ffmpeg"), {"-nostdin", "-v", "error", "-threads", "2", "-i", file, "-f", "null", "-"}))
            return false;
        floors.push_back(milliseconds(timer) * frameSeconds / duration);
        timer.restart();
        if (!run(QStringLiteral("ffmpeg"), {"-nostdin", "-v", "error", "-threads", "2", "-ss", "3.5", "-i", file,
                                            "-frames:v", "1", "-s", "1280x720", "-f", "null", "-"}))
            return false;
        peers.push_back(milliseconds(timer));
    }
    *floorMs = median(floors);
    *peerMs = median(peers);
    return true;
}

bool benchOne(const QString& file, int runs, double rightTarget, double leftTarget)
{
    const Outcome<VideoInfo> info = probeVideo(file);
    if (!info || !(info->frameDuration > 0.0) || info->duration < 5.0) {
        std::fprintf(stderr, "trimora_step_bench: %s: a video of 5 s or more with a known frame rate is needed\n",
                     qPrintable(file));
        return false;
    }
    Steps steps;
    double floorMs = 0.0;
    double peerMs = 0.0;
    if (!timeSteps(file, info->frameDuration, runs, &steps)
        || !timePeers(file, info->frameDuration, info->duration, runs, &floorMs, &peerMs))
        return false;
    const auto line = [&](const char* name, const std::vector<double>& times, double target) {
        const double middle = median(times);
        std::printf("%-34s %8.1f %8.1f %8.2f %8.2f   %s (<= %.0f ms)\n", name, middle,
                    *std::max_element(times.begin(), times.end()), middle / floorMs, middle / peerMs,
                    middle <= target ? "met" : "MISSED", target);
    };
    std::printf("\n%s (%d runs of %d steps each way)\n", qPrintable(QFileInfo(file).fileName()), runs, STEPS);
    std::printf("%-34s %8s %8s %8s %8s\n", "", "median", "max ms", "x floor", "x peer");
    line("step right", steps.right, rightTarget);
    line("step left", steps.left, leftTarget);
    line("step left across a keyframe", steps.leftAcrossKey, leftTarget);
    line("the same, after a pause", steps.leftAcrossKeyAfterPause, leftTarget);
    std::printf("%-34s %8.1f\n", "the pause's decoding, in background", median(steps.decodedMeanwhile));
    std::printf("%-34s %8.1f\n", "floor: decoding one frame", floorMs);
    std::printf("%-34s %8.1f\n", "peer: ffmpeg -ss T -frames:v 1", peerMs);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    int runs = 5;
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--runs")); at >= 0 && at + 1 < arguments.size()) {
        runs = std::max(1, arguments.at(at + 1).toInt());
        arguments.remove(at, 2);
    }
    bool ok = true;
    if (arguments.size() == 2 && arguments.first() == QLatin1String("--sources")) {
        for (const MadeSource& made : MADE_SOURCES) {
            const QString path = QDir(arguments.at(1)).filePath(QString::fromLatin1(made.name));
            ok = makeSource(path, made) && benchOne(path, runs, made.rightTargetMs, made.leftTargetMs) && ok;
        }
    } else if (arguments.size() == 1 && !arguments.first().startsWith(QLatin1String("--"))) {
        ok = benchOne(arguments.first(), runs, 50.0, 150.0);
    } else {
        std::fprintf(stderr, "usage: trimora_step_bench (FILE | --sources DIR) [--runs N]\n");
        return 2;
    }
    return ok ? 0 : 1;
}
