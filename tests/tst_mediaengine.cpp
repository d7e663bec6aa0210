#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include "MediaOracle.h"
#include "MediaProbe.h"
#include "StreamCopyCutter.h"
#include "ThumbnailSource.h"

// The FFmpeg engine on real files, with the ffmpeg command as the judge.
namespace {

// Mean absolute difference of two pictures, 0 to 255, the second scaled to the first.
double difference(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32).scaled(x.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    double sum = 0.0;
    for (int row = 0; row < x.height(); ++row) {
        for (int column = 0; column < x.width(); ++column) {
            const QRgb p = x.pixel(column, row);
            const QRgb q = y.pixel(column, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * x.width() * x.height());
}

// The least difference between a picture and ffmpeg's pictures of a file from a time
// on, as a player seeks (by the file's own timeline, where the picture may start late).
double nearestFrame(const QImage& picture, const QString& file, double from, double length)
{
    QTemporaryDir dir;
    run({"ffmpeg", "-v", "error", "-nostdin", "-ss", QString::number(from, 'f', 3), "-i", file, "-t",
         QString::number(length, 'f', 3), "-fps_mode", "passthrough", dir.filePath(QStringLiteral("f%03d.png"))});
    double best = 1e9;
    for (const QString& png : QDir(dir.path()).entryList({QStringLiteral("*.png")}))
        best = std::min(best, difference(picture, QImage(dir.filePath(png))));
    return best;
}

} // namespace

class TestMediaEngine : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
    }

    void probes_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<double>("duration");
        QTest::addColumn<int>("rotation");
        QTest::addColumn<QSize>("display");
        QTest::addColumn<QString>("codec");
        QTest::addColumn<int>("audioStreams");

        QTest::newRow("H.264") << "h264.mp4" << 10.0 << 0 << QSize(320, 240) << "h264" << 1;
        QTest::newRow("HEVC") << "hevc.mp4" << 10.0 << 0 << QSize(320, 240) << "hevc" << 1;
        QTest::newRow("rotated shows upright") << "rotated.mp4" << 10.0 << 270 << QSize(240, 320) << "h264" << 1;
        QTest::newRow("Matroska") << "h264.mkv" << 10.0 << 0 << QSize(320, 240) << "h264" << 1;
        QTest::newRow("video only") << "videoonly.mp4" << 10.0 << 0 << QSize(320, 240) << "h264" << 0;
        QTest::newRow("picture 45 s after the sound") << "late45.mkv" << 55.0 << 0 << QSize(320, 240) << "h264" << 1;
    }

    void probes()
    {
        QFETCH(QString, file);
        QFETCH(double, duration);
        QFETCH(int, rotation);
        QFETCH(QSize, display);
        QFETCH(QString, codec);
        QFETCH(int, audioStreams);

        const Outcome<VideoInfo> info = probeVideo(fixture(file));
        QVERIFY2(info.ok(), qPrintable(info.error()));
        // Container lengths differ from the nominal one by the sound's last packet.
        QVERIFY2(std::abs(info->duration - duration) < 0.1, qPrintable(QString::number(info->duration)));
        QCOMPARE(info->rotation, rotation);
        const std::array<int32_t, 9> degenerate{};
        QCOMPARE(rotationFromDisplayMatrix(degenerate.data()), 0);
        QCOMPARE(info->displaySize, display);
        QCOMPARE(info->videoCodec, codec);
        QVERIFY(info->frameDuration > 0.0 && info->frameDuration < 0.05);
        QCOMPARE(int(std::count_if(info->streams.begin(), info->streams.end(),
                               [](const StreamInfo& stream) { return stream.kind == StreamInfo::Kind::Audio; })),
                 audioStreams);
    }

    void thumbnailsAreUprightAndNear_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<double>("time");

        QTest::newRow("H.264 between keyframes") << "h264.mp4" << 7.5;
        QTest::newRow("rotated") << "rotated.mp4" << 2.0;
        QTest::newRow("HEVC") << "hevc.mp4" << 6.0;
        QTest::newRow("open GOP") << "opengop.mp4" << 3.0;
        QTest::newRow("Matroska") << "h264.mkv" << 8.75;
        // Times count from the file's start, as a split's do, not from the picture's.
        QTest::newRow("picture starting 1.5 s after the sound") << "late.mkv" << 3.0;
    }

    void thumbnailsAreUprightAndNear()
    {
        QFETCH(QString, file);
        QFETCH(double, time);

        const Outcome<std::shared_ptr<ThumbnailSource>> source = ThumbnailSource::open(fixture(file));
        QVERIFY2(source.ok(), qPrintable(source.error()));
        const QSize size = probeVideo(fixture(file))->displaySize / 2;
        const Outcome<QImage> picture = source.value()->frameNear(time, size);
        QVERIFY2(picture.ok(), qPrintable(picture.error()));
        QCOMPARE(picture->size(), size);
        // One the player would show within a keyframe interval (2 s) before the time, and
        // upright: ffmpeg turns its pictures as the file says.
        const double from = std::max(0.0, time - 2.0);
        const double best = nearestFrame(picture.value(), fixture(file), from, time - from + 0.01);
        QVERIFY2(best < 6.0, qPrintable(QStringLiteral("closest frame differs by %1").arg(best)));
    }

    void adjacentClipsHoldEveryFrameOnce_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QList<double>>("splits");
        QTest::addColumn<QString>("extension");

        // Between frames, on frames, on a keyframe (2.0) and among the last frames.
        QTest::newRow("H.264 with B-frames") << "h264.mp4" << QList<double>{2.0, 3.33, 4.04, 7.96, 9.95} << "mp4";
        QTest::newRow("HEVC") << "hevc.mp4" << QList<double>{3.33, 6.71, 9.91, 9.95} << "mp4";
        QTest::newRow("variable frame rate") << "vfr.mp4" << QList<double>{1.01, 5.55, 9.0} << "mp4";
        QTest::newRow("open GOP") << "opengop.mp4" << QList<double>{1.95, 2.01, 5.5} << "mp4";
        QTest::newRow("QuickTime") << "apple.mov" << QList<double>{3.33, 6.71} << "mov";
        QTest::newRow("Matroska into MP4") << "h264.mkv" << QList<double>{3.33, 6.71} << "mp4";
        QTest::newRow("video only") << "videoonly.mp4" << QList<double>{3.33, 6.71} << "mp4";
        QTest::newRow("picture starting after the sound") << "late.mkv" << QList<double>{3.0, 6.51} << "mp4";
    }

    void adjacentClipsHoldEveryFrameOnce()
    {
        QFETCH(QString, file);
        QFETCH(QList<double>, splits);
        QFETCH(QString, extension);

        const QList<oracle::Frame> source = oracle::videoFrames(fixture(file));
        QVERIFY(source.size() > 100);
        // The frame shown at or after a time, as the editor means a split there.
        const auto frameAt = [&source](double time) {
            return int(std::find_if(source.begin(), source.end(), [time](const oracle::Frame& f) { return f.time >= time - 1e-6; })
                       - source.begin());
        };
        QList<double> bounds = splits;
        bounds.prepend(0.0);
        bounds.append(oracle::probe(fixture(file), QStringLiteral("format=duration")).toDouble());
        QStringList all;
        for (int k = 0; k + 1 < bounds.size(); ++k) {
            const QString folder = dir->filePath(QStringLiteral("cut-%1").arg(k));
            QDir().mkpath(folder);
            const QString path = folder + QStringLiteral("/split-%1.clip").arg(k);
            const CutResult result = StreamCopyCutter().cut(fixture(file), bounds[k], bounds[k + 1], {path, folder});
            QVERIFY2(result.kind == CutResult::Kind::Written, qPrintable(result.error));
            QCOMPARE(result.extension, extension);
            // The first and last pictures are the ones asked for, on the clip's own timeline.
            const QList<oracle::Frame> clip = oracle::videoFrames(path);
            const int first = frameAt(bounds[k]);
            const int end = k + 2 == bounds.size() ? int(source.size()) : frameAt(bounds[k + 1]);
            QCOMPARE(int(clip.size()), end - first);
            QCOMPARE(clip.front().hash, source[first].hash);
            QCOMPARE(clip.back().hash, source[end - 1].hash);
            QVERIFY2(std::abs(clip.front().time) < 1e-3, qPrintable(QString::number(clip.front().time)));
            for (const oracle::Frame& frame : clip)
                all << frame.hash;
        }
        // Together the clips show every frame of the source exactly once, in order.
        QCOMPARE(all.size(), source.size());
        for (int i = 0; i < all.size(); ++i)
            QCOMPARE(all[i], source[i].hash);
    }

    void keepsWhatTheSourceCarries_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("entries");
        QTest::addColumn<QString>("streams");

        QTest::newRow("hvc1 tag") << "hevc.mp4" << "stream=codec_tag_string" << "v:0";
        QTest::newRow("rotation") << "rotated.mp4" << "stream_side_data=rotation" << "v:0";
        QTest::newRow("title") << "h264.mp4" << "format_tags=title" << "";
        QTest::newRow("audio language") << "h264.mp4" << "stream_tags=language" << "a:0";
        QTest::newRow("Apple camera make") << "apple.mov" << "format_tags=com.apple.quicktime.make" << "";
    }

    void keepsWhatTheSourceCarries()
    {
        QFETCH(QString, file);
        QFETCH(QString, entries);
        QFETCH(QString, streams);

        const QString expected = oracle::probe(fixture(file), entries, streams);
        QVERIFY2(!expected.isEmpty(), "the fixture lacks what this row checks");
        const QString path = dir->filePath(QStringLiteral("clip.mp4"));
        const CutResult result = StreamCopyCutter().cut(fixture(file), 2.5, 7.5, {path, dir->path()});
        QVERIFY2(result.kind == CutResult::Kind::Written, qPrintable(result.error));
        QCOMPARE(oracle::probe(path, entries, streams), expected);
        const QByteArray head = oracle::head(path);
        QVERIFY(head.contains("moov") && head.indexOf("moov") < head.indexOf("mdat"));
        // Sound starts and ends with the picture, within an audio frame (1024 samples at 48 kHz).
        const auto start = [&path](const char* stream) {
            return oracle::probe(path, QStringLiteral("frame=pts_time"), QLatin1String(stream)).section(QLatin1Char('\n'), 0, 0).toDouble();
        };
        const double video = start("v:0");
        const double audio = start("a:0");
        QVERIFY2(std::abs(audio - video) <= 1024.0 / 48000.0 + 1e-6, qPrintable(QStringLiteral("%1 %2").arg(video).arg(audio)));
        const double videoLength = oracle::probe(path, QStringLiteral("stream=duration"), QStringLiteral("v:0")).toDouble();
        const double audioLength = oracle::probe(path, QStringLiteral("stream=duration"), QStringLiteral("a:0")).toDouble();
        QVERIFY2(std::abs(audioLength - videoLength) <= 2 * 1024.0 / 48000.0,
                 qPrintable(QStringLiteral("%1 s, %2 s").arg(videoLength).arg(audioLength)));
    }

    void emptyRanges_data()
    {
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("end");

        // 25 frames a second: frames at 3.32 and 3.36, none in between.
        QTest::newRow("between two frames") << 3.33 << 3.35;
        QTest::newRow("after the last frame") << 9.99 << 10.0;
        QTest::newRow("end before start") << 5.0 << 4.0;
    }

    void emptyRanges()
    {
        QFETCH(double, start);
        QFETCH(double, end);

        const CutResult result = StreamCopyCutter().cut(fixture(QStringLiteral("h264.mp4")), start, end,
                                                        {dir->filePath(QStringLiteral("split-0.mp4")), dir->path()});
        QCOMPARE(int(result.kind), int(CutResult::Kind::Empty));
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files), QStringList());
    }

    void badFiles_data() { addBadFileRows(); }

    void badFiles()
    {
        QFETCH(QString, file);
        QFETCH(QString, copyAs);
        QFETCH(int, exitCode);
        QFETCH(QString, words);

        const QString video = badFilePath(file, copyAs, dir->path());
        QVERIFY(!video.isEmpty());
        // What cannot be read is refused by the probe and the thumbnails, naming the file.
        const Outcome<VideoInfo> info = probeVideo(video);
        QCOMPARE(info.ok(), exitCode != 2);
        QCOMPARE(ThumbnailSource::open(video).ok(), exitCode != 2);
        if (exitCode == 2)
            QVERIFY2(info.error().contains(words), qPrintable(info.error()));
        // What cannot be cut exactly fails with the reason and leaves nothing behind.
        const QString out = dir->filePath(QStringLiteral("out"));
        QDir().mkpath(out);
        const CutResult result = StreamCopyCutter().cut(video, 3.0, 8.0, {out + QStringLiteral("/split-0.mp4"), out});
        QCOMPARE(result.kind == CutResult::Kind::Written, exitCode == 0);
        QVERIFY2(result.error.contains(words), qPrintable(result.error));
        QCOMPARE(QDir(out).entryList(QDir::Files).size(), exitCode == 0 ? 1 : 0);
    }

private:
    std::unique_ptr<QTemporaryDir> dir;
};

QTEST_APPLESS_MAIN(TestMediaEngine)
#include "tst_mediaengine.moc"
