// How long the editor's waveform takes: the peaks of a video's first sound track, 400 a
// second, through the same readSoundPeaks the editor runs in the background, against
// the floor of decoding that sound at all (ffmpeg decoding the track to nothing, one
// thread, as the editor's reader uses), and how long the kept copy in the cache folder
// takes to read, which is what every later opening of the video costs.
//
// Usage: trimora_sound_bench (FILE | --sources DIR) [--runs N]
// With --sources, it makes its own video in DIR with the ffmpeg command (once; kept for
// later runs): two hours of AAC stereo sound at 48 kHz under a small picture, the
// length the editor is slowest on. Prints the median of N runs (default 3).
//
// A benchmark, never a test: it prints numbers and exits 0 whatever they are; only
// peaks that cannot be read are a failure (exit 1), since their time would mean nothing.

#include <algorithm>
#include <cstdio>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include "SoundPeaks.h"

namespace {

constexpr int PEAKS_PER_SECOND = 400;
constexpr int MADE_SECONDS = 2 * 60 * 60;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool runFfmpeg(const QStringList& arguments)
{
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    ffmpeg.start(QStringLiteral("ffmpeg"), QStringList{"-nostdin", "-hide_banner", "-v", "error", "-y"} + arguments);
    return ffmpeg.waitForFinished(-1) && ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0;
}

QString madeSource(const QString& folder)
{
    const QString path = QDir(folder).filePath(QStringLiteral("two-hours.mp4"));
    if (QFileInfo::exists(path))
        return path;
    std::fprintf(stderr, "making %s (a minute or two)\n", qPrintable(path));
    QDir().mkpath(folder);
    const QString seconds = QString::number(MADE_SECONDS);
    if (!runFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x90:rate=1:duration=" + seconds, "-f", "lavfi", "-i",
                    "sine=frequency=440:beep_factor=4:sample_rate=48000:duration=" + seconds, "-ac", "2", "-c:v",
                    "libx264", "-preset", "ultrafast", "-g", "10", "-c:a", "aac", "-b:a", "96k", path + ".part.mp4"})
        || !QFile::rename(path + ".part.mp4", path)) {
        std::fprintf(stderr, "trimora_sound_bench: ffmpeg could not make %s\n", qPrintable(path));
        return QString();
    }
    return path;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    int runs = 3;
    const qsizetype runsAt = arguments.indexOf(QStringLiteral("--runs"));
    if (runsAt >= 0 && runsAt + 1 < arguments.size()) {
        runs = std::max(1, arguments[runsAt + 1].toInt());
        arguments.remove(runsAt, 2);
    }
    QString file;
    if (arguments.size() == 2 && arguments[0] == QLatin1String("--sources"))
        file = madeSource(arguments[1]);
    else if (arguments.size() == 1)
        file = arguments[0];
    else {
        std::fprintf(stderr, "Usage: trimora_sound_bench (FILE | --sources DIR) [--runs N]\n");
        return 2;
    }
    if (file.isEmpty())
        return 1;

    QTemporaryDir cache;
    std::vector<double> read, kept, floor;
    size_t peaks = 0;
    for (int run = 0; run < runs; ++run) {
        QDir(cache.path()).removeRecursively();
        QElapsedTimer timer;
        timer.start();
        const Outcome<std::vector<std::uint8_t>> made = cachedSoundPeaks(file, PEAKS_PER_SECOND, cache.path(), CancelToken());
        read.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (!made) {
            std::fprintf(stderr, "trimora_sound_bench: %s\n", qPrintable(made.error()));
            return 1;
        }
        peaks = made->size();
        timer.restart();
        const Outcome<std::vector<std::uint8_t>> again = cachedSoundPeaks(file, PEAKS_PER_SECOND, cache.path(), CancelToken());
        kept.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (!again || again->size() != peaks) {
            std::fprintf(stderr, "trimora_sound_bench: the kept peaks differ from those read\n");
            return 1;
        }
        timer.restart();
        if (!runFfmpeg({"-threads", "1", "-i", file, "-map", "0:a:0", "-f", "null", "-"})) {
            std::fprintf(stderr, "trimora_sound_bench: ffmpeg could not decode the sound of %s\n", qPrintable(file));
            return 1;
        }
        floor.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("file: %s (%zu peaks, %.0f s of sound), %d runs\n", qPrintable(file), peaks,
                double(peaks) / PEAKS_PER_SECOND, runs);
    std::printf("waveform_ms %.0f (read and kept)\n", median(read));
    std::printf("kept_ms %.1f (read from the cache folder)\n", median(kept));
    std::printf("ffmpeg_decode_ms %.0f (the sound decoded to nothing)\n", median(floor));
    std::printf("ratio waveform/ffmpeg %.2f\n", median(read) / median(floor));
    return 0;
}
